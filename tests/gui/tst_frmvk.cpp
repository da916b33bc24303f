#include "../unit/common/fakeplayer.h"
#include "../unit/common/fakes.h"

#include "navigation/mediacontroller.h"
#include "navigation/picavi.h"

#include "navigation/pageloadhandler.h"
#include "reading/lookswitch.h"
#include "shell/frmvk.h"
#include "shell/helpimage.h"
#include "shell/loadfailures.h"
#include "shell/noticebar.h"
#include "shell/settings.h"

#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

namespace {

const QString Base = u"https://course.example/kq_cbt/kq/"_s;

// The main window's "window on screen" lines, which start-up timings read.
QStringList onScreenLines;

void recordOnScreen(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, "tamberlyn.main") == 0 && message.startsWith(u"window on screen"_s))
        onScreenLines.append(message);
}

// The main window around a fake pane, on a 1920 x 1080 screen.
struct Harness
{
    QStringList events;
    Fakes::Shell shell{events};
    Fakes::Clock clock{events};
    Fakes::WindowSystem windows{events};
    Fakes::Channel channel{events};
    Fakes::Dialogs dialogs;
    Fakes::Printing printing{events};
    Shell::Settings settings;
    Fakes::Pane *pane = nullptr;
    Shell::FrmVK window{[this](QWidget *parent) {
                            pane = new Fakes::Pane(events);
                            pane->setParent(parent);
                            return pane;
                        },
                        {shell, clock, windows, channel, settings, dialogs, printing}};

    Harness()
    {
        // As start-up leaves it: the whole screen measured and classified.
        windows.screen = {1920, 1080};
        window.state().FileLocn = Base;
        window.state().ScreenWidth = 1920;
        window.state().ScreenHeight = 1080;
        window.state().ScreenSize = 7;
        window.web1();
    }

    void shows(const QString &name)
    {
        pane->navigate(Base + name);
        pane->deliverAll();
        events.clear();
    }
};

} // namespace

class TestFrmVK final : public QObject
{
    Q_OBJECT

private slots:
    void buttonBar();
    void resizeReloadsTheVariantForTheNewClass_data();
    void resizeReloadsTheVariantForTheNewClass();
    void unchangedMeasureDoesNotReload();
    void windowAsLargeAsTheScreenIsMaximised();
    void hiddenWindowHandedTheNormalStateStaysNormal();
    void windowOffTheLeftEdgeComesBack();
    void firstPageShowsTheWindowMaximised();
    void recordsGoToTheDataFolder();
    void helpImageToggles();
    void keysReachTheWindowBeforeTheFocusedButton();
    void looksChangeByKeyAndUnderHelp();
    void printsTheHelpImageOrThePage();
    void printMessagesWhenThePaneCannotTell();
    void calcStartsTheConfiguredCalculator();
    void closeRequestAsksInTheCourseOnly();
};

void TestFrmVK::buttonBar()
{
    Harness h;
    QCOMPARE(h.window.windowTitle(), u"   Tamberlyn"_s);
    const QList<std::pair<const char *, QString>> expected = {
        {"cmdCont", u"&Contents"_s}, {"cmdPrint", u"&Print"_s}, {"cmdSearch", u"&Search"_s},
        {"cmdBack", u"&Back"_s},     {"cmdPrev", u"&<<"_s},     {"cmdNext", u"&>>"_s},
        {"cmdHist", u"His&tory"_s},  {"cmdCalc", u"C&alc"_s},   {"cmdHelp", u"&Help"_s},
        {"cmdSecn", u"Sectio&n"_s},
    };
    QPushButton *previous = nullptr;
    for (int i = 0; i < expected.size(); ++i) {
        auto *button = h.window.findChild<QPushButton *>(QLatin1String(expected[i].first));
        QVERIFY2(button, expected[i].first);
        QCOMPARE(button->text(), expected[i].second);
        QCOMPARE(button->geometry(), QRect(3 + 66 * i, 2, 65, 19));
        QVERIFY(button->font().bold());
        QCOMPARE(button->font().pointSizeF(), 8.25);
        if (previous)
            QCOMPARE(previous->nextInFocusChain(), button);
        previous = button;
    }

    // The navigation buttons drive the commands.
    h.shows(u"kq010003.vxp"_s);
    h.pane->linksOf.insert(Base + u"kq010004.vxp"_s, {});
    h.window.findChild<QPushButton *>(u"cmdCont"_s)->click();
    QCOMPARE(h.events, QStringList{u"navigate "_s + Base + u"kqg.vxp"_s});
}

