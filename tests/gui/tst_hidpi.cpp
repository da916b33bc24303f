#include "programfixture.h"

#include "e2eharness.h"

#include "finders/finderframe.h"
#include "platform/x11/x11windowsystem.h"
#include "shell/frmpopup.h"
#include "shell/frmsplsh.h"
#include "shell/startup.h"
#include "simbridge/withfile.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Navigation::Finder;

namespace {

E2eHarness *s_display = nullptr;

// Steps between neighbouring device pixels that change a colour channel by
// at least a third of its range: the edges of letters, lines and shapes.
// At a device pixel ratio of 2 each logical pixel is two device pixels
// wide and high; the steps are counted apart for the two device pixels of
// one logical pixel ("within") and for device pixels of two neighbouring
// logical pixels ("between").
struct Steps
{
    qint64 within = 0;
    qint64 between = 0;
};

Steps strongSteps(const QImage &picture)
{
    constexpr int Strong = 85;
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const auto step = [](QRgb a, QRgb b) {
        return qMax(qMax(qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b))), qAbs(qBlue(a) - qBlue(b)));
    };
    Steps steps;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        const auto *below = y + 1 < image.height() ? reinterpret_cast<const QRgb *>(image.constScanLine(y + 1)) : nullptr;
        for (int x = 0; x < image.width(); ++x) {
            if (x + 1 < image.width() && step(line[x], line[x + 1]) >= Strong)
                ++(x % 2 == 0 ? steps.within : steps.between);
            if (below && step(line[x], below[x]) >= Strong)
                ++(y % 2 == 0 ? steps.within : steps.between);
        }
    }
    return steps;
}

// The criterion. A bitmap made at one device pixel per logical pixel and
// stretched to two has no strong step within a logical pixel: stretched
// without smoothing each logical pixel becomes a uniform 2 x 2 block, and
// stretched with smoothing an edge is spread over two device pixels at
// half its strength or less, the strongest step landing between logical
// pixels. Drawn at the device's resolution, letters and curves have their
// edges anywhere on the device grid, so a good share of the strong steps
// fall within logical pixels. Straight lines on logical coordinates do not,
// which is why a share, not an equal number, is asked for.
bool isCrisp(const Steps &steps)
{
    return steps.between > 0 && steps.within * 2 >= steps.between;
}

// What the same widget would look like drawn into a bitmap at one device
// pixel per logical pixel, then shown on this screen: Qt stretches it to
// two device pixels per logical one, smoothly or not.
QImage stretchedLowResolution(QWidget &widget, bool smooth)
{
    QPixmap low(widget.size());
    low.setDevicePixelRatio(1.0);
    low.fill(Qt::white);
    widget.render(&low);
    QPixmap shown(widget.size() * 2);
    shown.setDevicePixelRatio(2.0);
    QPainter painter(&shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    painter.drawPixmap(QRect(QPoint(0, 0), widget.size()), low);
    painter.end();
    return shown.toImage();
}

QString artefact(const QString &name)
{
    QDir().mkpath(QStringLiteral(TAMBERLYN_HIDPI_ARTEFACTS));
    return QStringLiteral(TAMBERLYN_HIDPI_ARTEFACTS "/") + name + u".png"_s;
}

bool exposed(QWidget &window)
{
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

enum class Picture { BarButton, HelpImage, FinderHelpPicture, Companion, Splash };

} // namespace

Q_DECLARE_METATYPE(Picture)

class TestHiDpi final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drawnAtTheDeviceResolution_data();
    void drawnAtTheDeviceResolution();
    void sizeClassOfTheLogicalScreen();
    void popupOpensAtThePointer_data();
    void popupOpensAtThePointer();
};

void TestHiDpi::initTestCase()
{
    // Run with QT_SCALE_FACTOR=2 on a 2560 x 2048 server (see main).
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 1024));
}

void TestHiDpi::drawnAtTheDeviceResolution_data()
{
    QTest::addColumn<Picture>("picture");
    QTest::newRow("bar button") << Picture::BarButton;
    QTest::newRow("help image") << Picture::HelpImage;
    QTest::newRow("finder help picture") << Picture::FinderHelpPicture;
    QTest::newRow("companion window") << Picture::Companion;
    QTest::newRow("splash") << Picture::Splash;
}

