// Times the engine on large sources beside objcopy's S-record conversion of
// the same bytes, and reports the process's peak memory.

#include "conversion.h"
#include "imagestamp.h"
#include "srecordwriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#if defined(Q_OS_LINUX) || defined(Q_OS_MACOS)
#include <sys/resource.h>
#define VANDREL_HAVE_RUSAGE 1
#endif

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr quint32 SourceSeed = 20261209;
constexpr quint32 StartAddress = 0x08000000;
constexpr int CopyChunkSize = 64 * 1024;
const char StartAddressText[] = "0x08000000";

// Peak resident memory of this process so far, in KiB; -1 where unknown.
qint64 PeakMemoryKiB()
{
#ifdef VANDREL_HAVE_RUSAGE
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return -1;
#ifdef Q_OS_MACOS
    return usage.ru_maxrss / 1024; // bytes there
#else
    return usage.ru_maxrss;
#endif
#else
    return -1;
#endif
}

// Written a chunk at a time, so that making the source does not itself
// raise the peak memory being measured.
bool WriteRandomSource(const QString &path, qint64 size)
{
    std::mt19937 generator(SourceSeed);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk(CopyChunkSize, Qt::Uninitialized);
    for (qint64 done = 0; done < size; done += chunk.size()) {
        const int n = int(std::min<qint64>(chunk.size(), size - done));
        for (int i = 0; i < n; ++i)
            chunk[i] = char(generator() & 0xFF);
        if (file.write(chunk.constData(), n) != n)
            return false;
    }
    return file.flush();
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

struct Timings
{
    std::vector<double> whole;
    std::vector<double> copy;
    std::vector<double> stamp;
    std::vector<double> srecords;
    std::vector<double> objcopy;
};

// The conversion's steps one by one through the lower routines, as the
// conversion does them; false if any step fails.
bool TimeSteps(const QString &sourcePath, const QString &imagePath, const QString &srecordPath,
               const QDateTime &stampTime, Timings *timings)
{
    QElapsedTimer timer;
    timer.start();
    QFile source(sourcePath);
    QFile image(imagePath);
    if (!source.open(QIODevice::ReadOnly) || !image.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return false;
    if (!WriteFill(&image, 0x00, ImageLayout::HeaderSize))
        return false;
    QByteArray chunk(CopyChunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(chunk.data(), chunk.size());
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (image.write(chunk.constData(), n) != n)
            return false;
    }
    timings->copy.push_back(Milliseconds(timer));

    timer.restart();
    if (!StampImage(&image, 1, 100, stampTime) || !image.flush())
        return false;
    timings->stamp.push_back(Milliseconds(timer));

    timer.restart();
    QFile srecords(srecordPath);
    if (!srecords.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return false;
    if (WriteSRecords(&image, StartAddress, &srecords) != RecordFileResult::Written)
        return false;
    if (!srecords.flush())
        return false;
    srecords.close();
    timings->srecords.push_back(Milliseconds(timer));
    return true;
}

bool TimeObjcopy(const QString &sourcePath, const QString &srecordPath, Timings *timings)
{
    QElapsedTimer timer;
    timer.start();
    QProcess objcopy;
    objcopy.start(QStringLiteral("objcopy"),
                  {QStringLiteral("-I"), QStringLiteral("binary"), QStringLiteral("-O"),
                   QStringLiteral("srec"), QStringLiteral("--srec-len=16"),
                   QStringLiteral("--srec-forceS3"),
                   QStringLiteral("--change-addresses=") + QLatin1String(StartAddressText),
                   sourcePath, srecordPath});
    if (!objcopy.waitForFinished(-1) || objcopy.exitStatus() != QProcess::NormalExit
        || objcopy.exitCode() != 0)
        return false;
    timings->objcopy.push_back(Milliseconds(timer));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vandrel-bench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the conversion (copy, stamp, S-records) on random sources beside objcopy."));
    parser.addHelpOption();
    const QCommandLineOption repetitionsOption(QStringLiteral("repetitions"),
                                               QStringLiteral("Runs of each measurement (default 9)."),
                                               QStringLiteral("count"), QStringLiteral("9"));
    const QCommandLineOption sizesOption(QStringLiteral("sizes"),
                                         QStringLiteral("Source sizes in MiB, comma-separated (default 1,16)."),
                                         QStringLiteral("list"), QStringLiteral("1,16"));
    const QCommandLineOption engineOnlyOption(QStringLiteral("engine-only"),
                                              QStringLiteral("Skip the steps and objcopy (for profilers)."));
    parser.addOptions({repetitionsOption, sizesOption, engineOnlyOption});
    parser.process(app);

    QTextStream out(stdout);
    bool ok = false;
    const int repetitions = parser.value(repetitionsOption).toInt(&ok);
    if (!ok || repetitions < 1) {
        out << "bad --repetitions\n";
        return 2;
    }
    std::vector<qint64> sizes;
    for (const QString &text : parser.value(sizesOption).split(QLatin1Char(','))) {
        const int mib = text.toInt(&ok);
        if (!ok || mib < 1) {
            out << "bad --sizes\n";
            return 2;
        }
        sizes.push_back(mib * MiB);
    }
    const bool engineOnly = parser.isSet(engineOnlyOption);

    QTemporaryDir dir;
    if (!dir.isValid()) {
        out << "cannot make a temporary folder\n";
        return 1;
    }
    const QString sourcePath = dir.filePath(QStringLiteral("source.bin"));
    const QString imagePath = dir.filePath(QStringLiteral("image.bin"));
    const QString srecordPath = dir.filePath(QStringLiteral("image.s19"));
    const QString objcopyPath = dir.filePath(QStringLiteral("objcopy.s19"));
    const QDateTime stampTime(QDate(2026, 12, 9), QTime(12, 0));

    const qint64 baselineKiB = PeakMemoryKiB();
    out << "vandrel-bench: median of " << repetitions << " runs, interleaved; start address "
        << StartAddressText << "\n";
    out << "peak memory before any run (Qt baseline): " << baselineKiB << " KiB\n\n";

    for (const qint64 size : sizes) {
        if (!WriteRandomSource(sourcePath, size)) {
            out << "cannot write the source\n";
            return 1;
        }
        ConversionRequest request;
        request.sourcePath = sourcePath;
        request.imagePath = imagePath;
        request.srecordPath = srecordPath;
        request.startAddress = StartAddress;
        request.version = 100;
        request.wallClock = stampTime;
        Timings timings;
        for (int run = 0; run < repetitions; ++run) {
            // Alternate the order so neither side always meets a warm cache.
            const bool objcopyFirst = run % 2 == 1;
            if (!engineOnly && objcopyFirst && !TimeObjcopy(sourcePath, objcopyPath, &timings)) {
                out << "objcopy failed\n";
                return 1;
            }
            QElapsedTimer timer;
            timer.start();
            const ConversionResult result = RunConversion(request);
            timings.whole.push_back(Milliseconds(timer));
            if (!result.succeeded()) {
                out << "conversion failed: " << result.detail << "\n";
                return 1;
            }
            if (engineOnly)
                continue;
            if (!TimeSteps(sourcePath, imagePath, srecordPath, stampTime, &timings)) {
                out << "a step failed\n";
                return 1;
            }
            if (!objcopyFirst && !TimeObjcopy(sourcePath, objcopyPath, &timings)) {
                out << "objcopy failed\n";
                return 1;
            }
        }

        const double megabytes = double(size) / 1e6;
        const double whole = Median(timings.whole);
        const qint64 peakKiB = PeakMemoryKiB();
        out << "source " << size / MiB << " MiB (" << size << " bytes)\n";
        out << QStringLiteral("  engine, whole conversion  %1 ms  %2 MB/s\n")
                   .arg(whole, 8, 'f', 1)
                   .arg(megabytes / (whole / 1000), 7, 'f', 1);
        if (!engineOnly) {
            out << QStringLiteral("    copy (header + payload) %1 ms\n").arg(Median(timings.copy), 8, 'f', 1);
            out << QStringLiteral("    stamp (header + CRC)    %1 ms\n").arg(Median(timings.stamp), 8, 'f', 1);
            out << QStringLiteral("    S-record text to disk   %1 ms\n").arg(Median(timings.srecords), 8, 'f', 1);
            const double objcopy = Median(timings.objcopy);
            out << QStringLiteral("  objcopy -O srec           %1 ms  %2 MB/s\n")
                       .arg(objcopy, 8, 'f', 1)
                       .arg(megabytes / (objcopy / 1000), 7, 'f', 1);
            out << QStringLiteral("  engine / objcopy          %1\n").arg(whole / objcopy, 8, 'f', 2);
        }
        if (peakKiB >= 0) {
            out << QStringLiteral("  peak memory so far        %1 KiB, %2 x source above the baseline\n")
                       .arg(peakKiB)
                       .arg(double(peakKiB - baselineKiB) * 1024 / double(size), 0, 'f', 2);
        }
        out << "\n";
        out.flush();
    }
    return 0;
}