void TestFrmVK::resizeReloadsTheVariantForTheNewClass_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("reloaded");
    // 1280 x (800 + title bar) is class 3.
    QTest::newRow("module page") << u"mod03g.vxp"_s << u"mod03c.vxp"_s;
    QTest::newRow("objectives page") << u"obj02a.vxp"_s << u"obj02c.vxp"_s;
    QTest::newRow("practice page") << u"kqpracg.vxp"_s << u"kqpracc.vxp"_s;
    QTest::newRow("contents page") << u"kqg.vxp"_s << u"kqc.vxp"_s;
    QTest::newRow("any other page") << u"kq030017.vxp"_s << u"kq030017.vxp"_s;
}

void TestFrmVK::resizeReloadsTheVariantForTheNewClass()
{
    QFETCH(QString, shown);
    QFETCH(QString, reloaded);
    Harness h;
    h.shows(shown);
    QVERIFY(h.window.windowState() & Qt::WindowMaximized);
    h.window.setWindowState(Qt::WindowNoState);
    h.window.resize(1280, 800);
    h.window.Form_Resize();
    QCOMPARE(h.window.state().ScreenWidth, qint16(1280));
    QCOMPARE(h.window.state().ScreenHeight, qint16(800 + 23));
    QCOMPARE(h.window.state().ScreenSize, qint16(3));
    QCOMPARE(h.events, QStringList{u"navigate "_s + Base + reloaded});
}

void TestFrmVK::unchangedMeasureDoesNotReload()
{
    Harness h;
    h.shows(u"kqg.vxp"_s); // shows the window maximised: the measure start-up took
    QVERIFY(h.window.windowState() & Qt::WindowMaximized);
    h.window.Form_Resize(); // another event of the same size
    QVERIFY(h.events.isEmpty());
}

void TestFrmVK::windowAsLargeAsTheScreenIsMaximised()
{
    Harness h;
    h.window.show();
    h.window.resize(1920, 1080 - 23);
    h.window.Form_Resize();
    QVERIFY(h.window.windowState() & Qt::WindowMaximized);
    QCOMPARE(h.window.state().ScreenWidth, qint16(1920));
    QCOMPARE(h.window.state().ScreenHeight, qint16(1080));
    QCOMPARE(h.window.state().ScreenSize, qint16(7));
}

// A hidden window handed the normal state keeps its maximised size until it
// is given its place: that size is nobody's choice, and the state holds.
void TestFrmVK::hiddenWindowHandedTheNormalStateStaysNormal()
{
    Harness h;
    h.window.setWindowState(Qt::WindowMaximized);
    h.window.resize(1920, 1080 - 23);
    h.window.setWindowState(Qt::WindowNoState);
    h.window.Form_Resize();
    QCOMPARE(h.window.windowState(), Qt::WindowStates(Qt::WindowNoState));
}

void TestFrmVK::windowOffTheLeftEdgeComesBack()
{
    Harness h;
    h.window.setGeometry(-300, 40, 1280, 800);
    h.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    h.window.move(-300, 40);
    h.window.Form_Resize();
    QCOMPARE(h.window.pos(), QPoint(100, 100));
}

