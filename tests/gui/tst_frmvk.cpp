#include "../unit/common/fakes.h"

#include "navigation/pageloadhandler.h"
#include "shell/frmvk.h"
#include "shell/settings.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

namespace {

const QString Base = u"https://course.example/kq_cbt/kq/"_s;

// The main window around a fake pane, on a 1920 x 1080 screen.
struct Harness
{
    QStringList events;
    Fakes::Shell shell{events};
    Fakes::Clock clock{events};
    Fakes::WindowSystem windows{events};
    Fakes::Channel channel{events};
    Shell::Settings settings;
    Fakes::Pane *pane = nullptr;
    Shell::FrmVK window{[this](QWidget *parent) {
                            pane = new Fakes::Pane(events);
                            pane->setParent(parent);
                            return pane;
                        },
                        {shell, clock, windows, channel, settings}};

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
    void windowOffTheLeftEdgeComesBack();
    void firstPageShowsTheWindowMaximised();
    void recordsGoToTheDataFolder();
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
    h.window.resize(1920, 1080 - 23);
    h.window.Form_Resize();
    QVERIFY(h.window.windowState() & Qt::WindowMaximized);
    QCOMPARE(h.window.state().ScreenWidth, qint16(1920));
    QCOMPARE(h.window.state().ScreenHeight, qint16(1080));
    QCOMPARE(h.window.state().ScreenSize, qint16(7));
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
    QVERIFY(!h.window.isVisible());
    h.pane->navigate(Base + u"kqd.vxp"_s);
    h.pane->deliverAll();
    QVERIFY(h.window.isVisible());
    QVERIFY(h.window.windowState() & Qt::WindowMaximized);
    QCOMPARE(h.window.windowTitle(), u"Tamberlyn"_s);
    h.pane->navigate(Base + u"kq030017.vxp"_s);
    h.pane->deliverAll();
    QCOMPARE(h.window.windowTitle(), u"Tamberlyn - Module 3"_s);
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

QTEST_MAIN(TestFrmVK)
#include "tst_frmvk.moc"
