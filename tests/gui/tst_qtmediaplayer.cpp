#include "e2eharness.h"

#include "navigation/mediacontroller.h"
#include "navigation/picavi.h"
#include "platform/certificatepins.h"
#include "platform/qt/pinnedmediastream.h"
#include "platform/qt/qtmediaplayer.h"
#include "platform/qt/systemclock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <memory>

using namespace Tamberlyn::Platform;
using namespace Qt::StringLiterals;

// The real player against the real course server: media over pinned HTTPS,
// decoded by GStreamer with no sound device and no display of its own.
class TestQtMediaPlayer final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void playsToItsOwnEnd_data();
    void playsToItsOwnEnd();
    void neverPlaysWhatCannotBeFetched_data();
    void neverPlaysWhatCannotBeFetched();
    void stopEndsAtOnceAndPlayCanStartAgain();
    void videoOverTheWindowEndsByItself();
    void streamDeliversTheFileAsItArrives();
    void streamHoldsBackAnErrorPage();

private:
    CertificatePins pinned() const;

    std::unique_ptr<E2eHarness> m_harness;
};

void TestQtMediaPlayer::initTestCase()
{
    m_harness = std::make_unique<E2eHarness>();
    QVERIFY2(m_harness->startCourseServer(), qPrintable(m_harness->error()));
}

CertificatePins TestQtMediaPlayer::pinned() const
{
    CertificatePins pins;
    pins.pin(m_harness->courseHost(), *CertificatePins::parseFingerprint(m_harness->fingerprint()));
    return pins;
}

void TestQtMediaPlayer::playsToItsOwnEnd_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("video");

    QTest::newRow("figure video") << u"c01/fig01a.avi"_s << true;
    // The title video's address keeps the course map's two slashes.
    QTest::newRow("title video") << u"/kq/title.avi"_s << true;
    QTest::newRow("sound") << u"c01/v0101.wav"_s << false;
}

void TestQtMediaPlayer::playsToItsOwnEnd()
{
    QFETCH(QString, file);
    QFETCH(bool, video);

    const CertificatePins pins = pinned();
    QWidget window;
    window.resize(800, 600);
    auto *backdrop = new QWidget(&window);
    window.show();
    QtMediaPlayer player(pins, &window);
    QSignalSpy failures(&player, &QtMediaPlayer::failed);

    backdrop->raise();
    player.resize(QSize(480, 420));
    player.move(QPoint(160, 50));
    player.setVisible(true);
    player.setUiMode(video ? MediaPlayer::UiMode::None : MediaPlayer::UiMode::Invisible);
    // Timed by the player's own reports, not by when the test looks.
    QElapsedTimer clock;
    clock.start();
    qint64 began = -1;
    qint64 ended = -1;
    connect(&player, &MediaPlayer::playingChanged, this,
            [&](bool playing) { (playing ? began : ended) = clock.elapsed(); });
    player.setAddress(m_harness->fileLocn() + file);
    player.play();
    player.raise();

    QTRY_VERIFY_WITH_TIMEOUT(began >= 0, 20000);
    QWidget *area = player.videoArea();
    QVERIFY(area);
    QCOMPARE(area->geometry(), QRect(160, 50, 480, 420));
    QCOMPARE(area->isVisible(), video);
    QVERIFY(window.children().indexOf(area) > window.children().indexOf(backdrop));

    // Every demo media file lasts three seconds; ending much sooner would
    // mean it broke off rather than played.
    QTRY_VERIFY_WITH_TIMEOUT(ended >= 0, 20000);
    QVERIFY2(ended - began >= 2000, qPrintable(u"played for %1 ms"_s.arg(ended - began)));
    QVERIFY(!player.isPlaying());
    QVERIFY(failures.isEmpty());
    QCOMPARE(player.address(), m_harness->fileLocn() + file);
}

void TestQtMediaPlayer::neverPlaysWhatCannotBeFetched_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("pin");

    const QString zeros = QString(64, u'0');
    QTest::newRow("missing file") << u"c01/nothere.avi"_s << QString();
    QTest::newRow("not a media file") << u"kqa.vxp"_s << QString();
    QTest::newRow("certificate not pinned") << u"c01/fig01a.avi"_s << u"none"_s;
    QTest::newRow("certificate pinned differently") << u"c01/fig01a.avi"_s << zeros;
    QTest::newRow("plain http") << u"http://HOST/kq_cbt/kq/c01/fig01a.avi"_s << QString();
    QTest::newRow("nothing listening") << u"https://127.0.0.1:1/kq_cbt/kq/c01/fig01a.avi"_s << QString();
}

void TestQtMediaPlayer::neverPlaysWhatCannotBeFetched()
{
    QFETCH(QString, address);
    QFETCH(QString, pin);

    CertificatePins pins = pinned();
    if (pin == u"none"_s)
        pins = CertificatePins();
    else if (!pin.isEmpty())
        pins.pin(m_harness->courseHost(), *CertificatePins::parseFingerprint(pin));
    if (!address.contains(u':'))
        address.prepend(m_harness->fileLocn());
    address.replace(u"HOST"_s, m_harness->courseHost());

    QWidget window;
    QtMediaPlayer player(pins, &window);
    QSignalSpy changes(&player, &MediaPlayer::playingChanged);
    QSignalSpy failures(&player, &QtMediaPlayer::failed);
    player.setUiMode(MediaPlayer::UiMode::None);
    player.setVisible(true);
    player.setAddress(address);
    player.play();

    QTRY_COMPARE_WITH_TIMEOUT(failures.count(), 1, 20000);
    QVERIFY(!player.isPlaying());
    for (const QList<QVariant> &change : std::as_const(changes))
        QVERIFY(!change.at(0).toBool());
}

