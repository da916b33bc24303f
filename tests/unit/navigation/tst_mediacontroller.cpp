#include "../common/fakeplayer.h"
#include "../common/fakes.h"

#include "navigation/mediacontroller.h"
#include "navigation/picavi.h"
#include "platform/mediaplayer.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Tamberlyn::Navigation;
using namespace Qt::StringLiterals;
using UiMode = Tamberlyn::Platform::MediaPlayer::UiMode;

namespace {

const QString Video = u"https://course.example/kq_cbt/kq/c01/fig01a.avi"_s;
const QString Sound = u"https://course.example/kq_cbt/kq/c01/v0101.wav"_s;
const QString NextVideo = u"https://course.example/kq_cbt/kq//kq/title.avi"_s;


// The main window as far as media are concerned: the backdrop, the player's
// video area, and a pane standing for Web1 and the buttons, made last so
// it starts in front of both.
struct Harness
{
    QStringList events;
    QWidget window;
    PicAvi *backdrop = new PicAvi(&window);
    FakePlayer player{events, &window};
    QWidget *pane = new QWidget(&window);
    Fakes::Clock clock{events};
    QSize screen{1280, 1024};
    MediaController media{player, *backdrop, clock, [this] { return screen; }};

    Harness()
    {
        window.resize(screen);
        window.show();
    }

    QStringList take()
    {
        QStringList taken = events;
        events.clear();
        return taken;
    }
    qsizetype stackIndex(const QWidget *widget) const { return window.children().indexOf(widget); }
    bool backdropUp() const { return backdrop->isVisible(); }
    bool grace() const { return media.timerPREavi().isActive(); }
    bool watched() const { return media.timerAVI().isActive(); }
    void pressBackdrop(Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(backdrop, button, modifiers, QPoint(5, 5));
    }

    // Drives the video from its start to the given phase; the player is
    // playing once the pause is over.
    enum class Phase { Starting, Grace, Watched };
    void startVideoInto(Phase phase, const std::function<void()> &duringPause = {})
    {
        clock.duringWait = [this, duringPause] {
            player.playing = true;
            if (duringPause)
                duringPause();
        };
        media.playVideo(Video);
        if (phase == Phase::Watched)
            media.TimerPREavi_Timer();
    }
};

const QStringList StopEvents{u"stop"_s, u"mode invisible"_s};

} // namespace

class TestMediaController final : public QObject
{
    Q_OBJECT

private slots:
    void videoStart_data();
    void videoStart();
    void videoLife_data();
    void videoLife();
    void stopInEachPhase_data();
    void stopInEachPhase();
    void anyPressOnTheBackdropStops_data();
    void anyPressOnTheBackdropStops();
    void nextVideoReplacesAWatchedOne();
    void soundPlaysWithoutBackdropOrTimers();
    void sizeClassPlacesTheBackdropOnly();
    void mediaThatWillNotPlayEndsAtOnceAndIsReported_data();
    void mediaThatWillNotPlayEndsAtOnceAndIsReported();
};

void TestMediaController::videoStart_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("widthStep");
    QTest::addColumn<QSize>("asked");
    QTest::addColumn<QRect>("player");

    QTest::newRow("1280x1024") << QSize(1280, 1024) << 1 << QSize(768, 717) << QRect(256, 50, 768, 717);
    QTest::newRow("800x600") << QSize(800, 600) << 1 << QSize(480, 420) << QRect(160, 50, 480, 420);
    // 613.8 x 536.9 rounds to 614 x 537; 511.5 - 307 rounds to 205.
    QTest::newRow("odd size") << QSize(1023, 767) << 1 << QSize(614, 537) << QRect(205, 50, 614, 537);
    // Centred by the width the player took (608), not the one asked (614).
    QTest::newRow("player takes less") << QSize(1023, 767) << 8 << QSize(614, 537) << QRect(208, 50, 608, 537);
}

