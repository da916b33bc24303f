// What putting each history record on the disk costs a page turn. Three
// ways side by side in one run, each appending the same records to a file
// in the data folder's file system:
//   written only     open, write, close: the record survives a crash of the
//                    viewer but not a power cut (how it was before);
//   flushed inline   the same plus fdatasync() before returning, on the
//                    page turn itself;
//   AppendHistory    the viewer's own: written on the page turn, flushed by
//                    a worker right after.
// For each: the page turn's cost (median, 90th and 99th percentile, most),
// and for AppendHistory also how long until the record is on the disk.
//
//   bench_historylog [RECORDS] [FOLDER]   (default 500, the data folder)
#include "history/historylog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <vector>

using namespace Tamberlyn;
using Clock = std::chrono::steady_clock;

namespace {

struct Spread
{
    double median = 0;
    double p90 = 0;
    double p99 = 0;
    double most = 0;
};

Spread spreadOf(std::vector<double> microseconds)
{
    std::sort(microseconds.begin(), microseconds.end());
    const auto at = [&](double share) {
        return microseconds[std::min(microseconds.size() - 1, std::size_t(share * double(microseconds.size())))];
    };
    return {at(0.5), at(0.9), at(0.99), microseconds.back()};
}

void print(const char *way, const Spread &spread)
{
    std::printf("| %s | %.0f | %.0f | %.0f | %.0f |\n", way, spread.median, spread.p90, spread.p99, spread.most);
}

// The append of before, with or without a flush on the page turn.
bool appendPlain(const QString &path, const QByteArray &record, bool flush)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, record.constData(), std::size_t(record.size())) == record.size();
    const bool flushed = !flush || ::fdatasync(fd) == 0;
    ::close(fd);
    return written && flushed;
}

std::vector<double> timed(int records, const std::function<bool()> &append)
{
    std::vector<double> samples;
    samples.reserve(std::size_t(records));
    for (int i = 0; i < records; ++i) {
        const auto start = Clock::now();
        if (!append())
            return {};
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return samples;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    const QString base =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir().mkpath(base);
    QTemporaryDir dir(base + QStringLiteral("/bench-historylog-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_historylog: cannot make a folder in %s\n", qPrintable(base));
        return 1;
    }
    const QByteArray record = History::HistoryLog::recordFor(QStringLiteral("kq010003.vxp"));
    const History::HistoryLog log(dir.path() + u'/');

    const std::vector<double> plain = timed(records, [&] {
        return appendPlain(dir.filePath(QStringLiteral("plain.vxp")), record, false);
    });
    const std::vector<double> inline_ = timed(records, [&] {
        return appendPlain(dir.filePath(QStringLiteral("inline.vxp")), record, true);
    });
    std::vector<double> toDisk;
    const std::vector<double> viewer = timed(records, [&] {
        const bool appended = log.AppendHistory(QStringLiteral("kq010003.vxp"));
        // Off the clock of the page turn: how long until the disk has it.
        const auto start = Clock::now();
        const bool onDisk = History::HistoryLog::waitUntilOnDisk(std::chrono::seconds(10));
        toDisk.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        return appended && onDisk;
    });
    if (plain.empty() || inline_.empty() || viewer.empty()) {
        std::fprintf(stderr, "bench_historylog: an append failed in %s\n", qPrintable(dir.path()));
        return 1;
    }
    // The viewer's page turn is the append alone; the wait above was timed
    // apart and is taken off.
    std::vector<double> turn(viewer.size());
    for (std::size_t i = 0; i < viewer.size(); ++i)
        turn[i] = viewer[i] - toDisk[i];

    std::printf("history record per page turn, %d records each, in %s (microseconds)\n\n", records,
                qPrintable(base));
    std::printf("| Way | Median | 90%% | 99%% | Most |\n|---|---:|---:|---:|---:|\n");
    print("written only (before: not on disk)", spreadOf(plain));
    print("flushed inline on the page turn", spreadOf(inline_));
    print("AppendHistory: the page turn", spreadOf(turn));
    print("AppendHistory: until on disk", spreadOf(toDisk));
    return 0;
}
