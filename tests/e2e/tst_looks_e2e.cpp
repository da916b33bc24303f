#include "e2eharness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The engine's first start on a busy machine is slow; later steps are not.
constexpr int FirstPageTimeoutMs = 90000;
constexpr int StepTimeoutMs = 30000;

// The demo course's own dark style, and high contrast, as the engine
// computes the contents page's body text and ground.
const QString DarkColours = uR"(text rgb\(227, 232, 238\) on rgb\(15, 23, 32\))"_s;
const QString ContrastColours = uR"(text rgb\(255, 255, 255\) on rgb\(0, 0, 0\))"_s;

class Viewer final
{
public:
    explicit Viewer(E2eHarness &harness)
        : m_harness(harness)
    {
    }

    bool start()
    {
        m_process = m_harness.startViewer();
        if (!line(u"document complete: .*/kqd\\.vxp"_s, FirstPageTimeoutMs))
            return false;
        m_window = m_harness.findWindow(u"^Tamberlyn"_s);
        return !m_window.isEmpty() || fail(u"no course window"_s);
    }

    void stop()
    {
        m_process->kill();
        m_process->waitForFinished(10000);
    }

    // Keys to `window` (the course window when empty), made active first.
    bool keys(const QStringList &keys, const QString &window = {})
    {
        const QString target = window.isEmpty() ? m_window : window;
        if (!xdotool({u"windowactivate"_s, u"--sync"_s, target}))
            return false;
        for (const QString &key : keys) {
            if (!xdotool({u"key"_s, u"--delay"_s, u"80"_s, key}))
                return false;
        }
        return true;
    }

    bool xdotool(const QStringList &arguments)
    {
        return m_harness.runOnDisplay(u"xdotool"_s, arguments) || fail(m_harness.error());
    }

    // The first log line matching `pattern` after what was read so far.
    std::optional<QRegularExpressionMatch> line(const QString &pattern, int timeoutMs = StepTimeoutMs)
    {
        auto match = E2eHarness::waitForMatch(m_process, pattern, m_read, timeoutMs);
        if (match)
            m_read = match->capturedEnd();
        else
            fail(u"no line matching \"%1\" in the viewer's log"_s.arg(pattern));
        return match;
    }

    // Whether a line matching `pattern` was logged at all.
    bool saw(const QString &pattern)
    {
        return QRegularExpression(pattern).match(E2eHarness::output(m_process)).hasMatch()
               || fail(u"no line matching \"%1\" in the viewer's log"_s.arg(pattern));
    }

    // The whole screen, kept in the build folder to look at.
    QImage screenshot(const QString &name)
    {
        QDir().mkpath(QStringLiteral(TAMBERLYN_LOOKS_ARTEFACTS));
        const QString file = QStringLiteral(TAMBERLYN_LOOKS_ARTEFACTS) + u'/' + name + u".png"_s;
        QImage image;
        if (!m_harness.runOnDisplay(u"import"_s, {u"-window"_s, u"root"_s, file}, nullptr, 20000) || !image.load(file))
            fail(u"no screenshot: "_s + m_harness.error());
        return image;
    }

    // Screenshots until `accept` takes one (the engine and the window
    // manager paint a moment after the viewer reports); the last one.
    template<typename Accept>
    QImage screenshotOnceIt(const QString &name, Accept accept)
    {
        const QDeadlineTimer deadline(15000);
        QImage shot;
        do {
            shot = screenshot(name);
            if (!shot.isNull() && accept(shot))
                break;
            QTest::qWait(250);
        } while (!deadline.hasExpired());
        return shot;
    }

    bool fail(const QString &problem)
    {
        m_problem = problem;
        return false;
    }

    QString problem() const { return m_problem + u"\n--- viewer log ---\n"_s + E2eHarness::viewerLines(m_process); }

private:
    E2eHarness &m_harness;
    QProcess *m_process = nullptr;
    QString m_window;
    qsizetype m_read = 0;
    QString m_problem;
};

// The mean lightness of a patch of the screen.
int lightness(const QImage &shot, const QRect &patch)
{
    qint64 sum = 0, n = 0;
    for (int y = patch.top(); y <= patch.bottom(); ++y)
        for (int x = patch.left(); x <= patch.right(); ++x, ++n)
            sum += QColor(shot.pixel(x, y)).lightness();
    return n ? int(sum / n) : -1;
}

} // namespace

// The looks on the real viewer: Ctrl+Shift+L turns the page shown and the
// frame dark, then high contrast, in place and keeping the place on the
// page; the engine's computed colours of the page are the look's; a page
// turn keeps the look; the key works in a finder window too; and the
// choice holds for the next start.
class TestLooksE2e final : public QObject
{
    Q_OBJECT

private slots:
    void looksSwitchAndHold();
};

