#include "programfixture.h"

#include "reading/findbar.h"
#include "shell/firstpagepanel.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Kind = Platform::LoadFailure::Kind;

namespace {

const QString Base = ProgramFixture::base();
const QString FirstPage = Base + u"kqg.vxp"_s;

// The program around a fake pane, as start-up leaves it before the first
// page: the main window hidden, measured, with an empty data folder.
struct Harness : ProgramFixture
{
    explicit Harness(const QString &timeout = {})
    {
        settings.courseHost = u"course.example"_s;
        settings.courseTimeout = timeout;
        settings.fileName = dir.filePath(u"Tamberlyn.ini"_s);
    }

    QString historyFile() const { return dir.filePath(u"history.vxp"_s); }
    QByteArray history() const
    {
        QFile file(historyFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    Shell::FirstPagePanel *panel() const { return frmVK.findChild<Shell::FirstPagePanel *>(); }
    QString panelText() const
    {
        const auto *text = frmVK.findChild<QLabel *>(u"lblWhatToCheck"_s);
        return text ? text->text() : QString();
    }
    QPushButton *button(const QString &name) const { return frmVK.findChild<QPushButton *>(name); }
    bool panelGone() const
    {
        // The panel goes with the next deferred deletion.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return panel() == nullptr;
    }
};

} // namespace

class TestFirstPage final : public QObject
{
    Q_OBJECT

private slots:
    void failureShowsTheWindowWithTheMessage();
    void retryLoadsAgainAndASuccessStartsTheCourse();
    void noPageWithinTheWaitIsReportedAndALatePageStillStarts();
    void laterFailuresLeaveThePaneAlone();
    void enterPressesRetryUnlessQuitHasTheFocus();
    void quitEndsWithoutTouchingTheHistory();
};

void TestFirstPage::failureShowsTheWindowWithTheMessage()
{
    Harness h;
    h.frmVK.loadFirstPage(FirstPage);
    QCOMPARE(h.events, QStringList{u"navigate "_s + FirstPage});
    QVERIFY(!h.frmVK.isVisible());

    h.pane->failAll({Kind::Refused, -102, u"net::ERR_CONNECTION_REFUSED"_s, {}});
    QVERIFY(h.frmVK.isVisible());
    QVERIFY(h.frmVK.windowState() & Qt::WindowMaximized);
    // Titled so that a second start finds it and hands over.
    QCOMPARE(h.frmVK.windowTitle(), u"Tamberlyn"_s);
    QVERIFY(h.panel() && h.panel()->isVisible());
    // In the page's place, under the button bar.
    QCOMPARE(h.panel()->geometry(), QRect(0, 24, h.frmVK.width(), h.frmVK.height() - 24));
    QVERIFY2(h.panelText().contains(FirstPage), qPrintable(h.panelText()));
    QVERIFY(h.panelText().contains(u"Is the course server running?"_s));
    QVERIFY(h.panelText().contains(h.settings.fileName));
    QCOMPARE(h.frmVK.focusWidget(), h.button(u"cmdRetry"_s));
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
    h.pane->failAll({Kind::HttpStatus, 404, {}, {}});
    QVERIFY(h.panelText().contains(u"404 Not Found"_s));
    QCOMPARE(h.frmVK.findChildren<Shell::FirstPagePanel *>().size(), 1);
}

void TestFirstPage::retryLoadsAgainAndASuccessStartsTheCourse()
{
    Harness h;
    h.frmVK.loadFirstPage(FirstPage);
    h.pane->failAll({Kind::Refused, -102, {}, {}});
    h.events.clear();

    h.button(u"cmdRetry"_s)->click();
    QCOMPARE(h.events, QStringList{u"navigate "_s + FirstPage});
    QCOMPARE(h.frmVK.findChild<QLabel *>(u"lblStatus"_s)->text(), u"Loading the page again..."_s);
    // A load the retry replaced says nothing about the server.
    emit h.pane->loadFailed(FirstPage, {Kind::Aborted, -3, u"net::ERR_ABORTED"_s, {}});
    QVERIFY(h.frmVK.findChild<QLabel *>(u"lblStatus"_s)->text().startsWith(u"Loading"_s));

    h.pane->linksOf.insert(FirstPage, {Base + u"kqg.vxp"_s, Base + u"kqg.vxp"_s, Base + u"mod01g.vxp"_s});
    h.pane->deliverAll();
    // The course goes on as after any start: the page handled and recorded
    // once, the buttons bound and given back, the message gone.
    QCOMPARE(h.frmVK.windowTitle(), u"Tamberlyn"_s);
    QCOMPARE(h.history(), QByteArray("\"kqg.vxp\"\r\n"));
    // Given back at once, before the event loop turns: a click right
    // after the page shows must count.
    QVERIFY(h.button(u"cmdNext"_s)->isEnabled());
    QVERIFY(h.panelGone());
    h.events.clear();
    h.button(u"cmdNext"_s)->click();
    QCOMPARE(h.events, QStringList{u"navigate "_s + Base + u"mod01g.vxp"_s});
}

void TestFirstPage::noPageWithinTheWaitIsReportedAndALatePageStillStarts()
{
    Harness h(u"1"_s);
    QElapsedTimer clock;
    clock.start();
    h.frmVK.loadFirstPage(FirstPage);
    QTRY_VERIFY_WITH_TIMEOUT(h.panel() && h.panel()->isVisible(), 10000);
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
    QVERIFY(h.panelGone());
    QCOMPARE(h.history(), QByteArray("\"kqg.vxp\"\r\n"));
}

void TestFirstPage::laterFailuresLeaveThePaneAlone()
{
    Harness h(u"1"_s);
    h.frmVK.loadFirstPage(FirstPage);
    h.pane->linksOf.insert(FirstPage, {Base + u"kqg.vxp"_s, Base + u"kqg.vxp"_s, Base + u"kq010003.vxp"_s});
    h.pane->deliverAll();
    QVERIFY(h.frmVK.isVisible());

    // A later page that fails stays the pane's own affair: no message, and
    // the next press of a button loads again.
    h.button(u"cmdNext"_s)->click();
    h.pane->failAll({Kind::Refused, -102, {}, {}});
    QVERIFY(!h.panel());
    QVERIFY(h.button(u"cmdNext"_s)->isEnabled());
    // Nor does the first page's wait run on to report one.
    QVERIFY(!h.frmVK.findChild<QTimer *>(u"firstPageWait"_s)->isActive());
    h.events.clear();
    h.button(u"cmdNext"_s)->click();
    QCOMPARE(h.events, QStringList{u"navigate "_s + Base + u"kq010003.vxp"_s});
}

void TestFirstPage::enterPressesRetryUnlessQuitHasTheFocus()
{
    Harness h;
    h.frmVK.loadFirstPage(FirstPage);
    h.pane->failAll({Kind::Refused, -102, {}, {}});
    h.events.clear();

    // Enter where no button takes it presses Retry, the default.
    QTest::keyClick(h.frmVK.findChild<QLabel *>(u"lblWhatToCheck"_s), Qt::Key_Return);
    QCOMPARE(h.events, QStringList{u"navigate "_s + FirstPage});
    h.pane->failAll({Kind::Refused, -102, {}, {}});
    h.events.clear();
    QTest::keyClick(h.button(u"cmdRetry"_s), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(h.events, QStringList{u"navigate "_s + FirstPage});
    h.pane->failAll({Kind::Refused, -102, {}, {}});

    // The buttons say what they do.
    QCOMPARE(h.button(u"cmdRetry"_s)->accessibleName(), u"Retry"_s);
    QCOMPARE(h.button(u"cmdQuit"_s)->accessibleName(), u"Quit"_s);
    QCOMPARE(h.button(u"cmdRetry"_s)->text(), u"&Retry"_s);
    QCOMPARE(h.button(u"cmdQuit"_s)->text(), u"&Quit"_s);
    QCOMPARE(h.button(u"cmdRetry"_s)->nextInFocusChain(), h.button(u"cmdQuit"_s));
    // Tab goes on to the message, where a screen reader reads what failed.
    const auto *message = h.frmVK.findChild<QLabel *>(u"lblWhatToCheck"_s);
    QCOMPARE(h.button(u"cmdQuit"_s)->nextInFocusChain(), message);
    QVERIFY(message->focusPolicy() & Qt::TabFocus);

    h.events.clear();
    QVERIFY_THROWS_EXCEPTION(Fakes::ProcessEnded, QTest::keyClick(h.button(u"cmdQuit"_s), Qt::Key_Return));
    QVERIFY(h.events.contains(u"release blocks"_s));
    QVERIFY(!h.events.contains(u"navigate "_s + FirstPage));
}

void TestFirstPage::quitEndsWithoutTouchingTheHistory()
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

QTEST_MAIN(TestFirstPage)
#include "tst_firstpage.moc"
