#ifndef VANDREL_PROFILES_PROFILESETTINGS_H
#define VANDREL_PROFILES_PROFILESETTINGS_H

#include "inivaluetraps.h"
#include "settingsfile.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <memory>
#include <optional>

// The read-only settings file "VandrelSet.ini": [Sys] Devs, Addr, Ver, Fill and one
// section Dev<i> (Name, PBin, NBin, NS19) per device profile, i from 0.

inline QString SettingsFileName() { return QStringLiteral("VandrelSet.ini"); }

// "Dev%1/" with the index in plain decimal.
QString ProfileGroup(int index);

struct ProfilePaths
{
    QString sourcePath;  // PBin
    QString imagePath;   // NBin
    QString srecordPath; // NS19
};

// One reading of the settings file. Text is UTF-8 (with or without a
// byte-order mark); a file that is not valid UTF-8 is read in the ANSI code
// page on Windows, and as GB18030 (which covers GBK) elsewhere. Missing keys
// give their defaults; the file is never written. A file that cannot be read
// (see ReadSettingsFile) reads as an empty one, and says why.
class ProfileSettings
{
public:
    explicit ProfileSettings(const QString &fileName = SettingsFileName());

    // A file may declare any number; only this many are listed, so that a
    // mistyped count cannot make the selector hold millions of empty items.
    static constexpr int MaxDevices = 1000;

    // Why the file could not be read, "" when it was; found() is false when
    // there is no file at all under the name.
    QString readError() const { return m_readError; }
    bool found() const { return m_found; }

    bool hasSystemSection() const;      // any key of [Sys] is there
    // Sys/Devs as written when it is there but not a whole number from 0 to
    // 2147483647: no profile is then listed. Nothing otherwise.
    std::optional<QString> unreadableDeviceCount() const;

    int declaredDeviceCount() const;    // Sys/Devs, 0 when absent or not a number
    int deviceCount() const;            // declaredDeviceCount(), at most MaxDevices
    QString deviceName(int index) const; // Dev<i>/Name, "" when absent
    QStringList deviceNames() const;     // names of devices 0 .. deviceCount()-1
    QString startAddress() const;        // Sys/Addr, "0" when absent
    QString version() const;             // Sys/Ver, "0" when absent
    QString fill() const;                // Sys/Fill, "FF" (erased flash) when absent
    ProfilePaths paths(int index) const;  // Dev<i>/PBin, NBin, NS19, "" when absent

    // The keys of profile index that the file does not give, of Name, PBin,
    // NBin and NS19 in that order: a missing key reads as "", which a user
    // would take for a value. hasProfileSection tells a missing [Dev<i>]
    // from one that gives none of them.
    QStringList missingProfileKeys(int index) const;
    bool hasProfileSection(int index) const;

    // The values of [Sys] and of the given profile (all listed profiles for
    // -1) that the INI rules read otherwise than they are written, each with
    // what it reads as.
    struct Trap
    {
        IniValueTrap value;
        QString reads;
    };
    QVector<Trap> valueTraps(int profile = -1) const;

private:
    QVariant value(const QString &key, const QVariant &fallback = QVariant()) const;
    std::optional<int> parsedDeviceCount() const;

    QString m_readError;
    bool m_found = true;
    QString m_text; // the file's text, decoded
    QTemporaryFile m_snapshot; // the bytes read, when they could be copied
    std::unique_ptr<QSettings> m_settings; // none when there was nothing to read
};

#endif
