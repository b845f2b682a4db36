#include "terminalprogress.h"

#include "clioutput.h"

#include <QTextStream>

namespace {
constexpr qint64 QuietMs = 1000;
const QString Line = QStringLiteral("vandrel-cli: converting %1%");
} // namespace

TerminalProgress::TerminalProgress(bool wanted)
    : m_enabled(wanted && StandardErrorIsTerminal())
{
    m_clock.start();
}

TerminalProgress::~TerminalProgress()
{
    if (m_shownPercent < 0)
        return;
    const int width = int(Line.arg(100).size());
    StandardError() << '\r' << QString(width, QLatin1Char(' ')) << '\r';
    StandardError().flush();
}

ConversionProgress::Listener TerminalProgress::listener()
{
    if (!m_enabled)
        return {};
    return [this](qint64 done, qint64 total) { show(done, total); };
}

void TerminalProgress::show(qint64 done, qint64 total)
{
    if (total <= 0 || m_clock.elapsed() < QuietMs)
        return;
    const int percent = int(qMin(done, total) * 100 / total);
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    StandardError() << '\r' << Line.arg(percent);
    StandardError().flush();
}
