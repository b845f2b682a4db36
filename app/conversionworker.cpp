#include "conversionworker.h"

ConversionWorker::ConversionWorker(const ConversionRequest &request, QObject *parent)
    : QThread(parent)
    , m_request(request)
{
    m_request.progress = &m_progress;
}

ConversionWorker::~ConversionWorker()
{
    cancel();
    wait();
}

void ConversionWorker::run()
{
    m_result = RunConversion(m_request);
}