void TestMediaController::videoStart()
{
    QFETCH(QSize, screen);
    QFETCH(int, widthStep);
    QFETCH(QSize, asked);
    QFETCH(QRect, player);

    Harness h;
    h.screen = screen;
    h.player.widthStep = widthStep;
    bool upDuringPause = false;
    bool timersOffDuringPause = false;
    h.clock.duringWait = [&] {
        upDuringPause = h.backdropUp();
        timersOffDuringPause = !h.grace() && !h.watched();
    };

    h.media.playVideo(Video);

    QCOMPARE(h.take(), (QStringList{u"size %1x%2"_s.arg(asked.width()).arg(asked.height()),
                                    u"move %1,%2"_s.arg(player.x()).arg(player.y()), u"visible"_s, u"raise"_s,
                                    u"mode none"_s, u"address "_s + Video, u"play"_s, u"wait"_s}));
    QCOMPARE(QRect(h.player.position(), h.player.size()), player);
    QCOMPARE(h.backdrop->geometry(), QRect(QPoint(0, 0), screen));
    QVERIFY(upDuringPause);
    QVERIFY(timersOffDuringPause);
    // In front of the page and the buttons, and the player in front of it.
    QVERIFY(h.stackIndex(h.backdrop) > h.stackIndex(h.pane));
    QVERIFY(h.stackIndex(h.player.area) > h.stackIndex(h.backdrop));
    // The grace period runs once, for five seconds; the watch is not on yet.
    QVERIFY(h.grace());
    QVERIFY(h.media.timerPREavi().isSingleShot());
    QCOMPARE(h.media.timerPREavi().interval(), 5000);
    QCOMPARE(h.media.timerPREavi().objectName(), u"TimerPREavi"_s);
    QVERIFY(!h.watched());
    QCOMPARE(h.media.timerAVI().interval(), 500);
    QCOMPARE(h.media.timerAVI().objectName(), u"TimerAVI"_s);
}

void TestMediaController::videoLife_data()
{
    QTest::addColumn<bool>("playsAfterPause");
    QTest::addColumn<int>("ticksPlaying");

    // 360 ticks of 500 ms: three minutes of video after the grace period.
    QTest::newRow("plays for three minutes") << true << 360;
    QTest::newRow("ends during the grace period") << true << 0;
    // Buffering past the grace period and an address that cannot be
    // fetched look the same here: the player never reports playing.
    QTest::newRow("never plays") << false << 0;
}

void TestMediaController::videoLife()
{
    QFETCH(bool, playsAfterPause);
    QFETCH(int, ticksPlaying);

    Harness h;
    h.clock.duringWait = [&] { h.player.playing = playsAfterPause; };
    h.media.playVideo(Video);
    h.take();

    h.media.TimerPREavi_Timer();
    QVERIFY(!h.grace());
    QVERIFY(h.watched());
    for (int tick = 0; tick < ticksPlaying; ++tick) {
        h.media.TimerAVI_Timer();
        QVERIFY(h.backdropUp());
        QVERIFY(h.watched());
    }
    QVERIFY(h.take().isEmpty());

    // The first tick that finds it not playing takes everything down.
    h.player.playing = false;
    h.media.TimerAVI_Timer();
    QCOMPARE(h.take(), StopEvents);
    QVERIFY(!h.backdropUp());
    QVERIFY(!h.watched());
    QVERIFY(!h.grace());
    // The player keeps its own visibility and its address; it shows nothing.
    QVERIFY(h.player.isVisible());
    QCOMPARE(h.player.uiMode(), UiMode::Invisible);
    QCOMPARE(h.player.address(), Video);
}

void TestMediaController::stopInEachPhase_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<bool>("byEscape");

    const std::pair<const char *, Harness::Phase> phases[] = {
        {"starting", Harness::Phase::Starting}, {"grace", Harness::Phase::Grace}, {"watched", Harness::Phase::Watched}};
    for (const auto &[name, phase] : phases) {
        QTest::addRow("%s, click", name) << int(phase) << false;
        QTest::addRow("%s, Esc", name) << int(phase) << true;
    }
}

void TestMediaController::stopInEachPhase()
{
    QFETCH(int, phase);
    QFETCH(bool, byEscape);

    Harness h;
    const auto stop = [&] {
        if (byEscape)
            h.media.escapePressed();
        else
            h.pressBackdrop();
    };
    const auto in = Harness::Phase(phase);
    QStringList stopped;
    h.startVideoInto(in, [&] {
        if (in == Harness::Phase::Starting) {
            h.take();
            stop();
            stopped = h.take();
            QVERIFY(!h.backdropUp());
        }
    });
    if (in != Harness::Phase::Starting) {
        h.take();
        stop();
        stopped = h.take();
    }

    QCOMPARE(stopped, StopEvents);
    QVERIFY(!h.backdropUp());
    QVERIFY(!h.watched());
    QCOMPARE(h.player.uiMode(), UiMode::Invisible);
    if (in != Harness::Phase::Starting) {
        QVERIFY(!h.grace());
        return;
    }

    // Stopped inside the pause: the start still enables the grace timer
    // afterwards, and the watch it leads to repeats the stop, harmlessly.
    QVERIFY(h.grace());
    h.media.TimerPREavi_Timer();
    h.media.TimerAVI_Timer();
    QCOMPARE(h.take(), StopEvents);
    QVERIFY(!h.backdropUp());
    QVERIFY(!h.watched());
    QVERIFY(!h.grace());
}

