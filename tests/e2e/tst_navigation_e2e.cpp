#include "e2eharness.h"
#include "pagevisits.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QPoint>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The engine's first start on a busy machine is slow; later pages are not.
constexpr int FirstPageTimeoutMs = 90000;
constexpr int PageTimeoutMs = 30000;

const QString Contents = u"Tamberlyn"_s;
const QString Module1 = u"Tamberlyn - Module 1"_s;

// What the learner does. The buttons sit in one row at the top of the
// client area, in this order.
enum class Action {
    Start = -1,
    Unmaximise = -2,
    ContentsButton = 0,
    Back = 3,
    Prev = 4,
    Next = 5,
    Section = 9,
};

QPoint buttonCentre(Action button)
{
    return {3 + 66 * int(button) + 65 / 2, 2 + 19 / 2};
}

struct Step
{
    QString what;
    Action action;
    QStringList handled;  // pages the page-load handler handles, in order
    QStringList recorded; // visits appended to the history file
    QString caption;
};

// One walk through the demo course on a 1920x1080 screen (size class 7,
// letter g). A module stub reached forwards is recorded and replaced by the
// sized page, which is not; reached by Back it is stepped over unrecorded.
QList<Step> courseWalk()
{
    return {
        {u"start"_s, Action::Start, {u"kqg.vxp"_s}, {u"kqg.vxp"_s}, Contents},
        {u"Next from contents opens module 1"_s, Action::Next, {u"kq010001.vxp"_s, u"mod01g.vxp"_s},
         {u"kq010001.vxp"_s}, Module1},
        {u"Next to the objectives"_s, Action::Next, {u"kq010002.vxp"_s, u"obj01g.vxp"_s}, {u"kq010002.vxp"_s},
         Module1},
        {u"Back over the objectives stub"_s, Action::Back, {u"kq010002.vxp"_s, u"mod01g.vxp"_s}, {}, Module1},
        {u"Back over the module stub"_s, Action::Back, {u"kq010001.vxp"_s, u"kqg.vxp"_s}, {u"kqg.vxp"_s}, Contents},
        // Going back must not stick: reached forwards again, the stub is recorded again.
        {u"Next opens module 1 again"_s, Action::Next, {u"kq010001.vxp"_s, u"mod01g.vxp"_s}, {u"kq010001.vxp"_s},
         Module1},
        {u"Next to the objectives again"_s, Action::Next, {u"kq010002.vxp"_s, u"obj01g.vxp"_s}, {u"kq010002.vxp"_s},
         Module1},
        {u"Next to the first content page"_s, Action::Next, {u"kq010003.vxp"_s}, {u"kq010003.vxp"_s}, Module1},
        {u"Next to the second content page"_s, Action::Next, {u"kq010004.vxp"_s}, {u"kq010004.vxp"_s}, Module1},
        {u"Prev"_s, Action::Prev, {u"kq010003.vxp"_s}, {u"kq010003.vxp"_s}, Module1},
        {u"Section"_s, Action::Section, {u"kq010001.vxp"_s, u"mod01g.vxp"_s}, {u"kq010001.vxp"_s}, Module1},
        // The page Back lands on is an ordinary page, recorded like any other visit.
        {u"Back over the stub to the content page"_s, Action::Back, {u"kq010001.vxp"_s, u"kq010003.vxp"_s},
         {u"kq010003.vxp"_s}, Module1},
        {u"Contents"_s, Action::ContentsButton, {u"kqg.vxp"_s}, {u"kqg.vxp"_s}, Contents},
        {u"Contents on contents"_s, Action::ContentsButton, {u"kqcrg.vxp"_s}, {u"kqcrg.vxp"_s}, Contents},
        {u"Contents on the alternate contents"_s, Action::ContentsButton, {u"kqg.vxp"_s}, {u"kqg.vxp"_s}, Contents},
        // Back to its normal 1280x800 client area: 1280 x (800 + title bar) is class 3.
        {u"un-maximised"_s, Action::Unmaximise, {u"kqc.vxp"_s}, {u"kqc.vxp"_s}, Contents},
        {u"Contents after the resize"_s, Action::ContentsButton, {u"kqcrc.vxp"_s}, {u"kqcrc.vxp"_s}, Contents},
    };
}

// Every page the handler reported so far, in order.
QStringList handledPages(QProcess *viewer)
{
    return PageVisits::handledPages(E2eHarness::output(viewer));
}

QStringList waitForHandledPages(QProcess *viewer, qsizetype count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QStringList pages = handledPages(viewer);
    while (pages.size() < count && !deadline.hasExpired() && viewer->state() == QProcess::Running) {
        viewer->waitForReadyRead(200);
        pages = handledPages(viewer);
    }
    return pages;
}

