#include "profilesettings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QVariant>
#include <QtGlobal>

#include <optional>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QTextCodec>
#else
#include <QStringDecoder>
#endif

namespace {

constexpr QChar ByteOrderMark(0xFEFF);

// Whole UTF-8, or nothing when the bytes are not valid UTF-8.
std::optional<QString> DecodeUtf8(const QByteArray &bytes)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars != 0 || state.remainingChars != 0)
        return std::nullopt;
#else
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
#endif
    return text;
}

// Text that is not UTF-8 came from an editor that saves in the local 8-bit
// code page: the ANSI code page on Windows. Where the local encoding is UTF-8
// itself, it most likely came from a Chinese Windows editor: GB18030, a
// superset of the GBK such editors write.
QString DecodeLegacyText(const QByteArray &bytes)
{
#ifdef Q_OS_WIN
    return QString::fromLocal8Bit(bytes);
#else
    // A Qt built without its big codecs or ICU knows no GB18030.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    if (QTextCodec *gb18030 = QTextCodec::codecForName("GB18030"))
        return gb18030->toUnicode(bytes);
#else
    QStringDecoder gb18030("GB18030");
    if (gb18030.isValid())
        return gb18030(bytes);
#endif
    return QString::fromLocal8Bit(bytes);
#endif
}

// Users save the file from any editor: UTF-8 (with or without a byte-order
// mark) is taken as such, anything else in the legacy code page.
QString DecodeSettingsText(const QByteArray &bytes)
{
    const std::optional<QString> utf8 = DecodeUtf8(bytes);
    QString text = utf8 ? *utf8 : DecodeLegacyText(bytes);
    if (text.startsWith(ByteOrderMark))
        text.remove(0, 1);
    return text;
}

bool WriteSnapshot(QTemporaryFile &snapshot, const QByteArray &bytes)
{
    snapshot.setFileTemplate(QDir::tempPath() + QStringLiteral("/vandrel-settings-XXXXXX.ini"));
    if (!snapshot.open())
        return false;
    const bool written = snapshot.write(bytes) == bytes.size() && snapshot.flush();
    snapshot.close();
    return written;
}

QString SystemGroup() { return QStringLiteral("Sys"); }
QString DevicesKey() { return QStringLiteral("Sys/Devs"); }

const QStringList &ProfileKeys()
{
    static const QStringList keys{QStringLiteral("Name"), QStringLiteral("PBin"), QStringLiteral("NBin"),
                                  QStringLiteral("NS19")};
    return keys;
}

} // namespace

QString ProfileGroup(int index)
{
    return QStringLiteral("Dev%1/").arg(index);
}

ProfileSettings::ProfileSettings(const QString &fileName)
{
    const SettingsFileRead read = ReadSettingsFile(fileName);
    m_readError = read.error;
    m_found = read.found;
    // Only the bytes read are parsed: QSettings itself would open a FIFO or
    // device named here and wait, or read it without end.
    if (read.bytes.isEmpty())
        return;
    m_text = DecodeSettingsText(read.bytes);

    // QSettings reads INI files as UTF-8 only (Qt 6), and keeps every parsed
    // file in a process-wide cache, keyed by path, that it parses again only
    // when the size or time stamp changed. Parsing a private UTF-8 copy of the
    // text just read sees the file as it is now, decoded as these very bytes
    // need. Without a copy (no writable temporary folder), read it in place:
    // it has just been read as a regular file.
    const QString parsedFile = WriteSnapshot(m_snapshot, m_text.toUtf8()) ? m_snapshot.fileName() : fileName;
    m_settings = std::make_unique<QSettings>(parsedFile, QSettings::IniFormat);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Sections are parsed at the first read, so the codec set here applies.
    m_settings->setIniCodec("UTF-8");
#endif
}

QVariant ProfileSettings::value(const QString &key, const QVariant &fallback) const
{
    return m_settings ? m_settings->value(key, fallback) : fallback;
}

bool ProfileSettings::hasSystemSection() const
{
    return m_settings && m_settings->childGroups().contains(SystemGroup());
}

std::optional<int> ProfileSettings::parsedDeviceCount() const
{
    bool ok = false;
    const int count = value(DevicesKey()).toInt(&ok);
    if (!ok || count < 0)
        return std::nullopt;
    return count;
}

std::optional<QString> ProfileSettings::unreadableDeviceCount() const
{
    const QVariant devices = value(DevicesKey());
    if (!devices.isValid() || parsedDeviceCount())
        return std::nullopt;
    return devices.toString();
}

int ProfileSettings::declaredDeviceCount() const
{
    return parsedDeviceCount().value_or(0);
}

int ProfileSettings::deviceCount() const
{
    return qMin(declaredDeviceCount(), MaxDevices);
}

QString ProfileSettings::deviceName(int index) const
{
    return value(ProfileGroup(index) + QStringLiteral("Name"), QString()).toString();
}

QStringList ProfileSettings::deviceNames() const
{
    QStringList names;
    const int count = deviceCount();
    for (int i = 0; i < count; ++i)
        names.append(deviceName(i));
    return names;
}

QString ProfileSettings::startAddress() const
{
    return value(QStringLiteral("Sys/Addr"), 0).toString();
}

QString ProfileSettings::fill() const
{
    return value(QStringLiteral("Sys/Fill"), QStringLiteral("FF")).toString();
}

QString ProfileSettings::version() const
{
    return value(QStringLiteral("Sys/Ver"), 0).toString();
}

ProfilePaths ProfileSettings::paths(int index) const
{
    const QString group = ProfileGroup(index);
    ProfilePaths result;
    result.sourcePath = value(group + QStringLiteral("PBin"), QString()).toString();
    result.imagePath = value(group + QStringLiteral("NBin"), QString()).toString();
    result.srecordPath = value(group + QStringLiteral("NS19"), QString()).toString();
    return result;
}

QStringList ProfileSettings::missingProfileKeys(int index) const
{
    const QString group = ProfileGroup(index);
    QStringList missing;
    for (const QString &key : ProfileKeys()) {
        if (!m_settings || !m_settings->contains(group + key))
            missing.append(key);
    }
    return missing;
}

bool ProfileSettings::hasProfileSection(int index) const
{
    QString group = ProfileGroup(index);
    group.chop(1);
    return m_settings && m_settings->childGroups().contains(group);
}

QVector<ProfileSettings::Trap> ProfileSettings::valueTraps(int profile) const
{
    static const QStringList systemKeys{QStringLiteral("Devs"), QStringLiteral("Addr"), QStringLiteral("Ver"),
                                        QStringLiteral("Fill")};
    static const QRegularExpression profileSection(QStringLiteral("^Dev(0|[1-9][0-9]{0,8})$"));
    const int count = deviceCount();
    const auto wanted = [&](const QString &section, const QString &key) {
        if (section == SystemGroup())
            return systemKeys.contains(key);
        const QRegularExpressionMatch match = profileSection.match(section);
        if (!match.hasMatch() || !ProfileKeys().contains(key))
            return false;
        const int index = match.captured(1).toInt();
        return profile < 0 ? index < count : index == profile;
    };
    QVector<Trap> traps;
    for (const IniValueTrap &trap : FindIniValueTraps(m_text, wanted))
        traps.append({trap, value(trap.section + QLatin1Char('/') + trap.key).toString()});
    return traps;
}
