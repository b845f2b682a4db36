#ifndef VANDREL_CONVERT_CONVERSION_H
#define VANDREL_CONVERT_CONVERSION_H

#include <QDateTime>
#include <QString>

// Inputs of one conversion, as the user typed them.
struct ConversionRequest
{
    QString sourcePath;  // raw firmware image to read
    QString imagePath;   // new stamped image to write
    QString srecordPath; // S-record file to write
    QString versionText; // decimal, 0-65535
    QString addressText; // hexadecimal, 32 bits
};

enum class ConversionStatus {
    Succeeded,
    VersionInvalid,     // "软件版本不正确！"
    AddressInvalid,     // "程序起始地址不正确！" (also: image would pass FFFFFFFF)
    SourceNotFound,     // "原始.bin文件找不到！"
    SourceTooLarge,     // "原始.bin文件过大！"
    ImagePathInvalid,   // "生成.bin文件路径不正确！"
    SRecordPathInvalid, // "生成.S19文件路径不正确！"
    SourceReadFailed,   // "原始.bin文件读取失败！"
    ImageWriteFailed,   // "生成.bin文件写入失败！"
    SRecordWriteFailed, // "生成.S19文件写入失败！"
};

struct ConversionResult
{
    ConversionStatus status = ConversionStatus::Succeeded;
    // One English line naming the file or value and the cause; empty on success.
    QString detail;

    bool succeeded() const { return status == ConversionStatus::Succeeded; }
};

// Runs a whole conversion: checks the inputs, writes the stamped image and
// its S-record file, and reports the first failure. Nothing is opened for
// writing before the checks that protect it have passed.
// The first form stamps the local clock; the second the given wall-clock reading.
ConversionResult RunConversion(const ConversionRequest &request);
ConversionResult RunConversion(const ConversionRequest &request, const QDateTime &stampTime);

// The window's fixed text for a status ("转换成功！" for success).
QString ConversionMessage(ConversionStatus status);

#endif
