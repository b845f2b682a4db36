#include "conversionmessages.h"

#include "messagetext.h"

#include <QDir>
#include <QStringList>

QString ConversionMessage(ConversionStatus status)
{
    switch (status) {
    case ConversionStatus::Succeeded:
        return QStringLiteral("转换成功！");
    case ConversionStatus::VersionInvalid:
        return QStringLiteral("软件版本不正确！");
    case ConversionStatus::AddressInvalid:
        return QStringLiteral("程序起始地址不正确！");
    case ConversionStatus::SourceNotFound:
        return QStringLiteral("原始.bin文件找不到！");
    case ConversionStatus::SourceTooLarge:
        return QStringLiteral("原始.bin文件过大！");
    case ConversionStatus::ImagePathInvalid:
        return QStringLiteral("生成.bin文件路径不正确！");
    case ConversionStatus::SRecordPathInvalid:
        return QStringLiteral("生成.S19文件路径不正确！");
    case ConversionStatus::HexPathInvalid: // only the command line writes HEX
        return QStringLiteral("生成.hex文件路径不正确！");
    case ConversionStatus::SourceReadFailed:
        return QStringLiteral("原始.bin文件读取失败！");
    case ConversionStatus::ImageWriteFailed:
        return QStringLiteral("生成.bin文件写入失败！");
    case ConversionStatus::SRecordWriteFailed:
        return QStringLiteral("生成.S19文件写入失败！");
    case ConversionStatus::HexWriteFailed:
        return QStringLiteral("生成.hex文件写入失败！");
    case ConversionStatus::SourceFormatInvalid:
        return QStringLiteral("原始文件格式不正确！");
    case ConversionStatus::SourceAddressMismatch:
        return QStringLiteral("原始文件地址与起始地址不符！");
    case ConversionStatus::SourceSpanTooLarge:
        return QStringLiteral("原始文件地址范围过大！");
    case ConversionStatus::SourceOverlap:
        return QStringLiteral("原始文件数据重叠且不一致！");
    case ConversionStatus::FillInvalid:
        return QStringLiteral("填充字节不正确！");
    case ConversionStatus::Cancelled:
        return QStringLiteral("转换已取消，原有文件未改动。");
    }
    return QString();
}

QString ConversionDetails(const ConversionResult &result)
{
    if (result.status == ConversionStatus::Cancelled)
        return QString();
    if (!result.succeeded())
        return result.detail;
    QStringList lines{QStringLiteral("已写入：")};
    for (const QString &path : result.writtenPaths)
        lines.append(QDir::toNativeSeparators(path));
    lines.append(QStringLiteral("新.bin文件大小：%1 字节").arg(result.imageSize));
    lines.append(QStringLiteral("CRC-16：%1").arg(HexNumber(result.crc, 4)));
    return lines.join(QLatin1Char('\n'));
}
