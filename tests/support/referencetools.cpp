#include "referencetools.h"

#include <QProcess>
#include <QStringList>

namespace {

constexpr int ToolTimeoutMs = 120000;
// Debian's python3 sees Debian's modules (python3-intelhex); another python3
// on PATH may not.
const char DebianPython[] = "/usr/bin/python3";

QString Hex(quint32 value)
{
    return QStringLiteral("0x%1").arg(value, 8, 16, QLatin1Char('0'));
}

} // namespace

bool RunTool(const QString &program, const QStringList &arguments, QByteArray *output, QString *error)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(ToolTimeoutMs)) {
        *error = QStringLiteral("%1 did not start: %2").arg(program, process.errorString());
        return false;
    }
    if (!process.waitForFinished(ToolTimeoutMs)) {
        *error = QStringLiteral("%1 did not finish: %2").arg(program, process.errorString());
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("%1 %2 failed (%3): %4")
                     .arg(program, arguments.join(QLatin1Char(' ')))
                     .arg(process.exitCode())
                     .arg(QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

bool PythonCrcHqx(const QString &path, quint16 *crc, QString *error)
{
    const QString script = QStringLiteral(
        "import binascii, sys\n"
        "print(binascii.crc_hqx(open(sys.argv[1], 'rb').read(), 0))\n");
    QByteArray output;
    if (!RunTool(QStringLiteral("python3"), {QStringLiteral("-c"), script, path}, &output, error))
        return false;
    bool ok = false;
    const uint value = output.trimmed().toUInt(&ok);
    if (!ok || value > 0xFFFF) {
        *error = QStringLiteral("python3 printed %1").arg(QString::fromLatin1(output));
        return false;
    }
    *crc = quint16(value);
    return true;
}

bool SrecCatToBinary(const QString &srecordPath, quint32 startAddress,
                     const QString &binaryPath, QString *error)
{
    // srec_cat takes a negative offset as "-offset -0x...".
    return RunTool(QStringLiteral("srec_cat"),
                   {srecordPath, QStringLiteral("-motorola"), QStringLiteral("-offset"),
                    QLatin1Char('-') + Hex(startAddress), QStringLiteral("-o"), binaryPath,
                    QStringLiteral("-binary")},
                   nullptr, error);
}

bool ObjcopyToSRecords(const QString &binaryPath, quint32 startAddress,
                       const QString &srecordPath, QString *error)
{
    return RunTool(QStringLiteral("objcopy"),
                   {QStringLiteral("-I"), QStringLiteral("binary"), QStringLiteral("-O"),
                    QStringLiteral("srec"), QStringLiteral("--srec-len=16"),
                    QStringLiteral("--srec-forceS3"),
                    QStringLiteral("--change-addresses=") + Hex(startAddress), binaryPath,
                    srecordPath},
                   nullptr, error);
}

bool SrecCatIntelToBinary(const QString &hexPath, quint32 startAddress, const QString &binaryPath, QString *error)
{
    return RunTool(QStringLiteral("srec_cat"),
                   {hexPath, QStringLiteral("-intel"), QStringLiteral("-offset"), QLatin1Char('-') + Hex(startAddress),
                    QStringLiteral("-o"), binaryPath, QStringLiteral("-binary")},
                   nullptr, error);
}

bool PythonIntelHexToBinary(const QString &hexPath, quint32 startAddress, qint64 size, QByteArray *bytes,
                            QString *error)
{
    const QString script = QStringLiteral(
        "import sys, intelhex\n"
        "ih = intelhex.IntelHex(sys.argv[1])\n"
        "start, size = int(sys.argv[2]), int(sys.argv[3])\n"
        "assert ih.minaddr() == start and ih.maxaddr() == start + size - 1, (ih.minaddr(), ih.maxaddr())\n"
        "sys.stdout.buffer.write(ih.tobinstr(start=start, size=size))\n");
    return RunTool(QLatin1String(DebianPython),
                   {QStringLiteral("-c"), script, hexPath, QString::number(startAddress), QString::number(size)},
                   bytes, error);
}

bool ObjcopyFromBinary(const QString &binaryPath, quint32 address, const QString &format,
                       const QString &outputPath, QString *error)
{
    return RunTool(QStringLiteral("objcopy"),
                   {QStringLiteral("-I"), QStringLiteral("binary"), QStringLiteral("-O"), format,
                    QStringLiteral("--change-addresses=") + Hex(address), binaryPath, outputPath},
                   nullptr, error);
}

bool SrecCatFromBinary(const QString &binaryPath, quint32 address, const QStringList &format,
                       const QString &outputPath, QString *error)
{
    return RunTool(QStringLiteral("srec_cat"),
                   QStringList{binaryPath, QStringLiteral("-binary"), QStringLiteral("-offset"), Hex(address),
                               QStringLiteral("-o"), outputPath}
                       + format,
                   nullptr, error);
}

bool PythonIntelHexFromBinary(const QString &binaryPath, quint32 address, std::optional<quint32> startAddress,
                              const QString &outputPath, QString *error)
{
    const QString script = QStringLiteral(
        "import sys\n"
        "from intelhex import IntelHex\n"
        "hexfile = IntelHex()\n"
        "hexfile.loadbin(sys.argv[1], offset=int(sys.argv[2], 16))\n"
        "if sys.argv[3]:\n"
        "    hexfile.start_addr = {'EIP': int(sys.argv[3], 16)}\n"
        "hexfile.write_hex_file(sys.argv[4])\n");
    return RunTool(QLatin1String(DebianPython),
                   {QStringLiteral("-c"), script, binaryPath, Hex(address),
                    startAddress ? Hex(*startAddress) : QString(), outputPath},
                   nullptr, error);
}
