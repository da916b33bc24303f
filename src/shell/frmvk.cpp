#include "frmvk.h"

#include "platform/qt/accessiblewindow.h"
#include "platform/qt/classicfont.h"
#include "platform/qt/commandbutton.h"
#include "platform/qt/firstexposure.h"
#include "platform/qt/windowplacement.h"
#include "platform/qt/windowstatekeeper.h"
#include "navigation/finderwindows.h"
#include "failuremessage.h"
#include "frmsplsh.h"
#include "loadfailures.h"
#include "loadwatch.h"
#include "calculator.h"
#include "helpimage.h"
#include "mainkeys.h"
#include "printcommand.h"
#include "settings.h"
#include "sizeclass.h"

#include "history/historylog.h"
#include "learner/learneraids.h"
#include "navigation/mediacontroller.h"
#include "navigation/navigationcommands.h"
#include "navigation/pageloadhandler.h"
#include "navigation/sizevariant.h"
#include "reading/lookpicker.h"
#include "reading/looks.h"
#include "reading/lookswitch.h"
#include "reading/readingaids.h"
#include "platform/browserpane.h"
#include "platform/shell.h"
#include "platform/windowsystem.h"
#include "simbridge/simulatorchannel.h"

#include <QCloseEvent>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>

#include <cstdio>
#include <cstdlib>

