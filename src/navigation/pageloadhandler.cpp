#include "pageloadhandler.h"

#include "coursemap.h"
#include "mainwindowport.h"

#include "platform/browserpane.h"
#include "platform/clock.h"
#include "platform/shell.h"

#include <QLoggingCategory>

namespace Tamberlyn::Navigation {

Q_LOGGING_CATEGORY(lcHandler, "tamberlyn.navigation", QtWarningMsg)

PageLoadHandler::PageLoadHandler(Platform::BrowserPane &web1, Platform::Clock &clock, Platform::Shell &shell,
                                 MainWindowPort &window, QObject *parent)
    : QObject(parent)
    , m_web1(web1)
    , m_clock(clock)
    , m_shell(shell)
    , m_window(window)
{
    connect(&m_web1, &Platform::BrowserPane::documentComplete, this, &PageLoadHandler::Web1_DocumentComplete);
    connect(&m_web1, &Platform::BrowserPane::linkFollowed, this, [this](const QString &address) {
        m_turns.take(QStringLiteral("page link ") + pageNameOf(address).value_or(address), QStringLiteral("frmVK"));
    });
}

void PageLoadHandler::Web1_DocumentComplete()
{
    // The report's own address is not used: the pane's current top-level
    // address is what counts.
    ++m_runs;
    const QString address = m_web1.locationUrl();
    m_state.PageName = address;
    const QString upper = address.toUpper();
    const bool blank = address.isEmpty() || upper == QLatin1String("HTTP:///") || upper == QLatin1String("FILE:///");
    if (!blank) {
        if (const auto pageName = pageNameOf(address)) {
            m_mainWasUp = m_window.isWindowVisible();
            if (!m_mainWasUp)
                m_window.showWindow();
            m_state.PageName = *pageName;
            setCaption(*pageName);
            qCInfo(lcHandler).noquote() << "page" << *pageName;
            react(dispatchFor(*pageName), *pageName);
        }
    }
    m_window.fitPane();
    m_state.GoingBack = false;
}

bool PageLoadHandler::openFinderFor(const QString &address)
{
    const auto pageName = pageNameOf(address);
    if (!pageName)
        return false;
    const PageReaction reaction = dispatchFor(*pageName).reaction;
    if (reaction != PageReaction::SearchTrigger && reaction != PageReaction::IndexTrigger &&
        reaction != PageReaction::HistoryTrigger)
        return false;
    // A run like the one the page would have had: it overtakes a run still
    // pausing, and is overtaken by a command given during its own pause.
    ++m_runs;
    m_mainWasUp = m_window.isWindowVisible();
    switch (reaction) {
    case PageReaction::SearchTrigger:
        finderTrigger(Finder::Search, m_state.SearchLoaded);
        return true;
    case PageReaction::IndexTrigger:
        finderTrigger(Finder::Index, m_state.IndexLoaded);
        return true;
    case PageReaction::HistoryTrigger:
        finderTrigger(Finder::History, m_state.HistLoaded);
        return true;
    default:
        return false;
    }
}

void PageLoadHandler::setCaption(const QString &pageName)
{
    if (const auto module = moduleNumberOf(pageName)) {
        m_state.ModuleNo = static_cast<qint16>(*module);
        m_window.setCaption(QStringLiteral("Tamberlyn - Module ") + QString::number(m_state.ModuleNo));
    } else {
        m_window.setCaption(QStringLiteral("Tamberlyn"));
    }
}

void PageLoadHandler::react(const PageDispatch &dispatch, const QString &pageName)
{
    switch (dispatch.reaction) {
    case PageReaction::VideoTrigger:
    case PageReaction::SoundTrigger: {
        // The learner stays on the page the trigger was opened from.
        m_web1.goBack();
        if (const auto media = mediaAddressOf(m_window.fileLocn(), pageName)) {
            if (media->kind == MediaAddress::Kind::Video)
                m_window.playVideo(media->address);
            else
                m_window.playSound(media->address);
        }
        break;
    }
    case PageReaction::BindLinks:
        bindLinks();
        break;
    case PageReaction::ExamTrigger:
        examTrigger(pageName);
        break;
    case PageReaction::SearchTrigger:
        finderTrigger(Finder::Search, m_state.SearchLoaded);
        break;
    case PageReaction::IndexTrigger:
        finderTrigger(Finder::Index, m_state.IndexLoaded);
        break;
    case PageReaction::HistoryTrigger:
        finderTrigger(Finder::History, m_state.HistLoaded);
        break;
    case PageReaction::Contents:
    case PageReaction::Ordinary:
        bindLinks();
        record(pageName);
        break;
    case PageReaction::AlternateContents:
        alternateContents(pageName);
        break;
    case PageReaction::ModuleStub:
        OpenModulePage(dispatch.moduleLabel);
        break;
    }
}

void PageLoadHandler::bindLinks()
{
    // Three separate bindings: a missing link leaves its button as it was.
    const QStringList links = m_web1.links();
    if (links.size() > 0)
        m_state.SecnLink = links.at(0);
    if (links.size() > 1)
        m_state.PrevLink = links.at(1);
    if (links.size() > 2)
        m_state.NextLink = links.at(2);
}

void PageLoadHandler::record(const QString &pageName)
{
    m_window.appendHistory(pageName);
}

void PageLoadHandler::alternateContents(const QString &pageName)
{
    m_window.SizeClass();
    const QString contents = m_window.fileLocn() + contentsPageName(m_window.sizeClass());
    m_state.SecnLink = contents;
    m_state.PrevLink = contents;
    m_state.NextLink = contents;
    if (m_web1.links().size() > 5)
        m_web1.setLinkTarget(5, contents);
    record(pageName);
}

bool PageLoadHandler::pauseUndisturbed(const char *step)
{
    const CommandTurns::Turn turn = m_turns.latest();
    const quint64 run = m_runs;
    m_clock.waitSecond();
    if (m_turns.isLatest(turn) && m_runs == run)
        return true;
    qCInfo(lcHandler) << "a later command or page came during the pause; no" << step;
    return false;
}

void PageLoadHandler::examTrigger(const QString &pageName)
{
    const auto path = examPathOf(pageName);
    // Stepping back now would take the learner away from wherever a later
    // command has led.
    if (!pauseUndisturbed("exam"))
        return;
    if (path && !m_shell.openInBrowser(examAddress(m_window.examHost(), *path)))
        qCWarning(lcHandler) << "no web browser opened the practice exam" << *path;
    m_web1.goBack();
}

void PageLoadHandler::finderTrigger(Finder finder, bool &loaded)
{
    // The window takes the main window's place, as when its button opened
    // it: a link in the course page to the trigger page is a route too.
    // When the main window was down, another finder window has handed its
    // place to this one itself, and the main window, up only for the
    // trigger page, may have had to move where it did not fit. The state
    // is the main window's all the same: the finder window that led here
    // gave it its own, and the learner may have changed it during the pause.
    const bool fromMain = m_mainWasUp;
    if (fromMain)
        m_window.takeWindowState(finder);
    if (!pauseUndisturbed("finder window"))
        return;
    m_window.takeWindowState(finder);
    if (fromMain)
        m_window.takePosition(finder);
    if (loaded) {
        m_window.showFinder(finder);
    } else {
        loaded = true;
        m_window.showSplash();
        m_window.loadFinder(finder);
    }
    m_window.hideSplash();
}

void PageLoadHandler::OpenModulePage(const QString &label)
{
    if (m_state.GoingBack) {
        // Back steps over the stub instead of being sent forward again.
        m_web1.goBack();
        m_state.GoingBack = false;
        return;
    }
    const QString stub = m_state.PageName;
    bindLinks();
    if (const auto variant = sizedAddress(m_window.fileLocn(), label, m_window.sizeClass(), SizeFallback::NoVariant))
        m_web1.navigate(*variant);
    record(stub);
}

} // namespace Tamberlyn::Navigation
