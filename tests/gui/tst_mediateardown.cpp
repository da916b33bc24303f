#include "e2eharness.h"

#include "platform/certificatepins.h"
#include "platform/qt/qtmediaplayer.h"

#include <QTest>
#include <QWidget>

#include <memory>

using namespace Tamberlyn::Platform;
using namespace Qt::StringLiterals;

// The real player on the xcb platform, where the video area draws through
// the window system: a video stopped while it is still setting up, again
// and again, as a learner pressing Escape at once would.
//
// When every stopped video's decoder was deleted, short of GStreamer's NULL
// state ("Trying to dispose element qgstvideorenderersink…, but it is in
// READY instead of the NULL state"), about one run in three died with
// SIGSEGV in QGstreamerMediaPlayer::decoderPadRemoved, called from
// ~QMediaPlayer (the stack that ended the viewer in the soak test), and in
// others the last video never got going. One decoder now serves them all.
class TestMediaTeardown final : public QObject
{
    Q_OBJECT

private slots:
    void stoppedWhileOnItsWayAgainAndAgain();
};

void TestMediaTeardown::stoppedWhileOnItsWayAgainAndAgain()
{
    E2eHarness harness;
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    CertificatePins pins;
    pins.pin(harness.courseHost(), *CertificatePins::parseFingerprint(harness.fingerprint()));

    QWidget window;
    window.resize(800, 600);
    window.show();
    QtMediaPlayer player(pins, &window);
    player.resize(QSize(480, 420));
    player.setVisible(true);
    player.setUiMode(MediaPlayer::UiMode::None);
    int played = 0;
    connect(&player, &MediaPlayer::playingChanged, this, [&](bool playing) { played += playing ? 1 : 0; });

    // The stops land at moments spread over the set-up and the first frames.
    constexpr int Stops = 40;
    for (int i = 0; i < Stops; ++i) {
        player.setAddress(harness.fileLocn() + (i % 2 ? u"c01/fig01a.avi"_s : u"/kq/title.avi"_s));
        player.play();
        QTest::qWait(i * 37 % 1200);
        player.stop();
        QVERIFY(!player.isPlaying());
    }
    // Long enough for every stopped player to be deleted.
    QTest::qWait(2500);
    QVERIFY2(played > 0, "no stop came late enough to find the video playing");
    QVERIFY2(played < Stops, "no stop came before the video got going");

    // After all that, a video still plays.
    player.setAddress(harness.fileLocn() + u"c01/fig01a.avi"_s);
    player.play();
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 20000);
}

QTEST_MAIN(TestMediaTeardown)
#include "tst_mediateardown.moc"