namespace Tamberlyn::Shell {

Q_LOGGING_CATEGORY(lcMain, "tamberlyn.main", QtInfoMsg)

namespace {

constexpr int Web1Top = 24;
constexpr int ButtonLeft = 3;
constexpr int ButtonStep = 66;
constexpr int ButtonTop = 2;
constexpr QSize ButtonSize{65, 19};
// Where a window dragged off the left edge comes back to.
constexpr QPoint RescuedPosition{100, 100};

} // namespace

FrmVK::FrmVK(PaneFactory paneFactory, Services services, QWidget *parent)
    : QWidget(parent)
    , m_paneFactory(std::move(paneFactory))
    , m_services(services)
    , m_picHelp(new QLabel(this))
    , m_timerEnd(new QTimer(this))
{
    setObjectName(QStringLiteral("frmVK"));
    setWindowTitle(QStringLiteral("   Tamberlyn"));
    // No accessible name of its own: the caption names the module shown,
    // and a fixed name would hide it.
    Platform::reportAsAccessibleWindow(staticMetaObject);
    setAccessibleDescription(QStringLiteral("The course page, with the button bar above it."));
    // The size it comes back to from maximised: the course's design area,
    // or less where that and the frame do not fit the desktop.
    resize(1280, 800);
    Platform::keepInsideWhenRestored(*this);
    Platform::keepStateWhileHidden(*this);
    createButtons();

    m_picHelp->setObjectName(QStringLiteral("picHelp"));
    m_picHelp->setGeometry(40, 48, 821, 695);
    m_picHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The picture is drawn the first time Help shows it: drawing it here
    // would load the fonts and paint text before the first page is even
    // asked for, and keep the pixmap for learners who never press Help.
    m_picHelp->setAccessibleName(QStringLiteral("Help image"));
    m_picHelp->setAccessibleDescription(
        QStringLiteral("What each button does and what the symbols in the pages mean; a click or any key hides it."));
    m_picHelp->hide();
    qApp->installEventFilter(this);

    m_timerEnd->setObjectName(QStringLiteral("TimerEnd"));
    m_timerEnd->setInterval(1000);
}

FrmVK::~FrmVK() = default;

void FrmVK::createButtons()
{
    struct Button
    {
        const char *name;
        const char *caption;
        void (Navigation::NavigationCommands::*command)();
        // What a screen reader says: the caption in words, then what the
        // button does, in the help image's terms.
        const char *spokenName;
        const char *description;
    };
    using C = Navigation::NavigationCommands;
    // Print, Calc and Help are the main window's own commands, wired below.
    static const Button buttons[] = {
        {"cmdCont", "&Contents", &C::cmdCont_Click, "Contents",
         "Shows the contents page to select a module; pressed again, the alternate contents page."},
        {"cmdPrint", "&Print", nullptr, "Print", "Prints the page shown, or the help image while it is shown."},
        {"cmdSearch", "&Search", &C::cmdSearch_Click, "Search",
         "Opens the Search window to find the pages that have a particular word."},
        {"cmdBack", "&Back", &C::cmdBack_Click, "Back", "Goes back to the last screen."},
        {"cmdPrev", "&<<", &C::cmdPrev_Click, "Previous page", "Goes to the previous page of the course."},
        {"cmdNext", "&>>", &C::cmdNext_Click, "Next page", "Goes to the next page of the course."},
        {"cmdHist", "His&tory", &C::cmdHist_Click, "History",
         "Opens the History window to go back to each page visited."},
        {"cmdCalc", "C&alc", nullptr, "Calc", "Starts the system calculator."},
        {"cmdHelp", "&Help", nullptr, "Help", "Shows or hides the help image: what each button does."},
        {"cmdSecn", "Sectio&n", &C::cmdSecn_Click, "Section", "Goes to the sections of this module."},
    };
    static const std::pair<const char *, void (FrmVK::*)()> ownCommands[] = {
        {"cmdPrint", &FrmVK::cmdPrint_Click}, {"cmdCalc", &FrmVK::cmdCalc_Click}, {"cmdHelp", &FrmVK::cmdHelp_Click}};
    QWidget *previous = nullptr;
    int index = 0;
    for (const Button &entry : buttons) {
        QPushButton *button = addButton(entry.name, QString::fromLatin1(entry.caption), index++);
        button->setAccessibleName(QString::fromLatin1(entry.spokenName));
        button->setAccessibleDescription(QString::fromLatin1(entry.description));
        if (entry.command) {
            const auto command = entry.command;
            connect(button, &QPushButton::clicked, this, [this, command] { (commands().*command)(); });
        }
        for (const auto &[name, handler] : ownCommands) {
            if (qstrcmp(name, entry.name) == 0)
                connect(button, &QPushButton::clicked, this, handler);
        }
        if (previous)
            setTabOrder(previous, button);
        previous = button;
    }
}

QPushButton *FrmVK::addButton(const char *name, const QString &caption, int index)
{
    auto *button = new Platform::CommandButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(QRect(QPoint(ButtonLeft + ButtonStep * index, ButtonTop), ButtonSize));
    button->setFont(Platform::classicSansSerif(8.25, true));
    return button;
}

Platform::BrowserPane &FrmVK::web1()
{
    if (!m_web1) {
        m_web1 = m_paneFactory(this);
        m_web1->setObjectName(QStringLiteral("Web1"));
        if (QWidget *view = m_web1->view()) {
            view->setObjectName(QStringLiteral("Web1View"));
            view->setAccessibleName(QStringLiteral("Course page"));
            view->setAccessibleDescription(QStringLiteral("The page of the course shown now."));
            view->lower(); // under the help picture and the video
        }
        // Watching before the page-load handler runs: a handler run may
        // wait, and loads begun meanwhile must not be taken for settled.
        m_loadWatch = new LoadWatch(*m_web1, this);
        m_handler = std::make_unique<Navigation::PageLoadHandler>(*m_web1, m_services.clock, m_services.shell, *this);
        m_commands = std::make_unique<Navigation::NavigationCommands>(m_handler->state(), m_handler->turns(),
                                                                      *m_web1, m_services.clock, *this);
        m_loads = new LoadFailures(*this, *m_loadWatch, *m_handler, *m_commands, m_services.settings);
        m_readingAids = new Reading::ReadingAids(*m_web1, *this, m_services.settings.zoom, [this](int percent) {
            return !m_storeZoom || m_storeZoom(percent);
        });
        connect(m_readingAids, &Reading::ReadingAids::pageAreaChanged, this, [this] { fitPane(); });
        makeLearnerAids();
        if (m_looks)
            m_looks->attach(*m_web1);
        // Once the page's own run is through (it may have shown this window).
        connect(m_web1, &Platform::BrowserPane::documentComplete, this,
                [this] { QTimer::singleShot(0, this, [this] { loadVariantDue(); }); });
        fitPane();
    }
    return *m_web1;
}

void FrmVK::enableLearnerRecord(const QString &pageListFile)
{
    m_learnerPageList = pageListFile;
    if (m_web1)
        makeLearnerAids();
}

void FrmVK::makeLearnerAids()
{
    if (m_learnerAids || !m_learnerPageList)
        return;
    // Beside the history file, in the per-user data folder: kept across
    // runs, and never deleted by the quit question.
    m_learnerAids = new Learner::LearnerAids(
        *m_web1, *this,
        {m_state.DornDir + QStringLiteral("learner.sqlite"), m_state.FileLocn, *m_learnerPageList,
         [this] { return static_cast<int>(m_state.ScreenSize); }},
        {m_services.dialogs, m_services.printing,
         [this](const QString &text) { loadFailures().learnerRecordNotice(text); }});
    connect(m_learnerAids, &Learner::LearnerAids::pageAreaChanged, this, [this] { fitPane(); });
}

Learner::LearnerAids *FrmVK::learnerAids()
{
    if (m_learnerPageList)
        web1();
    return m_learnerAids;
}

bool FrmVK::lookKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (!m_looks || !Reading::isLookKey(key, modifiers))
        return false;
    m_looks->cycle();
    return true;
}

