#include "profilechoice.h"

#include <QRegularExpression>

ProfileChoice ChooseProfile(const ProfileSettings &settings, const QString &settingsFile, const QString &profile)
{
    ProfileChoice choice;
    const int count = settings.deviceCount();
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (digits.match(profile).hasMatch()) {
        bool ok = false;
        const int index = profile.toInt(&ok);
        if (ok && index < count)
            choice.index = index;
        else
            choice.error = QStringLiteral("no profile %1 in settings file \"%2\", which lists %3 profiles")
                               .arg(profile, settingsFile, QString::number(qMax(count, 0)));
        return choice;
    }

    int matches = 0;
    for (int i = 0; i < count; ++i) {
        if (settings.deviceName(i) == profile && matches++ == 0)
            choice.index = i;
    }
    if (matches == 0) {
        choice.error = QStringLiteral("no profile named \"%1\" in settings file \"%2\"").arg(profile, settingsFile);
    } else if (matches > 1) {
        choice.error = QStringLiteral("%1 profiles are named \"%2\" in settings file \"%3\"; give the index instead")
                           .arg(matches)
                           .arg(profile, settingsFile);
        choice.index = -1;
    }
    return choice;
}