void TestHiDpi::drawnAtTheDeviceResolution()
{
    QFETCH(Picture, picture);
    ProgramFixture program;
    SimBridge::Withfile companion;
    Shell::FrmSplsh splash;
    QWidget *widget = nullptr;
    switch (picture) {
    case Picture::BarButton:
        QVERIFY(exposed(program.frmVK));
        widget = program.frmVK.findChild<QPushButton *>(u"cmdCont"_s);
        break;
    case Picture::HelpImage:
        QVERIFY(exposed(program.frmVK));
        program.frmVK.cmdHelp_Click();
        widget = program.frmVK.findChild<QLabel *>(u"picHelp"_s);
        break;
    case Picture::FinderHelpPicture: {
        Finders::FinderFrame &search = program.finders.window(Finder::Search);
        QVERIFY(exposed(search));
        search.cmdHelp_Click();
        widget = search.findChild<QLabel *>(u"picHelp"_s);
        break;
    }
    case Picture::Companion:
        QVERIFY(exposed(companion));
        widget = &companion;
        break;
    case Picture::Splash:
        splash.showAt({100, 100});
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        widget = &splash;
        break;
    }
    QVERIFY(widget && widget->isVisible());

    const QPixmap grab = widget->grab();
    QCOMPARE(grab.devicePixelRatio(), 2.0);
    QCOMPARE(grab.size(), widget->size() * 2);
    const QImage sharp = grab.toImage();
    const QImage blocky = stretchedLowResolution(*widget, false);
    const QImage blurred = stretchedLowResolution(*widget, true);

    const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
    QVERIFY(sharp.save(artefact(name)));
    QVERIFY(blocky.save(artefact(name + u"-stretched"_s)));
    QVERIFY(blurred.save(artefact(name + u"-stretched-smooth"_s)));

    const Steps steps = strongSteps(sharp);
    const Steps blockySteps = strongSteps(blocky);
    const Steps blurredSteps = strongSteps(blurred);
    qInfo("strong steps within / between logical pixels: %lld / %lld; stretched %lld / %lld, smoothly %lld / %lld",
          steps.within, steps.between, blockySteps.within, blockySteps.between, blurredSteps.within,
          blurredSteps.between);
    // The criterion must tell the two apart on this very picture.
    QVERIFY(!isCrisp(blockySteps));
    QVERIFY(!isCrisp(blurredSteps));
    QVERIFY(isCrisp(steps));
}

void TestHiDpi::sizeClassOfTheLogicalScreen()
{
    // The server's 2560 x 2048 would be class 10; the 1280 x 1024 that the
    // windows are laid out in is class 4, page letter "d".
    Platform::X11WindowSystem windows;
    QVERIFY(windows.isConnected());
    QCOMPARE(windows.screenSize(), QSize(1280, 1024));

    QStringList events;
    Fakes::Shell shell{events};
    Fakes::Channel channel{events};
    Fakes::Dialogs dialogs;
    Shell::FileChecks files{dialogs, [] {}};
    Shell::Settings settings;
    Shell::VKState state;
    Shell::Startup startup(state, settings, {shell, windows, channel, files},
                           {.loadInWeb1 = [&](const QString &address) { events << address; },
                            .enableTimerEnd = [] {},
                            .setTitles = {},
                            .endVK = {},
                            .showCourse = {},
                            .runPopup = {},
                            .runLauncher = {}});
    startup.LastBit();
    QCOMPARE(state.ScreenWidth, 1280);
    QCOMPARE(state.ScreenHeight, 1024);
    QCOMPARE(state.ScreenSize, 4);
    QVERIFY(!events.isEmpty());
    QVERIFY2(events.constLast().endsWith(u"kqd.vxp"_s), qPrintable(events.constLast()));
}

void TestHiDpi::popupOpensAtThePointer_data()
{
    QTest::addColumn<QPoint>("serverPixels");
    QTest::addColumn<QPoint>("topLeft");
    // 400 x 300 wanted: 447 x 320 pixels.
    QTest::newRow("at the pointer") << QPoint(600, 400) << QPoint(300, 200);
    // Near the corner it ends 200 twips (13 pixels) short of the 1280 x 1024
    // edges; measured in the server's pixels it would fly off the screen.
    QTest::newRow("pulled back at the corner") << QPoint(2400, 2000) << QPoint(1280 - 447 - 13, 1024 - 320 - 13);
}

void TestHiDpi::popupOpensAtThePointer()
{
    QFETCH(QPoint, serverPixels);
    QFETCH(QPoint, topLeft);
    QVERIFY2(s_display->runOnDisplay(u"xdotool"_s, {u"mousemove"_s, QString::number(serverPixels.x()),
                                                    QString::number(serverPixels.y())}),
             qPrintable(s_display->error()));
    Platform::X11WindowSystem windows;
    QTRY_COMPARE(windows.pointer().position, serverPixels / 2);

    QStringList events;
    Shell::FrmPopup popup(
        [&events](QWidget *parent) {
            auto *web2 = new Fakes::Pane(events);
            web2->setParent(parent);
            return web2;
        },
        windows, [] {});
    popup.showPopup(ProgramFixture::base(), {u"pv.jpg"_s, 400, 300});
    QCOMPARE(popup.geometry().topLeft(), topLeft);
    popup.timerPop().stop();
}

int main(int argc, char *argv[])
{
    // A monitor of 2560 x 2048 pixels at scale 2 (QT_SCALE_FACTOR from the
    // test's environment): the server of our own, whatever display the
    // test runs under.
    E2eHarness display;
    if (!display.startDisplay(QSize(2560, 2048))) {
        std::fprintf(stderr, "tst_hidpi: %s\n", qPrintable(display.error()));
        return 1;
    }
    s_display = &display;
    qputenv("DISPLAY", display.display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TestHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hidpi.moc"