void TestFrmVK::firstPageShowsTheWindowMaximised()
{
    Harness h;
    onScreenLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordOnScreen);
    const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
    QVERIFY(!h.window.isVisible());
    h.pane->navigate(Base + u"kqd.vxp"_s);
    h.pane->deliverAll();
    QVERIFY(h.window.isVisible());
    QVERIFY(h.window.windowState() & Qt::WindowMaximized);
    QCOMPARE(h.window.windowTitle(), u"Tamberlyn"_s);
    // The moment it is on the screen is told once, with its size there.
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    QTRY_COMPARE(onScreenLines.size(), 1);
    QCOMPARE(onScreenLines.constFirst(), u"window on screen %1x%2"_s.arg(h.window.width()).arg(h.window.height()));
    h.window.hide(); // as a finder window hides it
    h.pane->navigate(Base + u"kq030017.vxp"_s);
    h.pane->deliverAll();
    QCOMPARE(h.window.windowTitle(), u"Tamberlyn - Module 3"_s);
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    QCoreApplication::processEvents();
    QCOMPARE(onScreenLines.size(), 1);
}

void TestFrmVK::recordsGoToTheDataFolder()
{
    Harness h;
    QTemporaryDir data;
    h.window.state().DornDir = data.path() + u"/"_s;
    h.shows(u"kqd.vxp"_s);
    h.shows(u"mod01d.vxp"_s); // module pages are not recorded
    h.shows(u"kq010003.vxp"_s);
    QFile file(data.filePath(u"history.vxp"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\"kqd.vxp\"\r\n\"kq010003.vxp\"\r\n"));
}

void TestFrmVK::helpImageToggles()
{
    Harness h;
    auto *help = h.window.findChild<QLabel *>(u"picHelp"_s);
    QVERIFY(help && !help->isVisible());
    QCOMPARE(help->geometry(), QRect(40, 48, 821, 695));
    // Drawn when Help first asks for it, not while the course starts.
    QVERIFY(help->pixmap().isNull());
    h.window.show();
    auto *helpButton = h.window.findChild<QPushButton *>(u"cmdHelp"_s);
    helpButton->click();
    QVERIFY(help->isVisible());
    QCOMPARE(help->pixmap().deviceIndependentSize().toSize(), Shell::HelpImageSize);
    helpButton->click();
    QVERIFY(!help->isVisible());
    helpButton->click();
    QTest::mouseClick(help, Qt::LeftButton); // a click on the image hides it
    QVERIFY(!help->isVisible());
}

void TestFrmVK::keysReachTheWindowBeforeTheFocusedButton()
{
    Harness h;
    h.pane->linksOf.insert(Base + u"kq010003.vxp"_s, {u"S"_s, u"P"_s, Base + u"kq010003.vxp#link2"_s});
    h.shows(u"kq010003.vxp"_s);
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    auto *back = h.window.findChild<QPushButton *>(u"cmdBack"_s);
    back->setFocus();
    QVERIFY(back->hasFocus());
    int backClicks = 0;
    connect(back, &QPushButton::clicked, [&backClicks] { ++backClicks; });

    h.window.findChild<QPushButton *>(u"cmdHelp"_s)->click();
    h.events.clear();
    // Page Down turns the page; the button never sees it. Space would press
    // the button, so it shows that other keys do reach it.
    QTest::keyClick(back, Qt::Key_PageDown);
    QCOMPARE(h.events, QStringList{u"navigate "_s + Base + u"kq010003.vxp#link2"_s});
    QVERIFY(!h.window.isHelpVisible()); // any key hides the help image
    QTest::keyClick(back, Qt::Key_Space);
    QCOMPARE(backClicks, 1);

    bool asked = false;
    h.window.setQuitQuestion([&asked] { asked = true; });
    QTest::keyClick(back, Qt::Key_Q, Qt::AltModifier | Qt::ShiftModifier);
    QVERIFY(asked);

    // Escape stops a sound as a click on the backdrop would.
    FakePlayer player(h.events, &h.window);
    auto *backdrop = new Navigation::PicAvi(&h.window);
    Navigation::MediaController media(player, *backdrop, h.clock, [] { return QSize(1920, 1080); });
    h.window.setMediaController(&media);
    media.playSound(Base + u"c01/v0101.wav"_s);
    h.events.clear();
    QTest::keyClick(back, Qt::Key_Escape);
    QVERIFY2(h.events.contains(u"stop"_s), qPrintable(h.events.join(u", "_s)));
}

