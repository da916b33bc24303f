#include "e2eharness.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int PageTimeoutMs = 90000;

// Seconds since the viewer started at which a log line matching `pattern`
// was printed; every line carries its time (see the message pattern below).
std::optional<double> timeOf(const QString &log, const QString &pattern)
{
    const QRegularExpression line(u"^\\s*(\\d+\\.\\d+) [^\\n]*"_s + pattern, QRegularExpression::MultilineOption);
    const auto match = line.match(log);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toDouble();
}

bool waitForLine(QProcess *viewer, const QString &pattern, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!timeOf(E2eHarness::output(viewer), pattern)) {
        if (deadline.hasExpired() || viewer->state() == QProcess::NotRunning)
            return false;
        viewer->waitForReadyRead(100);
    }
    return true;
}

} // namespace

class TestMediaEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void titleVideoPlaysOverThePageAndEndsByItself();
};

// "<<" on the contents page leads to the title page: the viewer steps back
// to the contents page and plays the title video over it.
void TestMediaEndToEnd::titleVideoPlaysOverThePageAndEndsByItself()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    QProcessEnvironment env = harness.viewerEnvironment();
    env.insert(u"QT_MESSAGE_PATTERN"_s, u"%{time process} %{category}: %{message}"_s);
    QProcess *viewer = harness.startViewer({}, env);
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"document complete: "_s + harness.fileLocn() + u"kqd.vxp"_s,
                                       PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    const QString window = harness.findWindow(u"^Tamberlyn"_s);
    QVERIFY(!window.isEmpty());

    QVERIFY(harness.clickBarButton(window, 4)); // "<<"
    const QString video = QRegularExpression::escape(harness.fileLocn() + u"/kq/title.avi"_s);
    QVERIFY2(waitForLine(viewer, u"tamberlyn.media: playing "_s + video, 30000), qPrintable(E2eHarness::output(viewer)));

    // The backdrop covers the page, the video sits on it: 60% x 70% of the
    // screen, centred, 50 pixels from the top.
    // The first frames take a moment to reach the screen: look a few times.
    const QString shot = harness.dataHome() + u"/video.png"_s;
    const QRect player(1280 / 2 - 768 / 2, 50, 768, 716);
    QImage screen;
    int coloured = 0;
    const QDeadlineTimer painted(5000);
    while (coloured <= 100 && !painted.hasExpired()) {
        QVERIFY(harness.runOnDisplay(u"import"_s, {u"-window"_s, u"root"_s, shot}, nullptr, 20000));
        screen.load(shot);
        QVERIFY(!screen.isNull());
        coloured = 0;
        for (int y = player.top() + 20; y < player.bottom() - 20; y += 40) {
            for (int x = player.left() + 20; x < player.right() - 20; x += 40)
                coloured += (screen.pixelColor(x, y).rgb() & 0xffffff) != 0 ? 1 : 0;
        }
    }
    QVERIFY2(coloured > 100, qPrintable(QString::number(coloured))); // the video's picture
    QCOMPARE(screen.pixelColor(player.left() - 40, 900).rgb() & 0xffffff, 0u); // backdrop
    QCOMPARE(screen.pixelColor(20, 1000).rgb() & 0xffffff, 0u);

    // The video ends by itself, and the watch takes the backdrop down within
    // one of its half-second ticks.
    QVERIFY2(waitForLine(viewer, u"tamberlyn.media: not playing "_s + video, 30000), qPrintable(E2eHarness::output(viewer)));
    QVERIFY2(waitForLine(viewer, u"media stopped by the watch"_s, 5000), qPrintable(E2eHarness::output(viewer)));
    const QString log = E2eHarness::output(viewer);
    const double started = *timeOf(log, u"tamberlyn.media: playing "_s + video);
    const double ended = *timeOf(log, u"tamberlyn.media: not playing "_s + video);
    const double down = *timeOf(log, u"media stopped by the watch"_s);
    QVERIFY2(ended - started > 8.0, qPrintable(log)); // it played to its end
    qInfo("video played %.2f s; backdrop down %.3f s after its end", ended - started, down - ended);
    // One watch tick is 0.5 s; the rest allows for a loaded machine.
    QVERIFY2(down - ended <= 0.75, qPrintable(u"backdrop down %1 s after the end"_s.arg(down - ended)));

    // The title page is not recorded; the contents page it stepped back to is.
    QFile history(harness.dornDir() + u"history.vxp"_s);
    QVERIFY(history.open(QIODevice::ReadOnly));
    QCOMPARE(history.readAll(), QByteArray("\"kqd.vxp\"\r\n\"kqd.vxp\"\r\n"));

    // Again, and Escape stops it at once, wherever the focus is.
    // Counted before the click: the video may be playing before the click's
    // own process has returned.
    const qsizetype before = E2eHarness::output(viewer).count(u"tamberlyn.media: playing"_s);
    QVERIFY(harness.clickBarButton(window, 4));
    const QDeadlineTimer again(30000);
    while (E2eHarness::output(viewer).count(u"tamberlyn.media: playing"_s) == before && !again.hasExpired())
        viewer->waitForReadyRead(100);
    QVERIFY2(!again.hasExpired(), qPrintable(E2eHarness::output(viewer)));
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, window, u"Escape"_s}));
    QVERIFY2(waitForLine(viewer, u"media stopped by the learner"_s, 3000), qPrintable(E2eHarness::output(viewer)));
}

QTEST_GUILESS_MAIN(TestMediaEndToEnd)
#include "tst_media_e2e.moc"
