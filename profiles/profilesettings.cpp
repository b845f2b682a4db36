#include "profilesettings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextCodec>
#include <QVariant>

namespace {

const char Utf8CodecName[] = "UTF-8";

// Users save the file from any editor: UTF-8 (with or without a byte-order
// mark) is taken as such, anything else was written in the local 8-bit code
// page (the ANSI code page on Windows).
QTextCodec *CodecForSettingsText(const QByteArray &bytes)
{
    QTextCodec *utf8 = QTextCodec::codecForName(Utf8CodecName);
    QTextCodec::ConverterState state;
    utf8->toUnicode(bytes.constData(), bytes.size(), &state);
    const bool validUtf8 = state.invalidChars == 0 && state.remainingChars == 0;
    return validUtf8 ? utf8 : QTextCodec::codecForLocale();
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

QString TextValue(QSettings &settings, const QString &key)
{
    return settings.value(key, QString()).toString();
}

} // namespace

QString ProfileGroup(int index)
{
    return QStringLiteral("Dev%1/").arg(index);
}

ProfileSettings::ProfileSettings(const QString &fileName)
{
    QFile file(fileName);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();

    // QSettings keeps every parsed INI file in a process-wide cache, keyed by
    // path, and parses it again only when its size or time stamp changed; a
    // cached file also keeps the codec of its first reader. Parsing a private
    // copy of the bytes just read sees the file as it is now, decoded with the
    // codec chosen for exactly these bytes. Without a copy, read it in place.
    const QString parsedFile = !bytes.isEmpty() && WriteSnapshot(m_snapshot, bytes)
        ? m_snapshot.fileName()
        : fileName;
    m_settings = std::make_unique<QSettings>(parsedFile, QSettings::IniFormat);
    // Sections are parsed at the first read, so the codec set here applies.
    m_settings->setIniCodec(CodecForSettingsText(bytes));
    m_text = CodecForSettingsText(bytes)->toUnicode(bytes);
}

int ProfileSettings::declaredDeviceCount() const
{
    return m_settings->value(QStringLiteral("Sys/Devs"), 0).toInt();
}

int ProfileSettings::deviceCount() const
{
    return qMin(declaredDeviceCount(), MaxDevices);
}

QString ProfileSettings::deviceName(int index) const
{
    return TextValue(*m_settings, ProfileGroup(index) + QStringLiteral("Name"));
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
    return m_settings->value(QStringLiteral("Sys/Addr"), 0).toString();
}

QString ProfileSettings::version() const
{
    return m_settings->value(QStringLiteral("Sys/Ver"), 0).toString();
}

ProfilePaths ProfileSettings::paths(int index) const
{
    const QString group = ProfileGroup(index);
    ProfilePaths result;
    result.sourcePath = TextValue(*m_settings, group + QStringLiteral("PBin"));
    result.imagePath = TextValue(*m_settings, group + QStringLiteral("NBin"));
    result.srecordPath = TextValue(*m_settings, group + QStringLiteral("NS19"));
    return result;
}

QVector<ProfileSettings::Trap> ProfileSettings::valueTraps(int profile) const
{
    static const QStringList systemKeys{QStringLiteral("Devs"), QStringLiteral("Addr"), QStringLiteral("Ver")};
    static const QStringList profileKeys{QStringLiteral("Name"), QStringLiteral("PBin"), QStringLiteral("NBin"),
                                         QStringLiteral("NS19")};
    static const QRegularExpression profileSection(QStringLiteral("^Dev(0|[1-9][0-9]{0,8})$"));
    const int count = deviceCount();
    const auto wanted = [&](const QString &section, const QString &key) {
        if (section == QLatin1String("Sys"))
            return systemKeys.contains(key);
        const QRegularExpressionMatch match = profileSection.match(section);
        if (!match.hasMatch() || !profileKeys.contains(key))
            return false;
        const int index = match.captured(1).toInt();
        return profile < 0 ? index < count : index == profile;
    };
    QVector<Trap> traps;
    for (const IniValueTrap &trap : FindIniValueTraps(m_text, wanted))
        traps.append({trap, m_settings->value(trap.section + QLatin1Char('/') + trap.key).toString()});
    return traps;
}
