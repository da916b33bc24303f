#include "programfixture.h"

#include "../unit/common/fakeplayer.h"

#include "finders/frmhist.h"
#include "finders/frmsearch.h"
#include "navigation/mediacontroller.h"
#include "navigation/pageloadhandler.h"
#include "navigation/picavi.h"
#include "reading/findbar.h"
#include "shell/failurepanel.h"
#include "shell/loadfailures.h"
#include "shell/loadprogress.h"
#include "shell/noticebar.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Kind = Platform::LoadFailure::Kind;
using Navigation::Finder;

namespace {

const QString Base = ProgramFixture::base();
const QString FirstPage = Base + u"kqg.vxp"_s;
const QString NextPage = Base + u"kq010003.vxp"_s;
const QString PrevPage = Base + u"title.vxp"_s;

const Platform::LoadFailure Refused{Kind::Refused, -102, u"net::ERR_CONNECTION_REFUSED"_s, {}};
const Platform::LoadFailure NotFound{Kind::HttpStatus, 404, {}, {}};

// The program around a fake pane, as start-up leaves it before the first
// page: the main window hidden, measured, with an empty data folder.
struct Harness : ProgramFixture
{
    explicit Harness(const QString &timeout = {})
    {
        settings.courseHost = u"course.example"_s;
        settings.courseTimeout = timeout;
        settings.fileName = dir.filePath(u"Tamberlyn.ini"_s);
        pane->linksOf.insert(FirstPage, {FirstPage, PrevPage, NextPage});
    }

    // The course as it runs after its first page came.
    void startCourse()
    {
        frmVK.loadFirstPage(FirstPage);
        pane->deliverAll();
        events.clear();
    }

