#ifndef VANDREL_CLI_SOURCEOPTIONS_H
#define VANDREL_CLI_SOURCEOPTIONS_H

#include "sourceformat.h"
#include "sourcelayout.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

#include <optional>

// The options that say how a source is read and an addressed one placed,
// the same for convert and inspect: --source-format, --fill, --max-size,
// --crop.
class SourceOptionSet
{
public:
    SourceOptionSet();

    QList<QCommandLineOption> options() const { return {m_format, m_fill, m_maxSize, m_crop}; }

    // Reads the values given into format and layout; settingsFill (the
    // settings file's Fill, when there is one) stands in for --fill. The exit
    // status when a value does not read: 2 for an option, 1 for the settings.
    std::optional<int> read(const QCommandLineParser &parser, const QString &command, const QString &settingsFill,
                            SourceFormat &format, SourceLayoutOptions &layout) const;

    // --relocate, which convert and release take beside the others.
    static QCommandLineOption relocateOption();

private:
    QCommandLineOption m_format;
    QCommandLineOption m_fill;
    QCommandLineOption m_maxSize;
    QCommandLineOption m_crop;
};

#endif
