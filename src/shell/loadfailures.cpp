#include "loadfailures.h"

#include "failurepanel.h"
#include "frmvk.h"
#include "loadprogress.h"
#include "loadwatch.h"
#include "noticebar.h"
#include "settings.h"

#include "navigation/coursemap.h"
#include "navigation/finderwindows.h"
#include "navigation/navigationcommands.h"
#include "navigation/pageloadhandler.h"
#include "platform/browserpane.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QUrl>

#include <cstdio>

namespace Tamberlyn::Shell {

Q_LOGGING_CATEGORY(lcLoads, "tamberlyn.main", QtInfoMsg)

namespace {

// "kq010004.vxp from 127.0.0.1:8443": what and from where, short.
QString loadingWhat(const QString &address)
{
    const QUrl url(address);
    const QString name = Navigation::pageNameOf(address).value_or(address);
    return url.authority().isEmpty() ? name : QStringLiteral("%1 from %2").arg(name, url.authority());
}

} // namespace

LoadFailures::LoadFailures(FrmVK &window, LoadWatch &watch, Navigation::PageLoadHandler &handler,
                           Navigation::NavigationCommands &commands, const Settings &settings)
    : QObject(&window)
    , m_window(window)
    , m_watch(watch)
    , m_handler(handler)
    , m_commands(commands)
    , m_settings(settings)
    , m_progress(new LoadProgress(&window))
    , m_mediaNotice(new NoticeBar(&window))
    , m_historyNotice(new NoticeBar(&window))
{
    m_mediaNotice->setObjectName(QStringLiteral("MediaNotice"));
    m_historyNotice->setObjectName(QStringLiteral("HistoryNotice"));
    connect(&m_watch, &LoadWatch::slow, this, &LoadFailures::onSlow);
    connect(&m_watch, &LoadWatch::overdue, this, &LoadFailures::onOverdue);
    connect(&m_watch, &LoadWatch::progress, this, &LoadFailures::onProgress);
    connect(&m_watch, &LoadWatch::failed, this, &LoadFailures::onFailed);
    connect(&m_watch, &LoadWatch::stopped, this, &LoadFailures::onStopped);
    connect(&m_watch, &LoadWatch::loaded, this, &LoadFailures::onLoaded);
}

LoadFailures::~LoadFailures()
{
    busy(false);
}

FailurePanel &LoadFailures::ensurePanel()
{
    if (m_panel)
        return *m_panel;
    m_panel = new FailurePanel(&m_window);
    m_panel->setGeometry(m_pageArea);
    connect(m_panel, &FailurePanel::retryRequested, this, [this] {
        qCInfo(lcLoads) << (m_watch.awaitingFirstPage() ? "loading the first page again" : "loading the page again");
        m_panel->setStatus(QStringLiteral("Loading the page again..."));
        m_watch.retry();
    });
    connect(m_panel, &FailurePanel::backRequested, this, [this] { m_commands.cmdBack_Click(); });
    connect(m_panel, &FailurePanel::contentsRequested, this, [this] {
        m_window.web1().navigate(m_window.fileLocn() + Navigation::contentsPageName(m_window.sizeClass()));
    });
    // Nothing was recorded by a course that never came, and a quit from
    // here asks nothing: the history file is left as it is.
    connect(m_panel, &FailurePanel::quitRequested, &m_window, [this] { m_window.EndVK(); });
    return *m_panel;
}

bool LoadFailures::panelShown() const
{
    return m_panel && m_panel->isVisibleTo(&m_window);
}

bool LoadFailures::stopLoad()
{
    return m_watch.stop();
}

bool LoadFailures::holdsCourseBack() const
{
    return m_watch.awaitingFirstPage();
}

void LoadFailures::place(const QRect &pageArea)
{
    m_pageArea = pageArea;
    if (m_panel)
        m_panel->setGeometry(pageArea);
    m_progress->place(pageArea);
    placeNotices();
}

void LoadFailures::placeNotices()
{
    // The lasting notice on top, the passing one under it.
    m_historyNotice->place(m_pageArea);
    QRect below = m_pageArea;
    if (m_historyNotice->isVisibleTo(&m_window))
        below.setTop(m_historyNotice->geometry().bottom() + 1);
    m_mediaNotice->place(below);
}

bool LoadFailures::anyWindowShown() const
{
    const Navigation::FinderWindows *finders = m_window.finderWindows();
    return m_window.isWindowVisible() || (finders && finders->shownWindow());
}

void LoadFailures::showWindowAlone()
{
    if (!m_window.isWindowVisible())
        m_window.showWindow();
    // Activation hides them too, when the window system reports it; it may
    // be late, or never come without a window manager.
    if (Navigation::FinderWindows *finders = m_window.finderWindows())
        finders->hideAll();
}

void LoadFailures::showMainWindow()
{
    if (holdsCourseBack() && !panelShown())
        showFirstPageLoading(m_watch.loadingAddress());
    showWindowAlone();
}

void LoadFailures::showFirstPageLoading(const QString &address)
{
    // The caption a course page would give it: a second start finds the
    // course window by a title that begins with the product's name.
    m_window.setCaption(QStringLiteral("Tamberlyn"));
    ensurePanel().showLoading(loadingCourseHeading(m_settings),
                              QStringLiteral("Waiting for %1.\n\nEsc stops loading; Quit ends the viewer.")
                                  .arg(address));
}

void LoadFailures::busy(bool on)
{
    // The pointer says so over every window of the viewer, the finder
    // windows included.
    if (on == m_busy)
        return;
    m_busy = on;
    if (on)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void LoadFailures::onSlow(const QString &address)
{
    busy(true);
    qCInfo(lcLoads).noquote() << "slow load:" << address;
    if (panelShown()) {
        m_panel->setStatus(QStringLiteral("Loading %1\u2026 (Esc stops)").arg(loadingWhat(address)));
        m_panel->setProgress(0);
        return;
    }
    // Before the first page the window waits for the page, or for a second.
    if (holdsCourseBack())
        return;
    m_progress->showLoading(QStringLiteral("Loading %1\u2026 Esc stops it.").arg(loadingWhat(address)));
}

void LoadFailures::onOverdue(const QString &address)
{
    if (anyWindowShown())
        return;
    // A choice in a finder window hides it; the main window comes back when
    // the page has come. On a slow link that leaves nothing on the screen.
    if (holdsCourseBack())
        showFirstPageLoading(address);
    qCInfo(lcLoads).noquote() << "window shown while loading:" << address;
    showWindowAlone();
}

void LoadFailures::onProgress(int percent)
{
    if (panelShown())
        m_panel->setProgress(percent);
    m_progress->setProgress(percent);
}

void LoadFailures::onFailed(const QString &address, const Platform::LoadFailure &failure, bool firstPage)
{
    busy(false);
    m_progress->hide();
    // The window the learner asked for opens all the same: the viewer knows
    // which trigger page it loaded.
    if (!firstPage && m_handler.openFinderFor(address)) {
        qCInfo(lcLoads).noquote() << "finder window opened without its trigger page:" << address;
        return;
    }
    const FailureMessage message =
        failureMessage(failure, address, m_settings, firstPage ? FailedPage::First : FailedPage::Later);
    std::fprintf(stderr, "%s\n", qPrintable(message.logLine));
    if (firstPage)
        m_window.setCaption(QStringLiteral("Tamberlyn"));
    ensurePanel().showMessage(message, firstPage ? FailurePanel::Ways::FirstPage : FailurePanel::Ways::LaterPage);
    showWindowAlone();
    // The panel has the focus; the window it sits in must have it too.
    m_window.activateWindow();
    qCInfo(lcLoads).noquote() << (firstPage ? "first page failure shown:" : "load failure shown:") << address;
}

void LoadFailures::onStopped(const QString &address, bool firstPage)
{
    busy(false);
    m_progress->hide();
    if (firstPage) {
        onFailed(address, {Platform::LoadFailure::Kind::Aborted, -3, QStringLiteral("stopped"), {}}, true);
        return;
    }
    qCInfo(lcLoads).noquote() << "load stopped:" << address;
    if (panelShown()) {
        m_panel->setStatus(QString());
        m_panel->setProgress(-1);
    }
    if (!anyWindowShown())
        showWindowAlone();
}

void LoadFailures::onLoaded(bool firstPage)
{
    Q_UNUSED(firstPage)
    busy(false);
    m_progress->hide();
    m_mediaNotice->pageCame();
    if (m_panel)
        m_panel->dismiss();
}

void LoadFailures::mediaFailed(MediaKind kind, const QString &address, const QString &reason)
{
    const QString text = mediaFailureNotice(kind, address, reason);
    std::fprintf(stderr, "tamberlyn: %s\n", qPrintable(text));
    m_mediaNotice->showNotice(text, NoticeBar::Lasts::UntilNextPage);
    placeNotices();
    qCInfo(lcLoads).noquote() << "media failure shown:" << address;
}

void LoadFailures::visitNotRecorded(const QString &historyFile, const QString &reason)
{
    if (m_historyTold)
        return;
    m_historyTold = true;
    const QString text = historyNotSavedNotice(historyFile, reason);
    std::fprintf(stderr, "tamberlyn: %s\n", qPrintable(text));
    m_historyNotice->showNotice(text, NoticeBar::Lasts::UntilClosed);
    placeNotices();
    qCInfo(lcLoads).noquote() << "history failure shown:" << historyFile;
}

} // namespace Tamberlyn::Shell