void FrmVK::setLookSwitch(Reading::LookSwitch *looks)
{
    m_looks = looks;
    if (m_looks && m_web1)
        m_looks->attach(*m_web1);
}

LoadFailures &FrmVK::loadFailures()
{
    web1();
    return *m_loads;
}

Reading::ReadingAids &FrmVK::readingAids()
{
    web1();
    return *m_readingAids;
}

Navigation::PageLoadHandler &FrmVK::handler()
{
    web1();
    return *m_handler;
}

Navigation::NavigationCommands &FrmVK::commands()
{
    web1();
    return *m_commands;
}

void FrmVK::loadFirstPage(const QString &address)
{
    web1();
    m_loadWatch->loadFirstPage(address, m_services.settings.firstPageWait());
}

QString FrmVK::showCourseWindow()
{
    // A finder window up is the course's face now; it only comes forward.
    QWidget *shown = m_finders ? m_finders->shownWindow() : nullptr;
    if (!shown) {
        loadFailures().showMainWindow();
        shown = this;
    }
    if (shown->windowState() & Qt::WindowMinimized)
        shown->setWindowState(shown->windowState() & ~Qt::WindowMinimized);
    // Asked only when the title search found no window of the course on
    // the screen: one that thinks itself shown was taken off it by someone
    // else, and is put back.
    shown->hide();
    shown->show();
    shown->raise();
    shown->activateWindow();
    qCInfo(lcMain).noquote() << "shown for a later start:" << shown->windowTitle();
    return shown->windowTitle();
}

void FrmVK::setMediaController(Navigation::MediaController *media)
{
    m_media = media;
    if (media) {
        connect(media, &Navigation::MediaController::mediaFailed, this,
                [this](bool video, const QString &address, const QString &reason) {
                    loadFailures().mediaFailed(video ? MediaKind::Video : MediaKind::Sound, address, reason);
                });
    }
}

void FrmVK::EndVK(int exitCode)
{
    m_timerEnd->stop();
    m_services.channel.release();
    if (m_unloadPopup)
        m_unloadPopup();
    // The learner record's last writes (the visit just made, a note just
    // typed) reach the disk first, for as long as nobody would notice.
    if (m_learnerAids)
        m_learnerAids->finishWrites(1000);
    m_services.shell.endProcess(exitCode);
    std::abort(); // endProcess does not come back; this keeps the promise if it ever did
}