void TestMediaController::anyPressOnTheBackdropStops_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");

    QTest::newRow("left") << Qt::LeftButton << Qt::KeyboardModifiers();
    QTest::newRow("right") << Qt::RightButton << Qt::KeyboardModifiers();
    QTest::newRow("middle with shift") << Qt::MiddleButton << Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::newRow("left with ctrl and alt")
        << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier);
}

void TestMediaController::anyPressOnTheBackdropStops()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);

    Harness h;
    h.startVideoInto(Harness::Phase::Watched);
    h.take();
    h.pressBackdrop(button, modifiers);
    QCOMPARE(h.take(), StopEvents);
    QVERIFY(!h.backdropUp());
}

void TestMediaController::nextVideoReplacesAWatchedOne()
{
    Harness h;
    h.startVideoInto(Harness::Phase::Watched);
    h.media.TimerAVI_Timer();
    QVERIFY(h.watched());

    // The next video is still loading during its pause; the old watch must
    // not take it for ended.
    h.screen = QSize(800, 600);
    bool watchedDuringPause = true;
    h.clock.duringWait = [&] {
        h.player.playing = false;
        watchedDuringPause = h.watched();
    };
    h.take();
    h.media.playVideo(NextVideo);
    QVERIFY(!watchedDuringPause);
    QVERIFY(h.grace());
    QVERIFY(h.backdropUp());
    // Resized and shown again for the new area.
    QCOMPARE(h.backdrop->geometry(), QRect(0, 0, 800, 600));
    QCOMPARE(QRect(h.player.position(), h.player.size()), QRect(160, 50, 480, 420));
    QVERIFY(!h.take().contains(u"stop"_s));
}

void TestMediaController::soundPlaysWithoutBackdropOrTimers()
{
    Harness h;
    h.media.playSound(Sound);
    QCOMPARE(h.take(), (QStringList{u"mode invisible"_s, u"address "_s + Sound, u"play"_s}));
    QVERIFY(!h.backdropUp());
    QVERIFY(!h.grace());
    QVERIFY(!h.watched());

    h.player.playing = true;
    h.media.escapePressed();
    QCOMPARE(h.take(), StopEvents);
    QVERIFY(!h.player.isPlaying());
    QVERIFY(!h.backdropUp());
}

void TestMediaController::sizeClassPlacesTheBackdropOnly()
{
    Harness h;
    h.media.placeBackdrop(QSize(1024, 791));
    QCOMPARE(h.backdrop->geometry(), QRect(0, 0, 1024, 791));
    QVERIFY(!h.backdropUp());
    QVERIFY(h.take().isEmpty());

    // During a video the backdrop follows the window and stays up.
    h.startVideoInto(Harness::Phase::Watched);
    h.take();
    h.media.placeBackdrop(QSize(640, 480));
    QCOMPARE(h.backdrop->geometry(), QRect(0, 0, 640, 480));
    QVERIFY(h.backdropUp());
    QVERIFY(h.take().isEmpty());
}

void TestMediaController::mediaThatWillNotPlayEndsAtOnceAndIsReported_data()
{
    QTest::addColumn<bool>("video");
    QTest::addColumn<bool>("duringPause"); // the failure comes in the pause after the start
    QTest::newRow("video, in its pause") << true << true;
    QTest::newRow("video, in its grace period") << true << false;
    QTest::newRow("sound") << false << false;
}

// Before, a video that could not be fetched kept its black backdrop up
// until the watch found it not playing, 6 to 12 s later, and nobody said
// why; a sound said nothing at all.
void TestMediaController::mediaThatWillNotPlayEndsAtOnceAndIsReported()
{
    QFETCH(bool, video);
    QFETCH(bool, duringPause);
    Harness h;
    QSignalSpy failures(&h.media, &MediaController::mediaFailed);
    const auto fail = [&h] { emit h.player.failed(u"the server answered 404 Not Found"_s); };
    if (video) {
        h.clock.duringWait = duringPause ? std::function<void()>(fail) : std::function<void()>();
        h.media.playVideo(Video);
        if (!duringPause) {
            QVERIFY(h.backdropUp() && h.grace());
            fail();
        }
    } else {
        h.media.playSound(Sound);
        fail();
    }
    QVERIFY(!h.backdropUp());
    QVERIFY(!h.watched());
    QCOMPARE(h.player.uiMode(), UiMode::Invisible);
    QVERIFY(h.events.contains(u"stop"_s));
    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures.at(0).at(0).toBool(), video);
    QCOMPARE(failures.at(0).at(1).toString(), video ? Video : Sound);
    QCOMPARE(failures.at(0).at(2).toString(), u"the server answered 404 Not Found"_s);
}

QTEST_MAIN(TestMediaController)
#include "tst_mediacontroller.moc"