// Ctrl+Shift+L cycles the looks from anywhere in the window; Help shows the
// three to choose from on the help image's line for the key. Each choice
// recolours the whole program and is kept.
void TestFrmVK::looksChangeByKeyAndUnderHelp()
{
    Harness h;
    QList<Reading::Look> kept;
    Reading::LookSwitch looks({Reading::Look::Light, u"the test"_s, {}}, [&kept](Reading::Look look) {
        kept << look;
        return true;
    });
    const auto lightAgain = qScopeGuard([&looks] { looks.choose(Reading::Look::Light); });
    h.window.setLookSwitch(&looks);
    h.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    const QColor lightGround = QApplication::palette().color(QPalette::Window);
    auto *back = h.window.findChild<QPushButton *>(u"cmdBack"_s);
    back->setFocus();

    QTest::keyClick(back, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(looks.look(), Reading::Look::Dark);
    QCOMPARE(kept, QList<Reading::Look>{Reading::Look::Dark});
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 80);
    // What every button of the program draws with (Qt hands it on to the
    // widgets once the event loop runs).
    QVERIFY(QApplication::palette(back).color(QPalette::ButtonText).lightness() > 200);
    // The notice bar keeps a colour of its own, pale yellow in the light;
    // in the dark it takes the look's, and its text still reads on it.
    const QWidget *notice = h.window.loadFailures().notice();
    QTRY_VERIFY(notice->palette().color(QPalette::Window).lightness() < 80);
    QVERIFY(notice->palette().color(QPalette::WindowText).lightness() > 200);
    QTest::keyClick(back, Qt::Key_L, Qt::ControlModifier); // Ctrl+L alone is no look key
    QCOMPARE(looks.look(), Reading::Look::Dark);

    h.window.findChild<QPushButton *>(u"cmdHelp"_s)->click();
    auto *picker = h.window.findChild<QWidget *>(u"lookPicker"_s);
    QVERIFY(picker && picker->isVisible());
    QCOMPARE(picker->accessibleName(), u"Look"_s);
    const QList<QRadioButton *> choices = picker->findChildren<QRadioButton *>();
    QCOMPARE(choices.size(), 3);
    QStringList captions;
    for (const QRadioButton *choice : choices)
        captions << choice->text();
    QCOMPARE(captions, (QStringList{u"Light"_s, u"Dark"_s, u"High contrast"_s}));
    QVERIFY(choices.at(1)->isChecked());
    // On the help image's line for the key, inside the image.
    auto *help = h.window.findChild<QLabel *>(u"picHelp"_s);
    QVERIFY(help->geometry().contains(picker->geometry()));

    QTest::mouseClick(choices.at(2), Qt::LeftButton);
    QCOMPARE(looks.look(), Reading::Look::HighContrast);
    QVERIFY(h.window.isHelpVisible()); // a choice leaves the help up
    QCOMPARE(QApplication::palette().color(QPalette::Window), QColor(Qt::black));
    QTRY_COMPARE(notice->palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(notice->palette().color(QPalette::WindowText), QColor(Qt::white));

    back->setFocus();
    QTest::keyClick(back, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(looks.look(), Reading::Look::Light);
    QVERIFY(!h.window.isHelpVisible() && !picker->isVisible()); // any key hides the help
    QVERIFY(choices.at(0)->isChecked());
    QCOMPARE(QApplication::palette().color(QPalette::Window), lightGround);
    QTRY_COMPARE(notice->palette().color(QPalette::Window), QColor(255, 244, 196));
    QCOMPARE(kept, (QList<Reading::Look>{Reading::Look::Dark, Reading::Look::HighContrast, Reading::Look::Light}));
}

void TestFrmVK::printsTheHelpImageOrThePage()
{
    Harness h;
    QPrinter printer;
    h.printing.printer = &printer;
    h.shows(u"kq010003.vxp"_s);
    h.window.findChild<QPushButton *>(u"cmdHelp"_s)->click();
    h.window.findChild<QPushButton *>(u"cmdPrint"_s)->click();
    QCOMPARE(h.events, QStringList{u"print image %1x%2"_s.arg(Shell::HelpImageSize.width())
                                        .arg(Shell::HelpImageSize.height())});
    h.events.clear();

    h.window.findChild<QPushButton *>(u"cmdHelp"_s)->click();
    h.window.findChild<QPushButton *>(u"cmdPrint"_s)->click();
    QCOMPARE(h.events, (QStringList{u"print dialog"_s, u"print page "_s + Base + u"kq010003.vxp"_s}));
    QVERIFY(h.dialogs.shown.isEmpty());

    // A page that failed to print says so once it is known.
    h.events.clear();
    h.pane->printError = u"out of paper"_s;
    h.dialogs.answers.push_back(Platform::Dialogs::Answer::Ok);
    h.window.cmdPrint_Click();
    QCOMPARE(h.dialogs.shown.size(), 1);
    QCOMPARE(h.dialogs.shown.first().text, u"Print command Error: out of paper"_s);

    // Cancelled in the dialog: nothing printed, nothing said.
    h.printing.printer = nullptr;
    h.events.clear();
    h.window.cmdPrint_Click();
    QCOMPARE(h.events, QStringList{u"print dialog"_s});
    QCOMPARE(h.dialogs.shown.size(), 1);
}

void TestFrmVK::printMessagesWhenThePaneCannotTell()
{
    Harness h;
    h.pane->printable = Platform::BrowserPane::PrintState::Unknown;
    h.dialogs.answers = {Platform::Dialogs::Answer::Ok, Platform::Dialogs::Answer::Ok};
    h.window.cmdPrint_Click();
    QCOMPARE(h.dialogs.shown.size(), 2);
    QCOMPARE(h.dialogs.shown.at(0).text, u"The Print command is currently disabled."_s);
    QVERIFY(h.dialogs.shown.at(1).text.startsWith(u"Print command Error: "_s));
    QCOMPARE(h.dialogs.shown.at(1).buttons, Platform::Dialogs::Buttons::Ok);

    // A pane that is not ready to print prints nothing and says nothing.
    h.pane->printable = Platform::BrowserPane::PrintState::Disabled;
    h.events.clear();
    h.window.cmdPrint_Click();
    QVERIFY(h.events.isEmpty());
    QCOMPARE(h.dialogs.shown.size(), 2);
}

void TestFrmVK::calcStartsTheConfiguredCalculator()
{
    Harness h;
    h.settings.calculator = u"/bin/true"_s;
    h.window.findChild<QPushButton *>(u"cmdHelp"_s)->click();
    h.window.findChild<QPushButton *>(u"cmdCalc"_s)->click();
    QCOMPARE(h.events, QStringList{u"start /bin/true"_s});
    QVERIFY(!h.window.isHelpVisible());
    h.events.clear();
    h.settings.calculator = u"/nonexistent/calculator"_s;
    h.window.cmdCalc_Click(); // none found: nothing happens, nothing is said
    QVERIFY(h.events.isEmpty());
    QVERIFY(h.dialogs.shown.isEmpty());
}

void TestFrmVK::closeRequestAsksInTheCourseOnly()
{
    Harness h;
    h.shows(u"kqd.vxp"_s);
    int asked = 0;
    h.window.setQuitQuestion([&asked] { ++asked; }); // answered No: nothing happens
    QVERIFY(!h.window.close());
    QCOMPARE(asked, 1);
    QVERIFY(h.window.isVisible());

    // An instance started with a command line closes without a question.
    h.shell.line = u"amp.ckt"_s;
    QVERIFY(h.window.close());
    QCOMPARE(asked, 1);
}

QTEST_MAIN(TestFrmVK)
#include "tst_frmvk.moc"