void FrmVK::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void FrmVK::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
    else if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void FrmVK::Form_Resize()
{
    if (windowState() == Qt::WindowNoState && frameGeometry().left() < 0)
        move(RescuedPosition);
    fitPane();

    const qint16 oldWidth = m_state.ScreenWidth;
    const qint16 oldHeight = m_state.ScreenHeight;
    const int titleBar = m_services.windows.titleBarHeight();
    // A size that does not fit the 16-bit measure keeps the previous one.
    if (width() <= 32767 && height() + titleBar <= 32767) {
        m_state.ScreenWidth = static_cast<qint16>(width());
        m_state.ScreenHeight = static_cast<qint16>(height() + titleBar);
    }
    const QSize screen = m_services.windows.screenSize();
    // A window made as big as the screen is maximised. Not while it is
    // hidden: a hidden window given the normal state by a hand-over still
    // has its maximised size until it is given its place, and would be
    // maximised again behind the learner's back.
    if (m_state.ScreenWidth == screen.width() && m_state.ScreenHeight == screen.height()
        && !(windowState() & Qt::WindowMaximized) && isVisible()) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    }
    if (windowState() & Qt::WindowMaximized) {
        m_state.ScreenWidth = static_cast<qint16>(qMin(screen.width(), 32767));
        m_state.ScreenHeight = static_cast<qint16>(qMin(screen.height(), 32767));
    }
    SizeClass();

    // Each window-manager step of one resize arrives here; a step that left
    // the measure as it was would only load the same page again and record
    // it twice.
    if (!m_web1 || (m_state.ScreenWidth == oldWidth && m_state.ScreenHeight == oldHeight))
        return;
    // Hidden, the window is only taking a finder window's placement while
    // that window is up: the page shown is then a finder window's trigger
    // page, and loading it again would open that window once more, after
    // whatever the learner chose in it. The page due then is loaded when
    // the window shows again.
    if (!isVisible()) {
        m_variantOwed = true;
        return;
    }
    const QString shown = m_web1->locationUrl();
    if (shown.isEmpty())
        return;
    m_web1->navigate(Navigation::sizeVariantAddress(shown, m_state.FileLocn, m_state.ScreenSize));
}

void FrmVK::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_variantOwed)
        return;
    m_variantOwed = false;
    // After the page-load run that showed the window.
    QTimer::singleShot(0, this, [this] { loadVariantDue(); });
}

void FrmVK::loadVariantDue()
{
    // A page made in sizes must be the one for the window's size, also when
    // it comes back from the pane's own history (Back, or Back from a finder
    // window) after the window changed size. A page with no variants of its
    // own, or already the right one, is not loaded again.
    if (!m_web1 || !isVisible())
        return;
    const QString shown = m_web1->locationUrl();
    const QString due = Navigation::sizeVariantAddress(shown, m_state.FileLocn, m_state.ScreenSize);
    // A place in the page (after "#") is no other size.
    if (!shown.isEmpty() && due != shown && due != shown.section(QLatin1Char('#'), 0, 0)) {
        qCInfo(lcMain).noquote() << "the page shown is made for another size; loading" << due;
        m_web1->navigate(due);
    }
}

void FrmVK::closeEvent(QCloseEvent *event)
{
    Form_QueryUnload(event);
}

void FrmVK::Form_QueryUnload(QCloseEvent *event)
{
    if (!m_services.shell.commandLine().isEmpty()) {
        event->accept();
        return;
    }
    // Yes ends the process inside the question; No leaves everything as it was.
    if (m_askQuit)
        m_askQuit();
    event->ignore();
}

void FrmVK::cmdPrint_Click()
{
    printFor(this, isHelpVisible());
}

void FrmVK::printFor(QWidget *owner, bool helpVisible)
{
    PrintCommand(m_services.printing, m_services.dialogs).cmdPrint_Click(owner, m_web1, helpVisible, helpImage());
}

void FrmVK::printDocument(QWidget *owner, const QString &documentName, const QString &html)
{
    PrintCommand(m_services.printing, m_services.dialogs).printDocument(owner, documentName, html);
}

void FrmVK::cmdCalc_Click()
{
    hideHelp();
    startCalculator();
}