// History records, line ends shown, for failure messages.
QString showLineEnds(const QByteArray &records)
{
    return QString::fromLatin1(records).replace(u"\r"_s, u"\\r"_s).replace(u"\n"_s, u"\\n "_s);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The page is recorded just after the handler reports it; give it that moment.
QByteArray waitForFileContents(const QString &path, const QByteArray &expected, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray contents = readFile(path);
    while (contents != expected && !deadline.hasExpired()) {
        QTest::qWait(50);
        contents = readFile(path);
    }
    return contents;
}

struct WindowNames
{
    QString wmName;  // the caption as the program set it
    QString netName; // what the window manager shows (and `xdotool getwindowname` reads)
};

WindowNames windowNames(E2eHarness &harness, const QString &window)
{
    QString text;
    if (!harness.runOnDisplay(u"xprop"_s, {u"-id"_s, window, u"-notype"_s, u"WM_NAME"_s, u"_NET_WM_NAME"_s}, &text))
        return {};
    static const QRegularExpression line(uR"re(^(WM_NAME|_NET_WM_NAME) = "(.*)"$)re"_s,
                                         QRegularExpression::MultilineOption);
    WindowNames names;
    for (auto it = line.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        QString value = match.captured(2);
        value.replace(u"\\\""_s, u"\""_s).replace(u"\\\\"_s, u"\\"_s);
        (match.captured(1) == u"WM_NAME"_s ? names.wmName : names.netName) = value;
    }
    return names;
}

WindowNames waitForCaption(E2eHarness &harness, const QString &window, const QString &caption, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    WindowNames names = windowNames(harness, window);
    while (names.wmName != caption && !deadline.hasExpired()) {
        QTest::qWait(50);
        names = windowNames(harness, window);
    }
    return names;
}

bool isMaximised(E2eHarness &harness, const QString &window)
{
    QString state;
    return harness.runOnDisplay(u"xprop"_s, {u"-id"_s, window, u"_NET_WM_STATE"_s}, &state)
           && state.contains(u"_NET_WM_STATE_MAXIMIZED_VERT"_s) && state.contains(u"_NET_WM_STATE_MAXIMIZED_HORZ"_s);
}

} // namespace

class TestNavigationEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void buttonsHistoryAndResizeFollowTheCourse();
};

void TestNavigationEndToEnd::buttonsHistoryAndResizeFollowTheCourse()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1920, 1080}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    QProcess *viewer = harness.startViewer();
    QVERIFY2(viewer->state() == QProcess::Running, qPrintable(u"viewer: "_s + viewer->errorString()));
    const QString historyFile = harness.dornDir() + u"history.vxp"_s;

    QStringList handled;
    QByteArray history;
    QString window;
    for (const Step &step : courseWalk()) {
        switch (step.action) {
        case Action::Start:
            break;
        case Action::Unmaximise:
            QVERIFY2(harness.runOnDisplay(u"wmctrl"_s, {u"-i"_s, u"-r"_s, window, u"-b"_s,
                                                        u"remove,maximized_vert,maximized_horz"_s}),
                     qPrintable(harness.error()));
            break;
        default: {
            const QPoint at = buttonCentre(step.action);
            QVERIFY2(harness.runOnDisplay(u"xdotool"_s, {u"mousemove"_s, u"--window"_s, window, QString::number(at.x()),
                                                         QString::number(at.y()), u"click"_s, u"1"_s}),
                     qPrintable(harness.error()));
            break;
        }
        }

        handled += step.handled;
        for (const QString &page : step.recorded)
            history += '"' + page.toLatin1() + "\"\r\n";

        const QStringList seen = waitForHandledPages(viewer, handled.size(),
                                                     step.action == Action::Start ? FirstPageTimeoutMs : PageTimeoutMs);
        if (seen != handled) {
            // The window's geometry tells a window-manager fault from a viewer fault.
            QString geometry;
            if (!window.isEmpty())
                harness.runOnDisplay(u"xwininfo"_s, {u"-id"_s, window}, &geometry);
            const QString ended = viewer->state() == QProcess::NotRunning
                                      ? u"viewer ended, exit code %1\n"_s.arg(viewer->exitCode())
                                      : QString();
            QFAIL(qPrintable(u"%1: pages handled\n  %2\nexpected\n  %3\n%4%5%6"_s.arg(
                step.what, seen.join(u' '), handled.join(u' '), E2eHarness::output(viewer), ended, geometry)));
        }

        if (step.action == Action::Start) {
            // The window is shown, maximised, once the first page is in.
            QString found;
            const QDeadlineTimer deadline(PageTimeoutMs);
            while (!harness.runOnDisplay(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"Tamberlyn"_s},
                                         &found)
                   && !deadline.hasExpired())
                QTest::qWait(100);
            const QStringList ids = found.split(u'\n', Qt::SkipEmptyParts);
            QVERIFY2(ids.size() == 1, qPrintable(u"visible viewer windows: "_s + found + harness.error()));
            window = ids.constFirst();
            while (!isMaximised(harness, window) && !deadline.hasExpired())
                QTest::qWait(100);
            QVERIFY2(isMaximised(harness, window), "the viewer's window did not start maximised");
        }

        const QByteArray recorded = waitForFileContents(historyFile, history, PageTimeoutMs);
        QVERIFY2(recorded == history, qPrintable(u"%1: history file\n  %2\nexpected\n  %3"_s.arg(
                                          step.what, showLineEnds(recorded), showLineEnds(history))));

        const WindowNames names = waitForCaption(harness, window, step.caption, PageTimeoutMs);
        QVERIFY2(names.wmName == step.caption,
                 qPrintable(u"%1: caption \"%2\", expected \"%3\""_s.arg(step.what, names.wmName, step.caption)));
        // The title the window manager shows is the caption itself, with
        // nothing appended (Qt would add an application display name).
        QVERIFY2(names.netName == step.caption, qPrintable(u"%1: shown title \"%2\", expected \"%3\""_s.arg(
                                                    step.what, names.netName, step.caption)));
    }
}

QTEST_GUILESS_MAIN(TestNavigationEndToEnd)
#include "tst_navigation_e2e.moc"
