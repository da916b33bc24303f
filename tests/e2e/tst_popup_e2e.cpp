#include "e2eharness.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int PageTimeoutMs = 90000;

struct Popup
{
    explicit Popup(E2eHarness &h) : harness(h) {}

    E2eHarness &harness;
    QProcess *process = nullptr;
    QString window;

    // Starts a pop-up with the pointer at `pointer` and waits for its window.
    bool start(QPoint pointer)
    {
        harness.runOnDisplay(u"xdotool"_s, {u"mousemove"_s, QString::number(pointer.x()), QString::number(pointer.y())});
        process = harness.startViewer({u"/POPJPG=pics/panel.jpg /W 400 /H 300"_s});
        const QDeadlineTimer deadline(60000);
        while (window.isEmpty() && !deadline.hasExpired() && process->state() == QProcess::Running) {
            harness.runOnDisplay(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--pid"_s,
                                                QString::number(process->processId())},
                                 &window, 5000);
            window = window.section(u'\n', 0, 0).trimmed();
            QTest::qWait(100);
        }
        return !window.isEmpty();
    }

    QRect geometry()
    {
        QString out;
        harness.runOnDisplay(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, window}, &out);
        const auto value = [&out](const char *key) {
            return QRegularExpression(QLatin1String(key) + u"=(-?\\d+)"_s).match(out).captured(1).toInt();
        };
        return {value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
    }
};

} // namespace

class TestPopupEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void showsAtThePointerAndEndsOnClickOrKey();
};

void TestPopupEndToEnd::showsAtThePointerAndEndsOnClickOrKey()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    QProcess *course = harness.startViewer();
    QVERIFY2(E2eHarness::waitForOutput(course, u"document complete: "_s + harness.fileLocn() + u"kqd.vxp"_s,
                                       PageTimeoutMs),
             qPrintable(E2eHarness::output(course)));

    Popup popup(harness);
    QVERIFY2(popup.start({200, 150}), qPrintable(E2eHarness::output(popup.process)));
    QVERIFY(harness.waitForServerLog(u"GET /kq_cbt/kq/pics/panel.jpg 200"_s, 30000));
    const QRect place = popup.geometry();
    QVERIFY2(qAbs(place.width() - 447) <= 2 && qAbs(place.height() - 320) <= 2,
             qPrintable(u"%1x%2"_s.arg(place.width()).arg(place.height())));
    QVERIFY2((place.topLeft() - QPoint(200, 150)).manhattanLength() <= 4,
             qPrintable(u"%1,%2"_s.arg(place.x()).arg(place.y())));

    // The left button pressed elsewhere on the screen ends the pop-up's
    // process. The button is sampled every 50 ms, so it is held as a hand
    // would hold it, not for the few milliseconds of a synthetic click.
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, {u"mousemove"_s, u"1270"_s, u"1015"_s, u"mousedown"_s, u"1"_s}));
    QElapsedTimer clock;
    clock.start();
    const bool ended = popup.process->waitForFinished(5000);
    const qint64 took = clock.elapsed();
    harness.runOnDisplay(u"xdotool"_s, {u"mouseup"_s, u"1"_s});
    QVERIFY(ended);
    qInfo("pop-up ended %lld ms after the button went down", static_cast<long long>(took));
    QCOMPARE(popup.process->exitCode(), 0);
    QCOMPARE(course->state(), QProcess::Running);

    // So does a key pressed in it.
    Popup second(harness);
    QVERIFY(second.start({300, 300}));
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, second.window, u"a"_s}));
    QVERIFY(second.process->waitForFinished(5000));
    QCOMPARE(second.process->exitCode(), 0);

    // Without /W and /H nothing shows and the instance ends by itself.
    QProcess *bare = harness.startViewer({u"/POPJPG=pics/panel.jpg"_s});
    QVERIFY(bare->waitForFinished(20000));
    QCOMPARE(bare->exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestPopupEndToEnd)
#include "tst_popup_e2e.moc"
