#pragma once

#include "bookmark.h"
#include "coursepages.h"
#include "learnerstore.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace Tamberlyn::Platform {
class BrowserPane;
}

namespace Tamberlyn::Learner {

class LearnerWorker;

// A learner's course across days, on the user-interface thread: what they
// have read, where they left off, their bookmarks and notes. It follows the
// pages shown in Web1, keeps the record's state in memory for the windows,
// and hands every change to the worker thread to be saved (learnerworker.h),
// so a page turn costs only a few lookups here.
class LearnerRecord final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LearnerRecord)

public:
    struct Config
    {
        QString recordPath;   // the record file
        QString fileLocn;     // the course's base address
        QString pageListFile; // "files.vxp", may be missing
        // The size class now, for the variant of a page to open.
        std::function<int()> sizeClass;
        // How often the spot on the page shown is looked at.
        int spotIntervalMs = 1000;
    };

    LearnerRecord(Platform::BrowserPane &web1, Config config, QObject *parent = nullptr);
    ~LearnerRecord() override;

    // Opens the record on the worker thread; opened() follows.
    void start();

    // The page-load handler recorded a visit to `pageName`.
    void pageRecorded(const QString &pageName);

    bool isOpen() const { return m_open; }
    const QSet<QString> &pagesRead() const { return m_read; }
    const QList<Bookmark> &bookmarks() const { return m_bookmarks; }
    std::optional<Bookmark> bookmark(qint64 id) const;
    const CoursePages &coursePages() const { return m_coursePages; }
    QString fileLocn() const { return m_config.fileLocn; }
    // Where the learner left off last time, when it is worth offering:
    // never on the first run, nor for a contents page.
    std::optional<ResumeSpot> resumeOffer() const { return m_offer; }
    void dropResumeOffer() { m_offer.reset(); }

    // Opens the page of the offer at its spot.
    void continueWhereLeftOff();
    // Opens the first unread page of the module shown (readingprogress.h);
    // `done` says which page, or nothing when every page has been read.
    void openFirstUnread(std::function<void(std::optional<QString> page)> done);
    // Bookmarks the page shown at the learner's spot on it; `done` gets the
    // bookmark, or nothing when no course page is shown.
    void bookmarkPageShown(std::function<void(std::optional<Bookmark>)> done);
    void setNote(qint64 id, const QString &note);
    void deleteBookmark(qint64 id);
    // Readies the bookmark's spot for the next page load and gives the page
    // to load (relative to the base address); empty for no such bookmark.
    QString prepareBookmark(qint64 id);
    void openBookmark(qint64 id);
    // Clears the whole record of this course.
    void forget();

    // Waits up to `timeoutMs` for the writes queued so far.
    bool finishWrites(int timeoutMs);

signals:
    void opened();
    void bookmarksChanged();
    // Something the learner must be told once, in words.
    void notice(const QString &text);

private:
    void Web1_DocumentComplete(const QString &address);
    void recordOpened(const LearnerStore::Snapshot &snapshot, const CoursePages &pages,
                      const LearnerStore::Opening &opening);
    void notSaved(const QString &reason);
    void startedAfresh(const QString &movedAside, const QString &reason);
    bool accepts(const QString &pageName) const;
    void captureSpot();
    void spotSeen(quint64 serial, const QVariant &result);
    void drawReadMarks();
    void withCoursePages(std::function<void()> then);
    QString addressOf(const QString &page) const;
    void openAt(const QString &page, const PageSpot &spot);

    Platform::BrowserPane &m_web1;
    Config m_config;
    const QString m_course;
    LearnerWorker *m_worker;
    QTimer m_spotTimer;
    bool m_open = false;
    bool m_toldNotSaving = false;

    QSet<QString> m_read;
    QList<Bookmark> m_bookmarks;
    qint64 m_lastBookmarkId = 0;
    CoursePages m_coursePages;
    bool m_courseMapAsked = false;
    std::optional<ResumeSpot> m_offer;

    // The visit last recorded, and the page shown for it (the module page
    // of a module's opening page), or empty while another page is shown.
    QString m_current;
    QString m_shown;
    QString m_currentTitle;
    // Changes with every page shown: answers for a page gone are dropped.
    quint64 m_serial = 0;
    std::optional<ResumeSpot> m_savedSpot;
    struct PendingSpot
    {
        QString page;
        PageSpot spot;
    };
    std::optional<PendingSpot> m_pending;
};

} // namespace Tamberlyn::Learner
