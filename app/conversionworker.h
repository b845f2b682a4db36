#ifndef VANDREL_APP_CONVERSIONWORKER_H
#define VANDREL_APP_CONVERSIONWORKER_H

#include "conversion.h"
#include "conversionprogress.h"

#include <QThread>

// One conversion on a thread of its own, so that the window keeps drawing
// and answering while it runs. finished() comes once the run has ended and
// cleaned up; result() holds its outcome from then on.
class ConversionWorker : public QThread
{
    Q_OBJECT

public:
    explicit ConversionWorker(const ConversionRequest &request, QObject *parent = nullptr);
    // Cancels a run still going and waits for it: no temporary file outlives it.
    ~ConversionWorker() override;

    void cancel() { m_progress.cancel(); }
    const ConversionProgress &progress() const { return m_progress; }
    const ConversionResult &result() const { return m_result; }

protected:
    void run() override;

private:
    ConversionRequest m_request;
    ConversionProgress m_progress;
    ConversionResult m_result;
};

#endif
