#include "learnerrecord.h"

#include "coursekey.h"
#include "coursemapscript.h"
#include "learnerlog.h"
#include "learnerworker.h"
#include "readingprogress.h"
#include "readmarksscript.h"
#include "spotscripts.h"

#include "navigation/coursemap.h"
#include "navigation/pagedispatch.h"
#include "navigation/sizevariant.h"
#include "platform/browserpane.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cstdio>

namespace Tamberlyn::Learner {

namespace {

constexpr qsizetype MaxTitle = 1024;

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// Contents pages are where a course starts, not a place to come back to.
bool isContentsPage(const QString &page)
{
    const Navigation::PageReaction reaction = Navigation::dispatchFor(page).reaction;
    return reaction == Navigation::PageReaction::Contents || reaction == Navigation::PageReaction::AlternateContents;
}

QString titleFrom(const QVariant &result)
{
    return result.toMap().value(QStringLiteral("title")).toString().simplified().left(MaxTitle);
}

} // namespace

LearnerRecord::LearnerRecord(Platform::BrowserPane &web1, Config config, QObject *parent)
    : QObject(parent)
    , m_web1(web1)
    , m_config(std::move(config))
    , m_course(courseKey(m_config.fileLocn))
    , m_worker(new LearnerWorker({m_config.recordPath, m_course, m_config.pageListFile}, this))
{
    connect(m_worker, &LearnerWorker::opened, this, &LearnerRecord::recordOpened);
    connect(m_worker, &LearnerWorker::notSaved, this, &LearnerRecord::notSaved);
    connect(m_worker, &LearnerWorker::startedAfresh, this, &LearnerRecord::startedAfresh);
    connect(&m_web1, &Platform::BrowserPane::documentComplete, this, &LearnerRecord::Web1_DocumentComplete);
    m_spotTimer.setInterval(m_config.spotIntervalMs);
    connect(&m_spotTimer, &QTimer::timeout, this, [this] {
        // A page behind a finder window or a minimised window is not being read.
        if (const QWidget *view = m_web1.view(); view && !view->isVisible())
            return;
        captureSpot();
    });
}

LearnerRecord::~LearnerRecord() = default;

void LearnerRecord::start()
{
    m_worker->start();
}

void LearnerRecord::pageRecorded(const QString &pageName)
{
    const QString page = pageKey(pageName);
    m_read.insert(page);
    m_worker->queue(LearnerWorker::Visit{page, now()});
    m_current = page;
    m_shown.clear();
    m_currentTitle.clear();
    ++m_serial;
}

bool LearnerRecord::accepts(const QString &pageName) const
{
    if (m_current.isEmpty())
        return false;
    const QString page = pageKey(pageName);
    if (page == m_current)
        return true;
    // A module's opening and objectives pages are recorded under the
    // module's page that opens the variant made for the screen.
    const Navigation::PageDispatch visit = Navigation::dispatchFor(m_current);
    return visit.reaction == Navigation::PageReaction::ModuleStub
           && Navigation::dispatchFor(page).reaction == Navigation::PageReaction::BindLinks
           && page.startsWith(visit.moduleLabel);
}

void LearnerRecord::Web1_DocumentComplete(const QString &address)
{
    ++m_serial;
    const std::optional<QString> name = Navigation::pageNameOf(address);
    m_shown = name && accepts(*name) ? *name : QString();
    if (m_shown.isEmpty())
        m_spotTimer.stop();
    else if (!m_spotTimer.isActive())
        m_spotTimer.start();

    bool restoring = false;
    if (m_pending) {
        if (!m_shown.isEmpty() && m_current == m_pending->page) {
            // A module's opening page brings its variant next: the spot is on that one.
            if (Navigation::dispatchFor(pageKey(*name)).reaction != Navigation::PageReaction::ModuleStub) {
                restoring = true;
                const PageSpot spot = std::exchange(m_pending, std::nullopt)->spot;
                const quint64 serial = m_serial;
                const QPointer<LearnerRecord> self(this);
                const QString shown = m_shown;
                m_web1.runScript(restoreSpotScript(spot), [self, serial, shown, spot](const QVariant &result) {
                    const PageSpot landed = PageSpot::fromVariant(result);
                    qCInfo(lcLearner).noquote()
                        << QStringLiteral("spot shown on %1: %2 #%3 (wanted %4 #%5)")
                               .arg(shown, landed.quote, QString::number(landed.occurrence), spot.quote,
                                    QString::number(spot.occurrence));
                    if (self)
                        self->spotSeen(serial, result);
                });
            }
        } else if (!name || pageKey(*name) != m_pending->page) {
            m_pending.reset();
        }
    }
    if (!restoring)
        captureSpot();
    drawReadMarks();
}

void LearnerRecord::captureSpot()
{
    // A module's opening page gives way to its variant at once, and a spot
    // about to be restored must not be taken for the top of the page.
    if (m_shown.isEmpty() || m_pending
        || Navigation::dispatchFor(pageKey(m_shown)).reaction == Navigation::PageReaction::ModuleStub)
        return;
    const quint64 serial = m_serial;
    const QPointer<LearnerRecord> self(this);
    // At a page's arrival the whole spot, title included; then only when it moved.
    const bool arrival = m_currentTitle.isEmpty();
    m_web1.runScript(captureSpotScript(!arrival), [self, serial](const QVariant &result) {
        if (self)
            self->spotSeen(serial, result);
    });
}

void LearnerRecord::spotSeen(quint64 serial, const QVariant &result)
{
    if (serial != m_serial || m_shown.isEmpty() || !result.isValid()
        || result.toMap().value(QStringLiteral("unchanged")).toBool())
        return;
    if (const QString title = titleFrom(result); !title.isEmpty())
        m_currentTitle = title;
    else if (m_currentTitle.isEmpty())
        m_currentTitle = m_coursePages.titleOf(m_current).isEmpty() ? m_current : m_coursePages.titleOf(m_current);
    if (isContentsPage(m_current))
        return;
    const ResumeSpot spot{m_current, m_currentTitle, PageSpot::fromVariant(result), now()};
    if (m_savedSpot && m_savedSpot->page == spot.page && m_savedSpot->title == spot.title
        && m_savedSpot->spot == spot.spot)
        return;
    m_savedSpot = spot;
    m_worker->queue(LearnerWorker::SaveSpot{spot});
    qCInfo(lcLearner).noquote() << QStringLiteral("spot on %1: %2 #%3 at %4")
                                       .arg(spot.page, spot.spot.quote, QString::number(spot.spot.occurrence),
                                            QString::number(spot.spot.fraction, 'f', 3));
}

void LearnerRecord::drawReadMarks()
{
    if (!m_open)
        return; // drawn once the record is there
    const std::optional<QString> name = Navigation::pageNameOf(m_web1.locationUrl());
    if (!name)
        return;
    if (m_coursePages.isEmpty() && !m_courseMapAsked && isContentsPage(*name)) {
        withCoursePages([this] { drawReadMarks(); });
        return;
    }
    const ReadMarks marks = readMarksFor(m_web1.links(), m_read, m_coursePages);
    if (marks.isEmpty())
        return;
    const QString page = *name;
    if (lcLearner().isInfoEnabled()) {
        for (auto it = marks.moduleCounts.cbegin(); it != marks.moduleCounts.cend(); ++it)
            qCInfo(lcLearner).noquote() << QStringLiteral("count %1: %2 of %3")
                                               .arg(it.key(), QString::number(it->first), QString::number(it->second));
    }
    m_web1.runScript(readMarksScript(marks), [page](const QVariant &result) {
        const QVariantMap drawn = result.toMap();
        qCInfo(lcLearner).noquote() << QStringLiteral("read marks on %1: %2 read, %3 module counts, %4 ms")
                                           .arg(page, drawn.value(QStringLiteral("marked")).toString(),
                                                drawn.value(QStringLiteral("counted")).toString(),
                                                QString::number(drawn.value(QStringLiteral("ms")).toDouble(), 'f', 2));
    });
}

void LearnerRecord::withCoursePages(std::function<void()> then)
{
    if (!m_coursePages.isEmpty() || m_courseMapAsked) {
        then();
        return;
    }
    m_courseMapAsked = true;
    const QString map = m_config.fileLocn + QStringLiteral("kqcr")
                        + Navigation::contentsSizeLetter(m_config.sizeClass ? m_config.sizeClass() : 0)
                        + QStringLiteral(".vxp");
    const QPointer<LearnerRecord> self(this);
    m_web1.runScript(courseMapLinksScript(map), [self, map, then](const QVariant &result) {
        if (!self)
            return;
        self->m_coursePages = CoursePages::fromCourseMap(result.toStringList());
        qCInfo(lcLearner).noquote() << "no page list; the course map" << map << "gives"
                                    << self->m_coursePages.pages().size() << "pages";
        then();
    });
}

QString LearnerRecord::addressOf(const QString &page) const
{
    return Navigation::sizeVariantAddress(m_config.fileLocn + page, m_config.fileLocn,
                                          m_config.sizeClass ? m_config.sizeClass() : 0);
}

void LearnerRecord::openAt(const QString &page, const PageSpot &spot)
{
    const QString address = addressOf(page);
    m_pending = PendingSpot{pageKey(Navigation::pageNameOf(address).value_or(page)), spot};
    qCInfo(lcLearner).noquote() << QStringLiteral("opening %1 at %2 #%3")
                                       .arg(page, spot.quote, QString::number(spot.occurrence));
    m_web1.navigate(address);
}

void LearnerRecord::continueWhereLeftOff()
{
    if (const std::optional<ResumeSpot> offer = std::exchange(m_offer, std::nullopt))
        openAt(offer->page, offer->spot);
}

void LearnerRecord::openFirstUnread(std::function<void(std::optional<QString>)> done)
{
    const QPointer<LearnerRecord> self(this);
    withCoursePages([self, done] {
        if (!self)
            return;
        const std::optional<QString> page =
            firstUnreadPage(self->m_coursePages, self->m_read, moduleOfPage(self->m_current));
        if (page)
            self->m_web1.navigate(self->addressOf(*page));
        qCInfo(lcLearner).noquote() << "first unread page:" << page.value_or(QStringLiteral("none"));
        if (done)
            done(page);
    });
}

void LearnerRecord::bookmarkPageShown(std::function<void(std::optional<Bookmark>)> done)
{
    if (m_shown.isEmpty()) {
        if (done)
            done(std::nullopt);
        return;
    }
    const quint64 serial = m_serial;
    const QString page = m_current;
    const QPointer<LearnerRecord> self(this);
    m_web1.runScript(captureSpotScript(), [self, serial, page, done](const QVariant &result) {
        if (!self || serial != self->m_serial) {
            if (done)
                done(std::nullopt);
            return;
        }
        QString title = titleFrom(result);
        if (title.isEmpty())
            title = self->m_currentTitle.isEmpty() ? page : self->m_currentTitle;
        const qint64 at = now();
        const Bookmark bookmark{++self->m_lastBookmarkId, page, title, PageSpot::fromVariant(result), {}, at, at};
        self->m_bookmarks.append(bookmark);
        self->m_worker->queue(LearnerWorker::PutBookmark{bookmark});
        qCInfo(lcLearner).noquote() << QStringLiteral("bookmark %1 on %2 at %3")
                                           .arg(QString::number(bookmark.id), page, bookmark.spot.quote);
        emit self->bookmarksChanged();
        if (done)
            done(bookmark);
    });
}

std::optional<Bookmark> LearnerRecord::bookmark(qint64 id) const
{
    const auto it = std::find_if(m_bookmarks.cbegin(), m_bookmarks.cend(), [id](const Bookmark &b) { return b.id == id; });
    return it == m_bookmarks.cend() ? std::nullopt : std::optional<Bookmark>(*it);
}

void LearnerRecord::setNote(qint64 id, const QString &note)
{
    for (Bookmark &bookmark : m_bookmarks) {
        if (bookmark.id != id)
            continue;
        bookmark.note = note.trimmed();
        bookmark.changedAt = now();
        m_worker->queue(LearnerWorker::PutBookmark{bookmark});
        qCInfo(lcLearner).noquote() << QStringLiteral("note on bookmark %1: %2 characters")
                                           .arg(id)
                                           .arg(bookmark.note.size());
        emit bookmarksChanged();
        return;
    }
}

void LearnerRecord::deleteBookmark(qint64 id)
{
    const auto removed = m_bookmarks.removeIf([id](const Bookmark &b) { return b.id == id; });
    if (removed == 0)
        return;
    m_worker->queue(LearnerWorker::DeleteBookmark{id});
    qCInfo(lcLearner) << "bookmark" << id << "deleted";
    emit bookmarksChanged();
}

QString LearnerRecord::prepareBookmark(qint64 id)
{
    const std::optional<Bookmark> found = bookmark(id);
    if (!found)
        return {};
    const QString address = addressOf(found->page);
    m_pending = PendingSpot{pageKey(Navigation::pageNameOf(address).value_or(found->page)), found->spot};
    return address.startsWith(m_config.fileLocn) ? address.mid(m_config.fileLocn.size()) : found->page;
}

void LearnerRecord::openBookmark(qint64 id)
{
    if (const std::optional<Bookmark> found = bookmark(id))
        openAt(found->page, found->spot);
}

void LearnerRecord::forget()
{
    m_read.clear();
    m_bookmarks.clear();
    m_offer.reset();
    m_savedSpot.reset();
    m_pending.reset();
    m_worker->queue(LearnerWorker::Forget{});
    qCInfo(lcLearner) << "the record of this course is forgotten";
    // The marks of the page shown go too.
    if (Navigation::pageNameOf(m_web1.locationUrl()))
        m_web1.runScript(readMarksScript({}), {});
    emit bookmarksChanged();
}

bool LearnerRecord::finishWrites(int timeoutMs)
{
    return m_worker->finish(timeoutMs);
}

void LearnerRecord::recordOpened(const LearnerStore::Snapshot &snapshot, const CoursePages &pages,
                                 const LearnerStore::Opening &opening)
{
    m_open = true;
    m_read.unite(snapshot.pagesRead);
    // Bookmarks made while the record opened stay, after the ones it held.
    QList<Bookmark> made = std::exchange(m_bookmarks, snapshot.bookmarks);
    for (const Bookmark &bookmark : snapshot.bookmarks)
        m_lastBookmarkId = std::max(m_lastBookmarkId, bookmark.id);
    for (Bookmark &bookmark : made) {
        bookmark.id = ++m_lastBookmarkId;
        m_bookmarks.append(bookmark);
        m_worker->queue(LearnerWorker::PutBookmark{bookmark});
    }
    if (!pages.isEmpty())
        m_coursePages = pages;
    if (snapshot.spot && !snapshot.spot->page.isEmpty() && !isContentsPage(snapshot.spot->page))
        m_offer = snapshot.spot;
    if (!opening.movedAside.isEmpty()) {
        const QString text = QStringLiteral("Your learner record could not be read (%1). It was moved aside to %2, "
                                            "and a new record has been started.")
                                 .arg(opening.problem, opening.movedAside);
        std::fprintf(stderr, "tamberlyn: %s\n", qPrintable(text));
        emit notice(text);
    }
    if (opening.access != LearnerStore::Access::Writable)
        notSaved(opening.problem);
    emit opened();
    emit bookmarksChanged();
    drawReadMarks();
}

void LearnerRecord::notSaved(const QString &reason)
{
    if (std::exchange(m_toldNotSaving, true))
        return;
    const QString text = QStringLiteral("Your progress in this course is not being saved: %1. The course works as "
                                        "before.")
                             .arg(reason);
    std::fprintf(stderr, "tamberlyn: %s\n", qPrintable(text));
    emit notice(text);
}

void LearnerRecord::startedAfresh(const QString &movedAside, const QString &reason)
{
    const QString text =
        movedAside.isEmpty()
            ? QStringLiteral("Your learner record was damaged (%1), and it could not be moved aside.").arg(reason)
            : QStringLiteral("Your learner record was damaged (%1). It was moved aside to %2, and a new record has "
                             "been started with what this session knows.")
                  .arg(reason, movedAside);
    std::fprintf(stderr, "tamberlyn: %s\n", qPrintable(text));
    emit notice(text);
    LearnerStore::Snapshot known{m_read, m_savedSpot, m_bookmarks};
    m_worker->queue(LearnerWorker::Reseed{std::move(known)});
}

} // namespace Tamberlyn::Learner