    QString historyFile() const { return dir.filePath(u"history.vxp"_s); }
    QByteArray history() const
    {
        QFile file(historyFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    Shell::FailurePanel *panel() const { return frmVK.findChild<Shell::FailurePanel *>(); }
    bool panelShown() const { return panel() && panel()->isVisibleTo(&frmVK); }
    QString label(const QString &name) const
    {
        const auto *label = frmVK.findChild<QLabel *>(name);
        return label ? label->text() : QString();
    }
    QString panelText() const { return label(u"lblWhatToCheck"_s); }
    QPushButton *button(const QString &name) const { return frmVK.findChild<QPushButton *>(name); }
    bool shows(const QString &name) const
    {
        const QPushButton *found = button(name);
        return found && found->isVisibleTo(&frmVK);
    }
    Shell::LoadProgress *progress() const { return frmVK.findChild<Shell::LoadProgress *>(); }
    // The big windows on the screen: the main window and the finder windows.
    QStringList shownWindows()
    {
        QStringList shown;
        if (frmVK.isVisible())
            shown << frmVK.windowTitle();
        for (const Finder finder : {Finder::Search, Finder::Index, Finder::History}) {
            if (const auto *window = finders.existing(finder); window && window->isVisible())
                shown << window->windowTitle();
        }
        return shown;
    }
    bool escape() { return frmVK.Form_KeyDown(Qt::Key_Escape, Qt::NoModifier); }
};

} // namespace

class TestLoadFailures final : public QObject
{
    Q_OBJECT

private slots:
    void firstPageFailureShowsTheWindowWithTheMessage();
    void retryLoadsAgainAndASuccessStartsTheCourse();
    void noPageWithinTheWaitIsReportedAndALatePageStillStarts();
    void firstPageOnItsWayShowsTheWindowAndEscStopsIt();
    void enterPressesRetryUnlessQuitHasTheFocus();
    void quitEndsWithoutTouchingTheHistory();
    void laterFailureShowsTheMessageAndTheWaysOn();
    void failedTriggerPagesStillOpenTheirWindows();
    void choiceInAFinderWindowThatFailsLandsInTheMainWindow();
    void slowLoadShowsItsSignAndEscStopsIt();
    void slowChoiceInAFinderWindowBringsTheMainWindow();
    void mediaThatWillNotPlayIsToldOf();
    void visitsThatCannotBeRecordedAreToldOnce();
    void laterStartFindsTheWindowUp();
};

void TestLoadFailures::firstPageFailureShowsTheWindowWithTheMessage()
{
    Harness h;
    h.frmVK.loadFirstPage(FirstPage);
    QCOMPARE(h.events, QStringList{u"navigate "_s + FirstPage});
    QVERIFY(!h.frmVK.isVisible());

    h.pane->failAll(Refused);
    QVERIFY(h.frmVK.isVisible());
    QVERIFY(h.frmVK.windowState() & Qt::WindowMaximized);
    // Titled so that a second start finds it and hands over.
    QCOMPARE(h.frmVK.windowTitle(), u"Tamberlyn"_s);
    QVERIFY(h.panelShown());
    // In the page's place, under the button bar.
    QCOMPARE(h.panel()->geometry(), QRect(0, 24, h.frmVK.width(), h.frmVK.height() - 24));
    QCOMPARE(h.label(u"lblFailure"_s), u"The course could not be loaded"_s);
    QCOMPARE(h.panel()->accessibleName(), u"The course could not be loaded"_s);
    QVERIFY2(h.panelText().contains(FirstPage), qPrintable(h.panelText()));
    QVERIFY(h.panelText().contains(u"Is the course server running?"_s));
    QVERIFY(h.panelText().contains(h.settings.fileName));
    QCOMPARE(h.frmVK.focusWidget(), h.button(u"cmdRetry"_s));
    QVERIFY(h.shows(u"cmdRetry"_s) && h.shows(u"cmdQuit"_s));
    QVERIFY(!h.shows(u"cmdFailureBack"_s) && !h.shows(u"cmdFailureContents"_s));
    // Nothing to act on: the bar is held back, and nothing was recorded.
    QVERIFY(!h.button(u"cmdNext"_s)->isEnabled());
    QVERIFY(!h.button(u"cmdCont"_s)->isEnabled());
    QVERIFY(!QFile::exists(h.historyFile()));
    // The reading aids wait for the course: no zoom of a page not there, no
    // find bar left standing for when it comes.
    h.events.clear();
    QVERIFY(!h.frmVK.Form_KeyDown(Qt::Key_Plus, Qt::ControlModifier));
    QVERIFY(!h.frmVK.Form_KeyDown(Qt::Key_F, Qt::ControlModifier));
    QVERIFY(h.events.isEmpty());
    QVERIFY(!h.frmVK.findChild<Reading::FindBar *>()->isVisibleTo(&h.frmVK));

    // A second failure while it shows only changes the words.
    h.pane->failAll(NotFound);
    QVERIFY(h.panelText().contains(u"404 Not Found"_s));
    QCOMPARE(h.frmVK.findChildren<Shell::FailurePanel *>().size(), 1);
}

void TestLoadFailures::retryLoadsAgainAndASuccessStartsTheCourse()
{
    Harness h;
    h.frmVK.loadFirstPage(FirstPage);
    h.pane->failAll(Refused);
    h.events.clear();

    h.button(u"cmdRetry"_s)->click();
    QCOMPARE(h.events, QStringList{u"navigate "_s + FirstPage});
    QCOMPARE(h.label(u"lblStatus"_s), u"Loading the page again..."_s);
    // A load the retry replaced says nothing about the server.
    emit h.pane->loadFailed(FirstPage, {Kind::Aborted, -3, u"net::ERR_ABORTED"_s, {}});
    QVERIFY(h.label(u"lblStatus"_s).startsWith(u"Loading"_s));

    h.pane->deliverAll();
    // The course goes on as after any start: the page handled and recorded
    // once, the buttons bound and given back, the message gone.
    QCOMPARE(h.frmVK.windowTitle(), u"Tamberlyn"_s);
    QCOMPARE(h.history(), QByteArray("\"kqg.vxp\"\r\n"));
    // Given back at once, before the event loop turns: a click right
    // after the page shows must count.
    QVERIFY(h.button(u"cmdNext"_s)->isEnabled());
    QVERIFY(!h.panelShown());
    h.events.clear();
    h.button(u"cmdNext"_s)->click();
    QCOMPARE(h.events, QStringList{u"navigate "_s + NextPage});
}

void TestLoadFailures::noPageWithinTheWaitIsReportedAndALatePageStillStarts()
{
    Harness h(u"1"_s);
    QElapsedTimer clock;
    clock.start();
    h.frmVK.loadFirstPage(FirstPage);
    QTRY_VERIFY_WITH_TIMEOUT(h.panelShown() && h.panelText().contains(u"within"_s), 10000);
    QVERIFY(clock.elapsed() >= 900);
    QVERIFY2(h.panelText().contains(u"within 1 second for "_s + FirstPage), qPrintable(h.panelText()));
    // The load was left running; nothing new was asked of the pane.
    QCOMPARE(h.events, QStringList{u"navigate "_s + FirstPage});

    // The engine gives up later with its own reason: the words follow it.
    h.pane->failAll({Kind::TimedOut, -7, u"net::ERR_TIMED_OUT"_s, {}});
    QVERIFY(h.panelText().contains(u"did not answer in time (net::ERR_TIMED_OUT)"_s));

    // Retried, and the page comes after the wait: the course starts.
    h.button(u"cmdRetry"_s)->click();
    QTRY_VERIFY_WITH_TIMEOUT(h.panelText().contains(u"within 1 second"_s), 10000);
    h.pane->deliverAll();
    QVERIFY(!h.panelShown());
    QCOMPARE(h.history(), QByteArray("\"kqg.vxp\"\r\n"));
}

void TestLoadFailures::firstPageOnItsWayShowsTheWindowAndEscStopsIt()
{
    Harness h;
    QElapsedTimer clock;
    clock.start();
    h.frmVK.loadFirstPage(FirstPage);
    // Before, nothing was on the screen until the page came, however long
    // that took. Now the window comes after about a second, saying so.
    QTRY_VERIFY_WITH_TIMEOUT(h.frmVK.isVisible(), 5000);
    QVERIFY(clock.elapsed() >= 900);
    QVERIFY(h.panelShown());
    QCOMPARE(h.label(u"lblFailure"_s), u"Loading the course from course.example\u2026"_s);
    QVERIFY(h.panelText().contains(FirstPage));
    QCOMPARE(h.frmVK.windowTitle(), u"Tamberlyn"_s);
    QVERIFY(h.shows(u"cmdQuit"_s) && !h.shows(u"cmdRetry"_s));
    QVERIFY(!h.button(u"cmdNext"_s)->isEnabled());
    emit h.pane->loadProgress(30);
    QCOMPARE(h.panel()->findChild<QProgressBar *>()->value(), 30);

    // Esc stops it; the message then says so, and Retry loads it again.
    h.events.clear();
    QVERIFY(!h.escape());
    QCOMPARE(h.events, QStringList{u"stop"_s});
    h.pane->stopped();
    QCOMPARE(h.label(u"lblFailure"_s), u"The course could not be loaded"_s);
    QVERIFY2(h.panelText().contains(u"was stopped before the page came"_s), qPrintable(h.panelText()));
    QVERIFY(h.shows(u"cmdRetry"_s));
    h.events.clear();
    h.button(u"cmdRetry"_s)->click();
    QCOMPARE(h.events, QStringList{u"navigate "_s + FirstPage});
    h.pane->deliverAll();
    QVERIFY(!h.panelShown());
    QVERIFY(h.button(u"cmdNext"_s)->isEnabled());
    // Esc with nothing loading stops nothing.
    h.events.clear();
    h.escape();
    QVERIFY(!h.events.contains(u"stop"_s));
}

void TestLoadFailures::enterPressesRetryUnlessQuitHasTheFocus()
{
    Harness h;
    h.frmVK.loadFirstPage(FirstPage);
    h.pane->failAll(Refused);
    h.events.clear();

    // Enter where no button takes it presses Retry, the default.
    QTest::keyClick(h.frmVK.findChild<QLabel *>(u"lblWhatToCheck"_s), Qt::Key_Return);
    QCOMPARE(h.events, QStringList{u"navigate "_s + FirstPage});
    h.pane->failAll(Refused);
    h.events.clear();
    QTest::keyClick(h.button(u"cmdRetry"_s), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(h.events, QStringList{u"navigate "_s + FirstPage});
    h.pane->failAll(Refused);

    // The buttons say what they do.
    QCOMPARE(h.button(u"cmdRetry"_s)->accessibleName(), u"Retry"_s);
    QCOMPARE(h.button(u"cmdQuit"_s)->accessibleName(), u"Quit"_s);
    QCOMPARE(h.button(u"cmdRetry"_s)->text(), u"&Retry"_s);
    QCOMPARE(h.button(u"cmdQuit"_s)->text(), u"&Quit"_s);
    // Tab goes from Retry to Quit, past the hidden ones, and on to the
    // message, where a screen reader reads what failed.
    h.button(u"cmdRetry"_s)->setFocus();
    QTest::keyClick(h.button(u"cmdRetry"_s), Qt::Key_Tab);
    QCOMPARE(h.frmVK.focusWidget(), h.button(u"cmdQuit"_s));
    const auto *message = h.frmVK.findChild<QLabel *>(u"lblWhatToCheck"_s);
    QTest::keyClick(h.button(u"cmdQuit"_s), Qt::Key_Tab);
    QCOMPARE(h.frmVK.focusWidget(), message);

    h.events.clear();
    QVERIFY_THROWS_EXCEPTION(Fakes::ProcessEnded, QTest::keyClick(h.button(u"cmdQuit"_s), Qt::Key_Return));
    QVERIFY(h.events.contains(u"release blocks"_s));
    QVERIFY(!h.events.contains(u"navigate "_s + FirstPage));
}

void TestLoadFailures::quitEndsWithoutTouchingTheHistory()
{
    Harness h;
    // Left by an earlier run that ended without the quit question.
    const QByteArray earlier("\"kqd.vxp\"\r\n\"kq010003.vxp\"\r\n");
    {
        QFile file(h.historyFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(earlier);
    }
    h.frmVK.loadFirstPage(FirstPage);
    h.pane->failAll({Kind::Certificate, -202, {}, {}});
    h.events.clear();
    QVERIFY_THROWS_EXCEPTION(Fakes::ProcessEnded, h.button(u"cmdQuit"_s)->click());
    QCOMPARE(h.events, QStringList{u"release blocks"_s});
    QCOMPARE(h.history(), earlier);
}

// Before, a page that failed later showed the engine's own error page or a
// bare "404 Not Found", and the buttons led nowhere new.
void TestLoadFailures::laterFailureShowsTheMessageAndTheWaysOn()
{
    Harness h;
    h.startCourse();
    h.button(u"cmdNext"_s)->click();
    h.pane->failAll(NotFound);

    QVERIFY(h.panelShown());
    QCOMPARE(h.label(u"lblFailure"_s), u"This page could not be loaded"_s);
    QVERIFY2(h.panelText().contains(u"404 Not Found for "_s + NextPage), qPrintable(h.panelText()));
    QVERIFY(h.panelText().contains(u"This page is missing from the course on the server"_s));
    QVERIFY(h.shows(u"cmdRetry"_s) && h.shows(u"cmdFailureBack"_s) && h.shows(u"cmdFailureContents"_s));
    QVERIFY(!h.shows(u"cmdQuit"_s));
    QCOMPARE(h.frmVK.focusWidget(), h.button(u"cmdRetry"_s));
    // The bar stays in use, and the failed page was not recorded.
    QVERIFY(h.button(u"cmdNext"_s)->isEnabled());
    QCOMPARE(h.history(), QByteArray("\"kqg.vxp\"\r\n"));
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn"_s});

    // Prev, Next and Section keep the links of the page that came last.
    const struct
    {
        const char *button;
        QString loads;
    } ways[] = {
        {"cmdRetry", u"navigate "_s + NextPage},
        {"cmdNext", u"navigate "_s + NextPage},
        {"cmdPrev", u"navigate "_s + PrevPage},
        {"cmdSecn", u"navigate "_s + FirstPage},
        {"cmdFailureContents", u"navigate "_s + FirstPage},
        {"cmdFailureBack", u"back"_s},
    };
    for (const auto &way : ways) {
        h.events.clear();
        h.button(QLatin1String(way.button))->click();
        QVERIFY2(h.events.value(0) == way.loads, way.button);
        // Each new failure replaces the words; the panel stays.
        h.pane->failAll(Refused);
        QVERIFY(h.panelShown());
        QVERIFY(h.panelText().contains(u"Nothing accepted a connection"_s));
    }
    // Back from the message is the bar's Back: a module stub reached so is
    // stepped over.
    QVERIFY(h.frmVK.handler().state().GoingBack);

    // A page that comes takes the message away.
    h.button(u"cmdNext"_s)->click();
    h.pane->linksOf.insert(NextPage, {FirstPage, FirstPage, Base + u"kq010004.vxp"_s});
    h.pane->deliverAll();
    QVERIFY(!h.panelShown());
    QCOMPARE(h.frmVK.handler().state().NextLink, Base + u"kq010004.vxp"_s);
}

void TestLoadFailures::failedTriggerPagesStillOpenTheirWindows()
{
    Harness h;
    h.startCourse();
    // Search on the bar: its trigger page cannot be fetched, and the window
    // opens all the same, the first time behind the splash.
    h.button(u"cmdSearch"_s)->click();
    QVERIFY(h.events.contains(u"navigate "_s + Base + u"search.vxp"_s));
    h.pane->failAll(Refused);
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn - Search"_s});
    QVERIFY(h.frmVK.handler().state().SearchLoaded);
    QVERIFY(!h.panelShown());

    // From there to the History window and the Index window, both failing.
    h.finders.frmSearch().cmdHist_Click();
    h.pane->failAll(Refused);
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn - History"_s});
    h.finders.frmHist().cmdSearch_Click();
    h.pane->failAll(NotFound);
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn - Search"_s});
    h.finders.frmSearch().cmdIndex_Click();
    h.pane->failAll(Refused);
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn - Index"_s});
    QVERIFY(!h.history().contains("vxp\"\r\n\"")); // only the first page
}

// Before, a page chosen in a finder window that failed left no window at
// all on the screen.
void TestLoadFailures::choiceInAFinderWindowThatFailsLandsInTheMainWindow()
{
    Harness h;
    h.startCourse();
    h.button(u"cmdHist"_s)->click();
    h.pane->deliverAll();
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn - History"_s});

    h.finders.frmHist().OpenInMain(u"kq010003.vxp"_s);
    QCOMPARE(h.shownWindows(), QStringList{});
    h.pane->failAll(Refused);
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn"_s});
    QVERIFY(h.panelShown());
    QVERIFY(h.panelText().contains(NextPage));

    // The finder window's Contents too.
    h.button(u"cmdHist"_s)->click();
    h.pane->deliverAll();
    h.finders.frmHist().cmdCont_Click();
    h.pane->failAll(Refused);
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn"_s});
    QVERIFY(h.panelText().contains(FirstPage));
}

void TestLoadFailures::slowLoadShowsItsSignAndEscStopsIt()
{
    Harness h;
    h.startCourse();
    QElapsedTimer clock;
    clock.start();
    h.button(u"cmdNext"_s)->click();
    QVERIFY(!h.progress()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(h.progress()->isVisible(), 5000);
    QVERIFY(clock.elapsed() >= 400);
    QCOMPARE(h.progress()->text(), u"Loading kq010003.vxp from course.example\u2026 Esc stops it."_s);
    // Along the foot of the page.
    QCOMPARE(h.progress()->geometry().bottom(), h.frmVK.height() - 1);
    emit h.pane->loadProgress(40);
    QCOMPARE(h.progress()->findChild<QProgressBar *>()->value(), 40);
    QCOMPARE(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor,
             Qt::BusyCursor);

    h.events.clear();
    QVERIFY(!h.escape());
    QCOMPARE(h.events, QStringList{u"stop"_s});
    h.pane->stopped();
    // The page before stays, with its links; no message.
    QVERIFY(!h.progress()->isVisible());
    QVERIFY(!h.panelShown());
    QCOMPARE(h.pane->locationUrl(), FirstPage);
    QVERIFY(!QApplication::overrideCursor());
    h.events.clear();
    h.button(u"cmdNext"_s)->click();
    QCOMPARE(h.events, QStringList{u"navigate "_s + NextPage});
    h.pane->deliverAll();
    QVERIFY(!h.progress()->isVisible());
}

void TestLoadFailures::slowChoiceInAFinderWindowBringsTheMainWindow()
{
    Harness h;
    h.startCourse();
    h.button(u"cmdHist"_s)->click();
    h.pane->deliverAll();
    h.finders.frmHist().OpenInMain(u"kq010003.vxp"_s);
    QCOMPARE(h.shownWindows(), QStringList{});
    // About a second with nothing on the screen brings the main window,
    // with the sign of the load under way.
    QTRY_COMPARE_WITH_TIMEOUT(h.shownWindows(), QStringList{u"Tamberlyn"_s}, 5000);
    QVERIFY(h.progress()->isVisible());
    QVERIFY(!h.panelShown());
    h.pane->deliverAll();
    QVERIFY(!h.progress()->isVisible());
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn - Module 1"_s});
}

void TestLoadFailures::mediaThatWillNotPlayIsToldOf()
{
    Harness h;
    QStringList playerEvents;
    auto *backdrop = new Navigation::PicAvi(&h.frmVK);
    FakePlayer player(playerEvents, &h.frmVK);
    Navigation::MediaController media(player, *backdrop, h.clock, [] { return QSize(1920, 1080); });
    h.frmVK.setMediaController(&media);
    h.startCourse();

    media.playSound(Base + u"c01/v0101.wav"_s);
    emit player.failed(u"the server answered 404 Not Found"_s);
    const Shell::NoticeBar *notice = h.frmVK.loadFailures().notice();
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), u"The sound c01/v0101.wav could not be played: the server answered 404 Not Found."_s);
    // At the head of the page, and the page goes on.
    QCOMPARE(notice->geometry().top(), 24);
    QVERIFY(h.button(u"cmdNext"_s)->isEnabled());
    QCOMPARE(h.frmVK.focusWidget() == notice->findChild<QPushButton *>(), false);
    notice->findChild<QPushButton *>(u"cmdCloseNotice"_s)->click();
    QVERIFY(!notice->isVisible());
    h.frmVK.setMediaController(nullptr);
}

void TestLoadFailures::visitsThatCannotBeRecordedAreToldOnce()
{
    Harness h;
    // A history file that cannot be opened for writing, whoever runs this.
    QVERIFY(QDir(h.dir.path()).mkdir(u"history.vxp"_s));
    h.frmVK.loadFirstPage(FirstPage);
    h.pane->deliverAll();
    const Shell::NoticeBar *notice = h.frmVK.loadFailures().historyNotice();
    QVERIFY(notice->isVisible());
    QVERIFY2(notice->text().contains(h.historyFile() + u" cannot be written (Is a directory)"_s),
             qPrintable(notice->text()));
    notice->findChild<QPushButton *>(u"cmdCloseNotice"_s)->click();

    // The course goes on, and says it only once.
    h.button(u"cmdNext"_s)->click();
    h.pane->linksOf.insert(NextPage, {FirstPage, FirstPage, FirstPage});
    h.pane->deliverAll();
    QCOMPARE(h.frmVK.handler().state().PageName, u"kq010003.vxp"_s);
    QVERIFY(!notice->isVisible());
}

// The course's answer on the instance lock's channel: the one big window
// that should be up comes up.
void TestLoadFailures::laterStartFindsTheWindowUp()
{
    Harness h;
    h.startCourse();
    h.frmVK.hide(); // as a failed choice in a finder window used to leave it
    QCOMPARE(h.frmVK.showCourseWindow(), u"Tamberlyn"_s);
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn"_s});

    h.button(u"cmdSearch"_s)->click();
    h.pane->deliverAll();
    QCOMPARE(h.frmVK.showCourseWindow(), u"Tamberlyn - Search"_s);
    QCOMPARE(h.shownWindows(), QStringList{u"Tamberlyn - Search"_s});
}

QTEST_MAIN(TestLoadFailures)
#include "tst_loadfailures.moc"