void TestLooksE2e::looksSwitchAndHold()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    Viewer viewer(harness);
    QVERIFY2(viewer.start(), qPrintable(viewer.problem()));
    // Nothing chosen, no desktop preference on this display: light.
    QVERIFY2(viewer.saw(u"look light at start, from the desktop's preference"_s), qPrintable(viewer.problem()));
    const QRect pagePatch(900, 500, 200, 40); // page ground right of the picture and the list
    const QRect barPatch(700, 26, 400, 16);    // the frame right of the button bar
    const auto pageIsLight = [&pagePatch](const QImage &shot) { return lightness(shot, pagePatch) > 200; };
    QVERIFY2(pageIsLight(viewer.screenshotOnceIt(u"1-light"_s, pageIsLight)), qPrintable(viewer.problem()));

    // A little down the page, where the learner reads.
    QVERIFY(viewer.xdotool({u"mousemove"_s, u"640"_s, u"500"_s}));
    QVERIFY(viewer.xdotool({u"click"_s, u"--repeat"_s, u"3"_s, u"5"_s}));

    QVERIFY2(viewer.keys({u"ctrl+shift+l"_s}), qPrintable(viewer.problem()));
    auto shown = viewer.line(u"look dark shown on kqd\\.vxp in (\\d+) ms: as-made, .* "_s + DarkColours
                             + u", at y (\\d+)"_s);
    QVERIFY2(shown, qPrintable(viewer.problem()));
    const int place = shown->captured(2).toInt();
    QVERIFY2(place > 0, "the page was not scrolled");
    qInfo("dark reached the page shown %d ms after the key", shown->captured(1).toInt());
    const auto allDark = [&](const QImage &shot) {
        return lightness(shot, pagePatch) < 60 && lightness(shot, barPatch) < 60;
    };
    QVERIFY2(allDark(viewer.screenshotOnceIt(u"2-dark"_s, allDark)), "the page or the frame is not dark on the screen");

    QVERIFY2(viewer.keys({u"ctrl+shift+l"_s}), qPrintable(viewer.problem()));
    shown = viewer.line(u"look contrast shown on kqd\\.vxp in (\\d+) ms: forced, .* "_s + ContrastColours
                        + u", at y (\\d+)"_s);
    QVERIFY2(shown, qPrintable(viewer.problem()));
    QCOMPARE(shown->captured(2).toInt(), place); // the learner's place, kept
    const auto allBlack = [&](const QImage &shot) {
        return lightness(shot, pagePatch) == 0 && lightness(shot, barPatch) == 0;
    };
    QVERIFY2(allBlack(viewer.screenshotOnceIt(u"3-contrast"_s, allBlack)), "the page or the frame is not black");

    // A page turn keeps the look.
    QVERIFY2(viewer.keys({u"Next"_s}), qPrintable(viewer.problem()));
    QVERIFY2(viewer.line(u"look contrast on \\S+\\.vxp: forced, .* "_s + ContrastColours), qPrintable(viewer.problem()));

    // The key from the Search window: light, then dark.
    QVERIFY2(viewer.keys({u"alt+s"_s}), qPrintable(viewer.problem()));
    QVERIFY2(viewer.line(u"document complete: .*/search\\.vxp"_s), qPrintable(viewer.problem()));
    const QString search = harness.findWindow(u"Tamberlyn - Search"_s);
    QVERIFY2(!search.isEmpty(), qPrintable(viewer.problem()));
    QVERIFY2(viewer.keys({u"ctrl+shift+l"_s, u"ctrl+shift+l"_s}, search), qPrintable(viewer.problem()));
    QVERIFY2(viewer.line(u"look chosen: light"_s), qPrintable(viewer.problem()));
    QVERIFY2(viewer.line(u"look chosen: dark"_s), qPrintable(viewer.problem()));
    const auto searchDark = [](const QImage &shot) { return lightness(shot, QRect(200, 960, 600, 30)) < 80; };
    QVERIFY2(searchDark(viewer.screenshotOnceIt(u"4-search-dark"_s, searchDark)), "the Search window is not dark");
    viewer.stop();

    QFile viewState(harness.configHome() + u"/Marrowick/Tamberlyn-view.ini"_s);
    QVERIFY(viewState.open(QIODevice::ReadOnly));
    QVERIFY(viewState.readAll().contains("look=dark"));

    Viewer next(harness);
    QVERIFY2(next.start(), qPrintable(next.problem()));
    QVERIFY2(next.saw(u"look dark at start, from the setting \"dark\""_s), qPrintable(next.problem()));
    QVERIFY2(next.line(u"look dark on kqd\\.vxp: as-made, .* "_s + DarkColours), qPrintable(next.problem()));
    next.stop();
}

QTEST_GUILESS_MAIN(TestLooksE2e)
#include "tst_looks_e2e.moc"
