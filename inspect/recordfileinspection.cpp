#include "recordfileinspection.h"

#include "messagetext.h"

#include <QIODevice>
#include <QStringList>

RecordFileReading::RecordFileReading(QIODevice *image, std::optional<quint32> address) : m_image(image, address)
{
}

void RecordFileReading::stop(qint64 lineNumber, const QString &what)
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_stopFault = QStringLiteral("line %1: %2").arg(lineNumber).arg(what);
}

void RecordFileReading::recordFault(const QString &what)
{
    if (m_recordFault.isEmpty())
        m_recordFault = what;
}

void RecordFileReading::checksum(qint64 lineNumber, quint8 stored, quint8 computed)
{
    if (stored != computed && m_badChecksums++ == 0)
        m_checksumFault = QStringLiteral("line %1: checksum %2, the record sums to %3")
                              .arg(lineNumber)
                              .arg(HexDigits(stored, 2), HexDigits(computed, 2));
}

void RecordFileReading::countDataRecord(quint32 address, int count)
{
    ++m_result.recordCount;
    m_result.dataBytes += count;
    if (!m_result.firstAddress)
        m_result.firstAddress = address;
}

bool RecordFileReading::place(qint64 lineNumber, quint32 address, const quint8 *data, int count)
{
    if (m_image.place(lineNumber, address, data, count))
        return true;
    m_result.readError = m_image.readError();
    return false;
}

RecordFileInspection RecordFileReading::finish(const RecordCheckNames &names, const InspectionCheck &lines,
                                               const QString &records)
{
    m_result.imageAddress = m_image.address();
    m_result.lowestAddress = m_image.lowestAddress();
    m_result.highestAddress = m_image.highestAddress();

    const QString unread = QStringLiteral("not all records were read: the file is malformed (%1)").arg(names.records);
    m_result.checks.append(lines);
    // A fault that did not stop the reading came before the one that did.
    QStringList faults;
    for (const QString &fault : {m_recordFault, m_stopFault}) {
        if (!fault.isEmpty())
            faults << fault;
    }
    if (faults.isEmpty())
        m_result.checks.append({names.records, true, records});
    else
        m_result.checks.append({names.records, false, faults.join(QStringLiteral("; "))});

    if (m_badChecksums > 0)
        m_result.checks.append({names.checksums, false,
                                QStringLiteral("%1 bad record checksums; first: %2").arg(m_badChecksums).arg(m_checksumFault)});
    else if (m_stopped)
        m_result.checks.append({names.checksums, false, unread});
    else
        m_result.checks.append({names.checksums, true, QStringLiteral("every record checksum is right")});

    m_result.checks.append(m_image.verdict(names.data, !m_stopped, unread));
    return m_result;
}

RecordFileInspection InspectByAddress(QIODevice *records, std::optional<quint32> address, const RecordFilePass &pass)
{
    RecordFileInspection result = pass(address);
    if (!address && result.readError.isEmpty() && result.lowestAddress && result.imageAddress
        && *result.lowestAddress < *result.imageAddress) {
        if (records->isSequential()) {
            result.readError = QStringLiteral("the data is not in address order, and the record file cannot be read twice");
            return result;
        }
        result = pass(result.lowestAddress);
    }
    return result;
}

bool StartReading(QIODevice *records, QIODevice *image, QString *readError)
{
    if (image->isSequential()) {
        *readError = QStringLiteral("the image must be a file that can be read at any offset");
        return false;
    }
    if (!records->isSequential() && !records->seek(0)) {
        *readError = records->errorString();
        return false;
    }
    return true;
}
