#include "argumentencoding.h"

#include "messagetext.h"

#include <QByteArray>
#include <QFile>

namespace {

// Printable ASCII as it is, every other byte as \xNN: the bytes themselves,
// since they have no text to show.
QString ShownBytes(const QByteArray &bytes)
{
    QString shown;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F)
            shown += QLatin1Char(c);
        else
            shown += QStringLiteral("\\x") + HexDigits(byte, 2);
    }
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

} // namespace

std::optional<QString> UndecodableArgument(int argc, const char *const *argv)
{
#ifndef Q_OS_WIN
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        if (QFile::encodeName(QFile::decodeName(raw)) != raw)
            return QStringLiteral("argument %1 is not valid text in this system's encoding; give the file "
                                  "a name in it, or run with a locale that reads it (LANG)")
                .arg(ShownBytes(raw));
    }
#else
    Q_UNUSED(argc)
    Q_UNUSED(argv)
#endif
    return std::nullopt;
}