void FrmVK::startCalculator()
{
    // No calculator installed is no error worth a word.
    if (const QString calculator = findCalculator(m_services.settings.calculator); !calculator.isEmpty())
        m_services.shell.startProgram(calculator, {});
}

void FrmVK::cmdHelp_Click()
{
    // Drawn for the sharpest screen there is, so moving the window to
    // another screen never shows a picture stretched up.
    if (m_picHelp->pixmap().isNull()) {
        m_picHelp->setPixmap(QPixmap::fromImage(helpImage(qApp->devicePixelRatio())));
        addBookmarksButtonToHelp();
    }
    m_picHelp->setVisible(!m_picHelp->isVisible());
    if (m_picHelp->isVisible())
        m_picHelp->raise();
    showLookPicker(m_picHelp->isVisible());
}

void FrmVK::showLookPicker(bool shown)
{
    // The three looks sit on the help image's line for the look key.
    if (shown && m_looks && !m_lookPicker) {
        m_lookPicker = new Reading::LookPicker(*m_looks, this);
        m_lookPicker->setGeometry(QRect(m_picHelp->pos() + HelpLookChoicePlace.topLeft(), HelpLookChoicePlace.size()));
    }
    if (!m_lookPicker)
        return;
    m_lookPicker->setVisible(shown);
    if (shown)
        m_lookPicker->raise();
}

void FrmVK::addBookmarksButtonToHelp()
{
    if (!learnerAids())
        return;
    // Under the picture, which names the key: the list is reached from Help
    // by the mouse too.
    auto *button = new Platform::CommandButton(QStringLiteral("Bookmarks and notes (Ctrl+B)"), m_picHelp);
    button->setObjectName(QStringLiteral("cmdHelpBookmarks"));
    button->setAccessibleName(QStringLiteral("Bookmarks and notes"));
    button->setAccessibleDescription(QStringLiteral("Opens the Bookmarks list: your bookmarks and notes in this course."));
    button->setGeometry(QRect(QPoint(0, HelpImageSize.height() + 6), QSize(230, 26)));
    connect(button, &QPushButton::clicked, this, [this] {
        hideHelp();
        if (Learner::LearnerAids *aids = learnerAids())
            aids->showBookmarks();
    });
    button->show();
}

void FrmVK::picHelp_Click()
{
    hideHelp();
}

bool FrmVK::isHelpVisible() const
{
    return m_picHelp->isVisible();
}

bool FrmVK::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool consumed = mainWindowKey(key, modifiers,
                         {
                             .hideHelp = [this] { hideHelp(); },
                             .askQuit = m_askQuit,
                             .previous = [this] { commands().cmdPrev_Click(); },
                             .next = [this] { commands().cmdNext_Click(); },
                             .stopMedia =
                                 [this] {
                                     if (m_media)
                                         m_media->escapePressed();
                                 },
                             .stopLoad =
                                 [this] {
                                     if (m_loads)
                                         m_loads->stopLoad();
                                 },
                         });
    if (!consumed && lookKey(key, modifiers))
        return true;
    // The reading aids' keys are none of the course's own. They wait for the
    // course: while the first page has not come there is nothing to zoom or
    // search, and a find bar opened then would stand there once it comes.
    return consumed || (readingAidsReady() && m_readingAids->Form_KeyDown(key, modifiers))
           || (readingAidsReady() && m_learnerAids && m_learnerAids->Form_KeyDown(key, modifiers));
}

bool FrmVK::readingAidsReady() const
{
    return m_readingAids && !(m_loads && m_loads->holdsCourseBack());
}

bool FrmVK::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Before an access key fires: any key hides the help image first.
        hideHelp();
        return false;
    case QEvent::KeyPress: {
        // A key the focused control ignores travels on to its parents;
        // handle it once, where it starts.
        QWidget *focus = QApplication::focusWidget();
        if (watched != focus && !(focus == nullptr && watched == this))
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        return Form_KeyDown(key->key(), key->modifiers());
    }
    case QEvent::MouseButtonPress:
        if (watched == m_picHelp)
            picHelp_Click();
        return false;
    case QEvent::Wheel:
        return readingAidsReady() && m_readingAids->wheel(*widget, *static_cast<QWheelEvent *>(event));
    default:
        return false;
    }
}