void TestQtMediaPlayer::stopEndsAtOnceAndPlayCanStartAgain()
{
    const CertificatePins pins = pinned();
    QWidget window;
    window.show();
    QtMediaPlayer player(pins, &window);
    player.setVisible(true);
    player.setAddress(m_harness->fileLocn() + u"c01/fig01a.avi"_s);
    player.play();
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 20000);
    QWidget *area = player.videoArea();
    QVERIFY(area && area->isVisible());

    QSignalSpy changes(&player, &MediaPlayer::playingChanged);
    player.stop();
    QVERIFY(!player.isPlaying());
    QCOMPARE(changes.count(), 1);
    QVERIFY(!area->isVisible());

    // A play after a stop fetches the media again from the start.
    player.play();
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 20000);

    // A new address ends the media playing now.
    player.setAddress(m_harness->fileLocn() + u"c01/v0101.wav"_s);
    QVERIFY(!player.isPlaying());
    player.play();
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 20000);
    player.stop();
    QVERIFY(!player.isPlaying());
}

void TestQtMediaPlayer::videoOverTheWindowEndsByItself()
{
    using Tamberlyn::Navigation::MediaController;
    using Tamberlyn::Navigation::PicAvi;

    const CertificatePins pins = pinned();
    QWidget window;
    window.resize(800, 600);
    auto *backdrop = new PicAvi(&window);
    auto *pane = new QWidget(&window);
    pane->resize(window.size());
    window.show();
    QtMediaPlayer player(pins, &window);
    SystemClock clock;
    MediaController media(player, *backdrop, clock, [] { return QSize(800, 600); });

    // What the window looked like when the video got going, whenever that
    // was: during the start's own pause or after it.
    bool played = false;
    bool shownInFront = false;
    QRect shownAt;
    connect(&player, &MediaPlayer::playingChanged, this, [&](bool playing) {
        QWidget *area = player.videoArea();
        if (!playing || played || !area)
            return;
        played = true;
        shownAt = area->geometry();
        const QObjectList &stack = window.children();
        shownInFront = area->isVisible() && backdrop->isVisible() && stack.indexOf(area) > stack.indexOf(backdrop)
                       && stack.indexOf(backdrop) > stack.indexOf(pane);
    });

    QElapsedTimer started;
    started.start();
    media.playVideo(m_harness->fileLocn() + u"c01/fig01a.avi"_s);
    QVERIFY(backdrop->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(played, 20000);
    QVERIFY(shownInFront);
    QCOMPARE(shownAt, QRect(160, 50, 480, 420));
    QWidget *area = player.videoArea();

    // The three-second video ends during the grace period; the first watch
    // tick after it, about six seconds from the start, takes it all down.
    QTRY_VERIFY_WITH_TIMEOUT(!backdrop->isVisible(), 20000);
    QVERIFY2(started.elapsed() >= 5500, qPrintable(u"down after %1 ms"_s.arg(started.elapsed())));
    QVERIFY(!area->isVisible());
    QCOMPARE(player.uiMode(), MediaPlayer::UiMode::Invisible);
    QVERIFY(!media.timerAVI().isActive());
    QVERIFY(!media.timerPREavi().isActive());
}

void TestQtMediaPlayer::streamDeliversTheFileAsItArrives()
{
    QFile original(QStringLiteral(TAMBERLYN_DEMO_SITE) + u"/kq_cbt/kq/c01/fig01a.avi"_s);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray expected = original.readAll();

    const CertificatePins pins = pinned();
    QNetworkAccessManager network;
    PinnedMediaStream stream(network, pins, QUrl(m_harness->fileLocn() + u"c01/fig01a.avi"_s));
    QSignalSpy drained(&stream, &PinnedMediaStream::drained);
    QByteArray received;
    connect(&stream, &QIODevice::readyRead, this, [&] { received += stream.readAll(); });

    QVERIFY(drained.wait(20000));
    QCOMPARE(received.size(), expected.size());
    QVERIFY(received == expected);
    QVERIFY(!stream.hasFailed());
}

void TestQtMediaPlayer::streamHoldsBackAnErrorPage()
{
    const CertificatePins pins = pinned();
    QNetworkAccessManager network;
    PinnedMediaStream stream(network, pins, QUrl(m_harness->fileLocn() + u"c01/nothere.avi"_s));
    QSignalSpy failed(&stream, &PinnedMediaStream::failed);
    QSignalSpy readable(&stream, &QIODevice::readyRead);

    QVERIFY(failed.wait(20000));
    QVERIFY(readable.isEmpty());
    QCOMPARE(stream.bytesAvailable(), qint64(0));
    QVERIFY(stream.readAll().isEmpty());
}

QTEST_MAIN(TestQtMediaPlayer)
#include "tst_qtmediaplayer.moc"
