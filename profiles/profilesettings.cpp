#include "profiles/profilesettings.h"

#include <QFile>
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

QTextCodec *CodecForSettingsFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QTextCodec::codecForName(Utf8CodecName);
    return CodecForSettingsText(file.readAll());
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
    : m_settings(fileName, QSettings::IniFormat)
{
    // QSettings parses sections lazily, so the codec set here applies as long
    // as nothing has been read through this object yet.
    m_settings.setIniCodec(CodecForSettingsFile(fileName));
}

int ProfileSettings::deviceCount() const
{
    return m_settings.value(QStringLiteral("Sys/Devs"), 0).toInt();
}

QString ProfileSettings::deviceName(int index) const
{
    return TextValue(m_settings, ProfileGroup(index) + QStringLiteral("Name"));
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
    return m_settings.value(QStringLiteral("Sys/Addr"), 0).toString();
}

QString ProfileSettings::version() const
{
    return m_settings.value(QStringLiteral("Sys/Ver"), 0).toString();
}

ProfilePaths ProfileSettings::paths(int index) const
{
    const QString group = ProfileGroup(index);
    ProfilePaths result;
    result.sourcePath = TextValue(m_settings, group + QStringLiteral("PBin"));
    result.imagePath = TextValue(m_settings, group + QStringLiteral("NBin"));
    result.srecordPath = TextValue(m_settings, group + QStringLiteral("NS19"));
    return result;
}
