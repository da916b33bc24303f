// Writes to a learner record as fast as the viewer's worker thread takes
// it, for the crash-safety test that kills it: random visits and bookmark
// additions, note edits and deletions, through the same worker and store
// as the viewer. Each write is announced before it is queued ("op N ...")
// and the commits as they are known ("committed N": every op up to N is on
// disk), on standard output, flushed line by line.
//
//   learnerwriter RECORD COURSE SEED [OPS]
#include "learner/learnerworker.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>

#include <cstdio>
#include <deque>
#include <random>

using namespace Tamberlyn;
using Learner::Bookmark;
using Learner::LearnerWorker;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fputs("usage: learnerwriter RECORD COURSE SEED [OPS]\n", stderr);
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::mt19937 random(args.at(3).toUInt());
    const int total = args.size() > 4 ? args.at(4).toInt() : 1000000;

    LearnerWorker worker({args.at(1), args.at(2), {}});
    worker.reportCommits(true);
    QList<qint64> bookmarks;
    qint64 nextId = 1;
    qint64 nextAt = QDateTime::currentMSecsSinceEpoch() * 1000; // unique across runs
    int issued = 0;
    std::deque<int> inFlight;
    QHash<qint64, int> versions;

    QObject::connect(&worker, &LearnerWorker::committed, &app, [&](const QStringList &writes) {
        int last = -1;
        for (qsizetype i = 0; i < writes.size() && !inFlight.empty(); ++i) {
            last = inFlight.front();
            inFlight.pop_front();
        }
        if (last >= 0)
            std::printf("committed %d\n", last);
    });
    QObject::connect(&worker, &LearnerWorker::notSaved, &app, [](const QString &reason) {
        std::fprintf(stderr, "not saved: %s\n", qPrintable(reason));
        std::exit(3);
    });

    QTimer pace;
    const auto step = [&] {
        if (issued >= total) {
            if (worker.finish(10000))
                app.quit();
            return;
        }
        // Bursts of writes with short pauses, so transactions of one write
        // and of many both come.
        const int burst = std::uniform_int_distribution<int>(1, 12)(random);
        for (int b = 0; b < burst && issued < total; ++b) {
            const int index = issued++;
            int kind = std::uniform_int_distribution<int>(0, 9)(random);
            if (kind >= 7 && bookmarks.isEmpty())
                kind = 5; // nothing to edit or delete yet: a new bookmark
            LearnerWorker::Write write;
            if (kind < 5) {
                const QString page = QStringLiteral("kq%1%2.vxp")
                                         .arg(std::uniform_int_distribution<int>(1, 7)(random), 2, 10, QLatin1Char('0'))
                                         .arg(std::uniform_int_distribution<int>(1, 40)(random), 4, 10, QLatin1Char('0'));
                const qint64 at = nextAt++;
                std::printf("op %d visit %s %lld\n", index, qPrintable(page), static_cast<long long>(at));
                write = LearnerWorker::Visit{page, at};
            } else if (kind < 7) {
                const qint64 id = nextId++;
                bookmarks << id;
                versions[id] = 1;
                std::printf("op %d bookmark %lld v1\n", index, static_cast<long long>(id));
                write = LearnerWorker::PutBookmark{
                    Bookmark{id, QStringLiteral("kq010003.vxp"), QStringLiteral("Page"), {}, QStringLiteral("v1"), 1, 1}};
            } else if (kind < 9) {
                const qint64 id = bookmarks.at(std::uniform_int_distribution<qsizetype>(0, bookmarks.size() - 1)(random));
                const int version = ++versions[id];
                std::printf("op %d bookmark %lld v%d\n", index, static_cast<long long>(id), version);
                write = LearnerWorker::PutBookmark{Bookmark{id, QStringLiteral("kq010003.vxp"), QStringLiteral("Page"),
                                                            {}, QStringLiteral("v%1").arg(version), 1, version}};
            } else {
                const qint64 id = bookmarks.takeAt(std::uniform_int_distribution<qsizetype>(0, bookmarks.size() - 1)(random));
                std::printf("op %d delete %lld\n", index, static_cast<long long>(id));
                write = LearnerWorker::DeleteBookmark{id};
            }
            inFlight.push_back(index);
            worker.queue(std::move(write));
        }
        pace.start(std::uniform_int_distribution<int>(0, 3)(random));
    };
    QObject::connect(&pace, &QTimer::timeout, &app, step);
    pace.setSingleShot(true);

    QObject::connect(&worker, &LearnerWorker::opened, &app,
                     [&](const Learner::LearnerStore::Snapshot &snapshot, const Learner::CoursePages &,
                         const Learner::LearnerStore::Opening &opening) {
                         if (opening.access != Learner::LearnerStore::Access::Writable || !opening.movedAside.isEmpty()) {
                             std::fprintf(stderr, "record not usable: %s\n", qPrintable(opening.problem));
                             std::exit(3);
                         }
                         for (const Bookmark &bookmark : snapshot.bookmarks) {
                             bookmarks << bookmark.id;
                             versions[bookmark.id] = bookmark.note.mid(1).toInt();
                             nextId = std::max(nextId, bookmark.id + 1);
                         }
                         std::printf("opened %lld bookmarks\n", static_cast<long long>(snapshot.bookmarks.size()));
                         pace.start(0);
                     });
    worker.start();
    return QCoreApplication::exec();
}