void FrmVK::Form_Activate()
{
    if (m_finders)
        m_finders->hideAll();
}

QString FrmVK::fileLocn() const
{
    return m_state.FileLocn;
}

QString FrmVK::examHost() const
{
    return m_services.settings.examHost;
}

int FrmVK::sizeClass() const
{
    return m_state.ScreenSize;
}

void FrmVK::SizeClass()
{
    m_state.ScreenSize = classify(m_state.ScreenWidth, m_state.ScreenHeight, m_state.ScreenSize);
    if (m_media)
        m_media->placeBackdrop(QSize(m_state.ScreenWidth, m_state.ScreenHeight));
}

bool FrmVK::isWindowVisible() const
{
    return isVisible();
}

void FrmVK::showWindow()
{
    if (testAttribute(Qt::WA_WState_ExplicitShowHide)) {
        show();
        return;
    }
    // The first time: the window starts maximised, and the course is on the
    // screen once the window manager has placed it.
    Platform::FirstExposure::watch(*this, [](QSize size) {
        qCInfo(lcMain).noquote() << QStringLiteral("window on screen %1x%2").arg(size.width()).arg(size.height());
    });
    showMaximized();
}

void FrmVK::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void FrmVK::fitPane()
{
    // The pane fills the client area under the button bar; a pane as tall
    // as the whole client area would hide the bottom of every page.
    const QRect paneArea(0, Web1Top, width(), qMax(0, height() - Web1Top));
    // The learner record's bar, while it shows, takes the top of that area,
    // and the find bar its foot.
    const QRect unbarred = m_learnerAids ? m_learnerAids->fitBar(paneArea) : paneArea;
    const QRect page = m_readingAids ? m_readingAids->fitFindBar(unbarred) : unbarred;
    if (m_web1 && m_web1->view())
        m_web1->view()->setGeometry(page);
    if (m_loads)
        m_loads->place(page);
}

void FrmVK::hideHelp()
{
    m_picHelp->hide();
    showLookPicker(false);
}

void FrmVK::appendHistory(const QString &pageName)
{
    const History::HistoryLog log(m_state.DornDir);
    if (QString problem; !log.AppendHistory(pageName, &problem))
        loadFailures().visitNotRecorded(log.filePath(), problem);
    if (m_learnerAids)
        m_learnerAids->pageRecorded(pageName);
}

void FrmVK::playVideo(const QString &address)
{
    if (m_media)
        m_media->playVideo(address);
    else
        qCWarning(lcMain).noquote() << "no media player to show" << address;
}

void FrmVK::playSound(const QString &address)
{
    if (m_media)
        m_media->playSound(address);
    else
        qCWarning(lcMain).noquote() << "no media player to play" << address;
}

void FrmVK::showSplash()
{
    if (!m_splash)
        m_splash = new FrmSplsh(this);
    const QRect outer = frameGeometry();
    m_splash->showAt(outer.topLeft() + QPoint(outer.width() / 3, outer.height() / 3));
}

void FrmVK::hideSplash()
{
    if (m_splash)
        m_splash->hide();
}

bool FrmVK::findersReady() const
{
    if (!m_finders)
        qCWarning(lcMain) << "the Search, Index and History windows are not part of this build";
    return m_finders != nullptr;
}

void FrmVK::showFinder(Navigation::Finder finder)
{
    if (findersReady())
        m_finders->show(finder);
}

void FrmVK::loadFinder(Navigation::Finder finder)
{
    if (findersReady())
        m_finders->load(finder);
}

void FrmVK::takeWindowState(Navigation::Finder finder)
{
    if (findersReady())
        m_finders->setWindowState(finder, windowState());
}

void FrmVK::takePosition(Navigation::Finder finder)
{
    if (findersReady() && m_finders->isNormal(finder))
        m_finders->takePlaceOf(finder, *this);
}

} // namespace Tamberlyn::Shell
