#include "desktoplook.h"
#include "e2eharness.h"
#include "pagevisits.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <optional>
#include <random>
#include <set>

using namespace Qt::StringLiterals;

namespace {

// The learner's hands on the real viewer under a real window manager: a
// seeded random run of the buttons and keys of the four windows, the
// contents page's links to the finder windows, choices in their lists,
// Back, Esc, resizing and the window manager's maximise and restore, at a
// person's pace. After each burst of commands, once everything has come to
// rest, the desktop is read from the X server and judged.

constexpr int FirstPageTimeoutMs = 120000;
constexpr int SettleTimeoutMs = 60000;
// Nothing new on the screen or in the page log for this long: at rest. The
// longest pause of the viewer's own is a second, and a hand-over has two.
constexpr int QuietMs = 2500;
constexpr int DefaultCommands = 60;
const QSize Screen{1920, 1080};

int envNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

enum class Big { None, Main, Search, Index, History };

QString nameOf(Big window)
{
    switch (window) {
    case Big::Main:
        return u"course window"_s;
    case Big::Search:
        return u"Search"_s;
    case Big::Index:
        return u"Index"_s;
    case Big::History:
        return u"History"_s;
    case Big::None:
        break;
    }
    return u"none"_s;
}

Big bigWindowOf(const QString &title)
{
    static const QRegularExpression main(u"^Tamberlyn( - Module [0-9]+)?$"_s);
    if (main.match(title).hasMatch())
        return Big::Main;
    if (title == u"Tamberlyn - Search"_s)
        return Big::Search;
    if (title == u"Tamberlyn - Index"_s)
        return Big::Index;
    if (title == u"Tamberlyn - History"_s)
        return Big::History;
    return Big::None;
}

// Where a page leaves the learner once the viewer is done with it.
Big windowForPage(const QString &page)
{
    if (page == u"search.vxp"_s)
        return Big::Search;
    if (page == u"index.vxp"_s)
        return Big::Index;
    if (page == u"hist.vxp"_s)
        return Big::History;
    return Big::Main;
}

// The course's size classes, written out here from the course's own table
// so the viewer is judged by it, not by its code: the page letter for a
// window of w x h pixels (h with the title bar), or nothing where the table
// keeps the previous class.
std::optional<QChar> letterFor(int w, int h)
{
    struct Band
    {
        int minWidth;
        std::initializer_list<std::pair<int, int>> rules; // min height, class
        int below;                                        // 0: keeps the previous class
    };
    static const Band bands[] = {
        {2880, {{1920, 11}, {1600, 10}, {1440, 9}, {1080, 7}, {900, 6}}, 0},
        {2560, {{1600, 10}, {1440, 9}, {1080, 7}, {900, 6}, {800, 3}}, 0},
        {2160, {{1440, 8}, {1080, 7}, {900, 6}, {800, 3}}, 0},
        {1920, {{1080, 7}, {900, 6}, {800, 3}, {768, 2}}, 0},
        {1600, {{900, 6}, {800, 3}, {768, 2}}, 0},
        {1440, {{1024, 4}, {900, 5}, {800, 3}, {768, 2}}, 0},
        {1366, {{1024, 4}, {800, 3}, {768, 2}}, 1},
        {1280, {{1024, 4}, {800, 3}, {768, 2}}, 1},
        {0, {}, 1},
    };
    for (const Band &band : bands) {
        if (w < band.minWidth)
            continue;
        for (const auto &[minHeight, sizeClass] : band.rules) {
            if (h >= minHeight)
                return QChar(u'a' + sizeClass - 1);
        }
        if (band.below == 0)
            return std::nullopt;
        return QChar(u'a' + band.below - 1);
    }
    return std::nullopt;
}

// The size letter a page name carries, for the pages made in eleven sizes.
std::optional<QChar> pageLetter(const QString &page)
{
    static const QRegularExpression sized(u"^(kq|mod\\d\\d|obj\\d\\d|kqprac)([a-k])\\.vxp$"_s);
    const auto match = sized.match(page);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(2).at(0);
}

// One thing the hands do.
struct Command
{
    QString name;
    Big aimedAt = Big::None;
    // Where it leads: a window, or (Back and its kin) wherever the page the
    // pane goes back to leads; nothing for what is no navigation at all.
    std::optional<Big> target;
    bool followsPage = false;
    bool judged = true; // false when the window changed under the hands
};

struct Counts
{
    int commands = 0;      // navigation commands given
    int others = 0;        // Esc, resizing, maximise and restore
    int judged = 0;        // settles at which the last command could be judged
    int unjudged = 0;      // ... could not: the window changed as the hands moved
    int lost = 0;          // the last command's window never came
    int notOneWindow = 0;  // not exactly one of the four windows up
    int outside = 0;       // a window partly outside the work area
    int notMaximised = 0;  // the learner left it maximised, it was not
    int notRestored = 0;   // the learner left it normal, it was maximised
    int wrongVariant = 0;  // the page shown is made for another size
    int settles = 0;
    int linksNotFound = 0; // the hands could not find the link on the screen

    int broken() const { return lost + notOneWindow + outside + notMaximised + notRestored + wrongVariant; }
    QString report() const
    {
        return u"%1 navigation commands and %2 other actions in %3 settles (%4 judged, %5 not); lost %6; broken "
               "invariants %7: not one window %8, wrong window %6, outside the work area %9, not maximised %10, "
               "not restored %11, wrong page size %12; links not found on the screen %13"_s
            .arg(commands)
            .arg(others)
            .arg(settles)
            .arg(judged)
            .arg(unjudged)
            .arg(lost)
            .arg(broken())
            .arg(notOneWindow)
            .arg(outside)
            .arg(notMaximised)
            .arg(notRestored)
            .arg(wrongVariant)
            .arg(linksNotFound);
    }
};

class Hands final
{
public:
    Hands(E2eHarness &harness, QProcess *viewer, quint32 seed)
        : m_harness(harness), m_viewer(viewer), m_look(harness.display()), m_random(seed)
    {
    }

    bool start()
    {
        const QDeadlineTimer deadline(FirstPageTimeoutMs);
        while (pages().isEmpty() || upNow().size() != 1) {
            if (deadline.hasExpired() || m_viewer->state() != QProcess::Running)
                return fail(u"the course did not come up"_s);
            m_viewer->waitForReadyRead(200);
        }
        return settle();
    }

    // One burst of commands at a person's pace, then rest, then judge.
    bool burst(int length, int *given)
    {
        std::uniform_real_distribution<double> gap(0.3, 3.0);
        for (int i = 0; i < length; ++i) {
            if (i > 0)
                QTest::qWait(int(gap(m_random) * 1000));
            if (!act(i == 0))
                return false;
            ++*given;
        }
        if (!settle())
            return false;
        judge();
        return true;
    }

    const Counts &counts() const { return m_counts; }
    QStringList problems() const { return m_problems; }
    QString error() const { return m_error; }

private:
    QStringList pages() const { return PageVisits::handledPages(E2eHarness::output(m_viewer)); }
    // Videos started so far, and whether the last one is still up. Esc
    // stops the media whether or not any plays, and says so each time:
    // counting the stops against the starts would soon say no video is up
    // while one covers the window.
    std::pair<qsizetype, bool> videos() const
    {
        const QString log = E2eHarness::output(m_viewer);
        const qsizetype lastStart = log.lastIndexOf(u"tamberlyn.media: video "_s);
        return {log.count(u"tamberlyn.media: video "_s),
                lastStart >= 0 && log.indexOf(u"tamberlyn.media: media stopped by"_s, lastStart) < 0};
    }

    QList<DesktopLook::Window> upNow() const
    {
        QList<DesktopLook::Window> up;
        for (const DesktopLook::Window &window : m_look.visibleWindows()) {
            if (bigWindowOf(window.title) != Big::None)
                up << window;
        }
        return up;
    }

    // Waits until the screen and the page log have been still for a while.
    bool settle()
    {
        const QDeadlineTimer deadline(SettleTimeoutMs);
        QString last;
        QElapsedTimer still;
        still.start();
        for (;;) {
            QString now = QString::number(pages().size());
            for (const DesktopLook::Window &window : upNow()) {
                now += u"|%1 %2 %3,%4 %5x%6 %7"_s.arg(window.id)
                           .arg(window.title)
                           .arg(window.client.x())
                           .arg(window.client.y())
                           .arg(window.client.width())
                           .arg(window.client.height())
                           .arg(window.maximised);
            }
            if (now != last) {
                last = now;
                still.restart();
            } else if (still.elapsed() >= QuietMs) {
                return true;
            }
            if (m_viewer->state() != QProcess::Running)
                return fail(u"the viewer ended"_s);
            if (deadline.hasExpired())
                return fail(u"the viewer never came to rest"_s);
            QTest::qWait(100);
        }
    }

    // The one window of the four that is up, waiting a moment for a
    // hand-over to finish, as a person waits for the screen to show one.
    std::optional<DesktopLook::Window> theWindowUp()
    {
        const QDeadlineTimer deadline(5000);
        for (;;) {
            const auto up = upNow();
            if (up.size() == 1)
                return up.constFirst();
            if (deadline.hasExpired()) {
                // Two up for good (a fault judged at the settle): a person
                // goes on with the one that has the keyboard.
                const unsigned long focus = m_look.focusedWindow();
                for (const auto &window : up) {
                    if (window.id == focus)
                        return window;
                }
                return up.isEmpty() ? std::nullopt : std::optional(up.constFirst());
            }
            QTest::qWait(50);
        }
    }

    bool xdotool(const QStringList &arguments)
    {
        if (m_harness.runOnDisplay(u"xdotool"_s, arguments))
            return true;
        return fail(m_harness.error());
    }

    bool click(const DesktopLook::Window &window, QPoint at, int count = 1)
    {
        const QPoint screen = window.client.topLeft() + at;
        QStringList arguments{u"mousemove"_s, QString::number(screen.x()), QString::number(screen.y()), u"click"_s};
        if (count > 1)
            arguments << u"--repeat"_s << QString::number(count) << u"--delay"_s << u"90"_s;
        arguments << u"1"_s;
        return xdotool(arguments);
    }

    static QPoint barButton(int place) { return {3 + 66 * place + 32, 11}; }

    // The contents page's links under "Also in this course", found on the
    // screen by their colour: the last line of link-blue text holds six
    // links, Practice exams, Search, Word index, History, the title video
    // and the course map. Scrolls the page to its end first when needed.
    std::optional<QPoint> toolLink(const DesktopLook::Window &window, int index)
    {
        for (int attempt = 0; attempt < 2; ++attempt) {
            const QRect page(window.client.x(), window.client.y() + 24, window.client.width(),
                             window.client.height() - 24);
            const QImage picture = m_look.grab(page);
            if (picture.isNull())
                return std::nullopt;
            const auto isLink = [&picture](int x, int y) {
                const QRgb pixel = picture.pixel(x, y);
                return qAbs(qRed(pixel) - 0x1f) < 40 && qAbs(qGreen(pixel) - 0x5f) < 40 && qAbs(qBlue(pixel) - 0xa8) < 40;
            };
            // Rows with link colour, grouped into lines.
            QList<std::pair<int, int>> lines;
            for (int y = 0; y < picture.height(); ++y) {
                bool any = false;
                for (int x = 0; x < picture.width() && !any; ++x)
                    any = isLink(x, y);
                if (!any)
                    continue;
                if (!lines.isEmpty() && lines.constLast().second >= y - 2)
                    lines.last().second = y;
                else
                    lines.append({y, y});
            }
            if (!lines.isEmpty()) {
                const auto [top, bottom] = lines.constLast();
                QList<std::pair<int, int>> items;
                for (int x = 0; x < picture.width(); ++x) {
                    bool any = false;
                    for (int y = top; y <= bottom && !any; ++y)
                        any = isLink(x, y);
                    if (!any)
                        continue;
                    // Words of one link are a space apart; links, a wide gap.
                    if (!items.isEmpty() && items.constLast().second >= x - 14)
                        items.last().second = x;
                    else
                        items.append({x, x});
                }
                if (items.size() == 6) {
                    const auto [left, right] = items.at(index);
                    return QPoint((left + right) / 2, 24 + (top + bottom) / 2);
                }
            }
            // Not in view: to the page's end with the wheel.
            const QPoint middle(window.client.width() / 2, window.client.height() / 2);
            const QPoint screen = window.client.topLeft() + middle;
            if (!xdotool({u"mousemove"_s, QString::number(screen.x()), QString::number(screen.y()), u"click"_s,
                          u"--repeat"_s, u"15"_s, u"--delay"_s, u"20"_s, u"5"_s}))
                return std::nullopt;
            QTest::qWait(400);
        }
        return std::nullopt;
    }

    // Looks, chooses what to do with the window that is up, does it, and
    // looks again: a window that changed under the hands makes the command
    // one that cannot be judged (it may have gone to either window).
    // `atRest`: nothing the hands gave is still on its way. The window
    // manager's maximise and restore are used then only: given to a window
    // that an earlier command is about to replace, they race with the
    // viewer's hand-over, and no viewer can tell which the learner meant.
    bool act(bool atRest)
    {
        const auto window = theWindowUp();
        if (!window)
            return true; // nothing clear to act on: a person waits; so do the hands
        const Big big = bigWindowOf(window->title);
        const bool focused = m_look.focusedWindow() == window->id;
        // A video covers the course window, buttons and all, and a click or
        // Esc stops it: a person stops it first.
        const auto [started, videoUp] = videos();
        if (big == Big::Main && videoUp) {
            ++m_counts.others;
            m_story << u"Esc to stop the video"_s;
            return xdotool({u"key"_s, u"Escape"_s});
        }
        const QString page = pages().isEmpty() ? QString() : pages().constLast();

        struct Choice
        {
            const char *name;
            int weight;
        };
        QList<Choice> choices;
        const bool finder = big != Big::Main;
        choices << Choice{"Contents button", 6} << Choice{"Back button", 4} << Choice{"Esc", 2};
        if (atRest)
            choices << Choice{"maximise or restore", 12};
        if (atRest && !window->maximised)
            choices << Choice{"resize", 8};
        if (focused)
            choices << Choice{"Alt+C", 5} << Choice{"Alt+B", 3};
        if (!finder) {
            choices << Choice{"Search button", 6} << Choice{"History button", 5} << Choice{">> button", 5}
                    << Choice{"<< button", 2} << Choice{"Section button", 2};
            if (focused)
                choices << Choice{"Alt+S", 5} << Choice{"Alt+T", 4} << Choice{"Page Down", 3};
            if (PageVisits::kindOf(page) == PageVisits::PageKind::Contents)
                choices << Choice{"Search link", 6} << Choice{"Word index link", 6} << Choice{"History link", 6};
        } else {
            choices << Choice{"list choice", 7} << Choice{">> button", 1};
            if (big == Big::Search)
                choices << Choice{"Index button", 5} << Choice{"History button", 4};
            if (big == Big::Index)
                choices << Choice{"Search button", 5} << Choice{"History button", 4};
            if (big == Big::History)
                choices << Choice{"Search button", 5};
            if (focused && big == Big::Search)
                choices << Choice{"Alt+I", 4};
            if (focused && big != Big::History)
                choices << Choice{"Alt+T", 3};
            if (focused && big != Big::Search)
                choices << Choice{"Alt+S", 4};
        }
        QList<int> weights;
        for (const Choice &choice : choices)
            weights << choice.weight;
        std::discrete_distribution<int> pick(weights.begin(), weights.end());
        const QString name = QLatin1String(choices.at(pick(m_random)).name);

        Command command{name, big, std::nullopt, false, true};
        bool done = true;
        const auto key = [&](const char *keys) { return xdotool({u"key"_s, QLatin1String(keys)}); };
        if (name == u"Contents button"_s) {
            command.target = Big::Main;
            done = click(*window, barButton(0));
        } else if (name == u"Alt+C"_s) {
            command.target = Big::Main;
            done = key("alt+c");
        } else if (name == u"Back button"_s || name == u">> button"_s || name == u"Alt+B"_s) {
            // In a finder window all three step the pane back; in the
            // course window Back does, and >> turns the page. Either may
            // reach a trigger page, whose window then comes.
            command.followsPage = true;
            command.target = Big::Main;
            done = name == u"Alt+B"_s ? key("alt+b") : click(*window, barButton(name == u"Back button"_s ? 3 : 5));
        } else if (name == u"<< button"_s || name == u"Section button"_s || name == u"Page Down"_s) {
            command.target = Big::Main;
            command.followsPage = true; // a page may lead anywhere, a video or a stub
            done = name == u"Page Down"_s ? key("Next") : click(*window, barButton(name == u"<< button"_s ? 4 : 9));
        } else if (name == u"Search button"_s) {
            command.target = Big::Search;
            done = click(*window, barButton(2));
        } else if (name == u"Index button"_s) {
            command.target = Big::Index;
            done = click(*window, barButton(2));
        } else if (name == u"History button"_s) {
            command.target = Big::History;
            done = click(*window, barButton(6));
        } else if (name == u"Alt+S"_s) {
            command.target = Big::Search;
            done = key("alt+s");
        } else if (name == u"Alt+I"_s) {
            command.target = Big::Index;
            done = key("alt+i");
        } else if (name == u"Alt+T"_s) {
            command.target = Big::History;
            done = key("alt+t");
        } else if (name.endsWith(u" link"_s)) {
            const int index = name.startsWith(u"Search"_s) ? 1 : name.startsWith(u"Word"_s) ? 2 : 3;
            const auto at = toolLink(*window, index);
            if (!at) {
                ++m_counts.linksNotFound;
                return true; // the hands found no link to press; nothing given
            }
            command.target = index == 1 ? Big::Search : index == 2 ? Big::Index : Big::History;
            done = click(*window, *at);
        } else if (name == u"list choice"_s) {
            // A learner chooses from the list they see: any key first takes
            // away the help picture that Esc may have shown over it (Esc
            // shows and hides it in the Search window; a click on the picture
            // presses the button drawn there, a command of its own).
            done = key("shift");
            // The list needs entries: a search, or a few letters in the index.
            if (done && (big == Big::Search || big == Big::Index)) {
                done = click(*window, {100, 52}) && key("ctrl+a")
                       && xdotool({u"type"_s, u"--delay"_s, u"40"_s, big == Big::Search ? u"cable"_s : u"c"_s});
                if (done && big == Big::Search)
                    done = key("Return");
                QTest::qWait(200);
            }
            command.target = big == Big::Index ? Big::Search : Big::Main;
            command.followsPage = big == Big::History; // a page seen may be any page
            done = done && click(*window, {80, big == Big::History ? 40 : 120}, 2);
        } else if (name == u"Esc"_s) {
            done = key("Escape");
        } else if (name == u"maximise or restore"_s) {
            m_learnerMaximised = !window->maximised;
            done = m_harness.runOnDisplay(u"wmctrl"_s, {u"-i"_s, u"-r"_s, u"0x%1"_s.arg(window->id, 0, 16), u"-b"_s,
                                                        u"toggle,maximized_vert,maximized_horz"_s});
            // The learner sees the window change, or sees it go (a command
            // given before took it away meanwhile): then what the learner
            // left is not known until the screen settles.
            const QDeadlineTimer shown(1500);
            bool changed = false;
            while (done && !changed && !shown.hasExpired()) {
                const auto upThen = upNow();
                if (upThen.size() != 1 || upThen.constFirst().id != window->id)
                    break;
                changed = upThen.constFirst().maximised == m_learnerMaximised;
                if (!changed)
                    QTest::qWait(50);
            }
            if (!changed)
                m_stateUnknown = true;
        } else if (name == u"resize"_s) {
            static const QSize sizes[] = {{1000, 700}, {1280, 820}, {1440, 910}, {1700, 950}, {968, 741}};
            const QSize size = sizes[std::uniform_int_distribution<int>(0, 4)(m_random)];
            const QRect area = m_look.workArea();
            const int x = std::uniform_int_distribution<int>(area.left() + 10,
                                                             qMax(area.left() + 10, area.right() - size.width() - 20))(m_random);
            const int y = std::uniform_int_distribution<int>(area.top() + 40,
                                                             qMax(area.top() + 40, area.bottom() - size.height() - 20))(m_random);
            m_learnerMaximised = false;
            done = xdotool({u"windowmove"_s, QString::number(window->id), QString::number(x), QString::number(y)})
                   && xdotool({u"windowsize"_s, QString::number(window->id), QString::number(size.width()),
                                QString::number(size.height())});
        }
        if (!done)
            return false;

        const auto after = upNow();
        command.judged = after.size() == 1 && after.constFirst().id == window->id;
        if (command.target) {
            ++m_counts.commands;
            m_last = command;
            m_lastPagesBefore = pages().size();
            m_lastVideosBefore = started;
        } else {
            ++m_counts.others;
            // A command in flight that the window changed under, or a resize
            // of a window about to go: the last command can no longer be
            // judged on its own.
            if (!command.judged && m_last)
                m_last->judged = false;
        }
        m_story << u"%1 in %2%3"_s.arg(name, nameOf(big), command.judged ? QString() : u" (raced)"_s);
        return true;
    }

    void problem(const QString &text)
    {
        m_problems << u"settle %1: %2; the hands: %3; pages: %4"_s.arg(m_counts.settles)
                          .arg(text, m_story.join(u", "_s), pages().mid(m_pagesAtBurst).join(u' '));
    }

    void judge()
    {
        ++m_counts.settles;
        const auto up = upNow();
        const QRect workArea = m_look.workArea();
        if (up.size() != 1) {
            ++m_counts.notOneWindow;
            QStringList titles;
            for (const auto &window : up)
                titles << window.title;
            problem(u"%1 of the four windows up: %2"_s.arg(up.size()).arg(titles.join(u", "_s)));
        }
        for (const auto &window : up) {
            if (!workArea.contains(window.outer())) {
                ++m_counts.outside;
                problem(u"%1 lies at %2,%3 %4x%5 with its frame, outside the work area %6,%7 %8x%9"_s
                            .arg(window.title)
                            .arg(window.outer().x())
                            .arg(window.outer().y())
                            .arg(window.outer().width())
                            .arg(window.outer().height())
                            .arg(workArea.x())
                            .arg(workArea.y())
                            .arg(workArea.width())
                            .arg(workArea.height()));
            }
        }
        if (up.size() == 1) {
            const DesktopLook::Window &window = up.constFirst();
            const Big big = bigWindowOf(window.title);
            // A video that came up after the last command was given (an
            // earlier one led to it) took the clicks and keys meant for the
            // window under it.
            if (m_last && videos().first > m_lastVideosBefore)
                m_last->judged = false;
            if (m_last) {
                if (!m_last->judged) {
                    ++m_counts.unjudged;
                } else {
                    ++m_counts.judged;
                    std::optional<Big> expected = m_last->target;
                    const QStringList handled = pages();
                    if (m_last->followsPage) {
                        // Wherever the page the command led to leaves the learner.
                        expected = handled.size() > m_lastPagesBefore ? windowForPage(handled.constLast()) : big;
                    }
                    if (expected && *expected != big) {
                        ++m_counts.lost;
                        problem(u"the last command, %1 in %2, points to %3; %4 is up"_s.arg(
                            m_last->name, nameOf(m_last->aimedAt), nameOf(*expected), nameOf(big)));
                    }
                }
            }
            if (m_stateUnknown) {
                // The maximise or restore raced with a hand-over.
            } else if (m_learnerMaximised && !window.maximised) {
                ++m_counts.notMaximised;
                problem(u"%1 is not maximised; the learner's window was"_s.arg(window.title));
            } else if (!m_learnerMaximised && window.maximised) {
                ++m_counts.notRestored;
                problem(u"%1 is maximised; the learner had restored it"_s.arg(window.title));
            }
            checkVariant(window);
            // The learner goes on from what the screen shows.
            m_learnerMaximised = window.maximised;
            m_stateUnknown = false;
        }
        m_last.reset();
        m_story.clear();
        m_pagesAtBurst = pages().size();
    }

    void checkVariant(const DesktopLook::Window &window)
    {
        if (bigWindowOf(window.title) != Big::Main || pages().isEmpty())
            return;
        const QString page = pages().constLast();
        const auto letter = pageLetter(page);
        if (!letter)
            return;
        // The viewer measures its window with the style's title bar, which
        // the test cannot know exactly: any height a title bar may have.
        std::set<QChar> allowed;
        if (window.maximised) {
            if (const auto full = letterFor(Screen.width(), Screen.height()))
                allowed.insert(*full);
        } else {
            for (int titleBar = 10; titleBar <= 40; ++titleBar) {
                const auto fits = letterFor(window.client.width(), window.client.height() + titleBar);
                if (!fits)
                    return; // the table keeps whatever class came before
                allowed.insert(*fits);
            }
        }
        if (!allowed.count(*letter)) {
            ++m_counts.wrongVariant;
            problem(u"%1 shows %2, made for another size than %3x%4"_s.arg(window.title, page)
                        .arg(window.client.width())
                        .arg(window.client.height()));
        }
    }

    bool fail(const QString &text)
    {
        m_error = text;
        return false;
    }

    E2eHarness &m_harness;
    QProcess *m_viewer;
    DesktopLook m_look;
    std::mt19937 m_random;
    Counts m_counts;
    std::optional<Command> m_last;
    qsizetype m_lastPagesBefore = 0;
    qsizetype m_lastVideosBefore = 0;
    qsizetype m_pagesAtBurst = 0;
    bool m_learnerMaximised = true; // the course starts maximised
    bool m_stateUnknown = false;
    QStringList m_story;
    QStringList m_problems;
    QString m_error;
};

} // namespace

class TestHandsEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void learnersHands_data();
    void learnersHands();
};

void TestHandsEndToEnd::learnersHands_data()
{
    QTest::addColumn<QString>("windowManager");
    const QString only = qEnvironmentVariable("TAMBERLYN_HANDS_WM");
    for (const QString &manager : {u"openbox"_s, u"xfwm4"_s}) {
        if (only.isEmpty() || only == manager)
            QTest::newRow(qPrintable(manager)) << manager;
    }
}

// TAMBERLYN_HANDS_COMMANDS sets the number of commands (60 unless set),
// TAMBERLYN_HANDS_SEED repeats a run, TAMBERLYN_HANDS_VIEWER runs another
// build's viewer (to compare), TAMBERLYN_HANDS_WM one window manager only.
void TestHandsEndToEnd::learnersHands()
{
    QFETCH(QString, windowManager);
    if (const QString missing = E2eHarness::windowManagerUnavailable(windowManager); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    const int commands = envNumber("TAMBERLYN_HANDS_COMMANDS", DefaultCommands);
    const auto seed = static_cast<quint32>(
        envNumber("TAMBERLYN_HANDS_SEED", int(QRandomGenerator::global()->bounded(1, 1 << 30))));
    const QString viewerProgram = qEnvironmentVariable("TAMBERLYN_HANDS_VIEWER");
    qInfo("hands: %d commands under %s, seed %u (TAMBERLYN_HANDS_SEED=%u repeats this run), viewer %s", commands,
          qPrintable(windowManager), seed, seed,
          viewerProgram.isEmpty() ? "of this build" : qPrintable(viewerProgram));

    E2eHarness harness;
    QVERIFY2(harness.startDisplay(Screen, windowManager), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    QProcess *viewer = harness.startViewer({}, {}, viewerProgram);
    QVERIFY2(viewer->state() == QProcess::Running, qPrintable(u"viewer: "_s + viewer->errorString()));

    QElapsedTimer clock;
    clock.start();
    Hands hands(harness, viewer, seed ^ 0x5eed);
    QVERIFY2(hands.start(), qPrintable(hands.error()));
    std::mt19937 bursts(seed);
    int given = 0;
    while (given < commands) {
        const int length = qMin(std::uniform_int_distribution<int>(1, 6)(bursts), commands - given);
        QVERIFY2(hands.burst(length, &given), qPrintable(hands.error() + u"\n"_s + E2eHarness::viewerLines(viewer).right(4000)));
    }
    qInfo("hands: %s: %s; %.0f s", qPrintable(windowManager), qPrintable(hands.counts().report()),
          double(clock.elapsed()) / 1000.0);
    for (const QString &problem : hands.problems())
        qWarning().noquote() << "hands:" << problem;
    // The viewer's own story, for a run to be read afterwards.
    if (QDir().mkpath(QStringLiteral(TAMBERLYN_HANDS_ARTEFACTS))) {
        QFile log(QStringLiteral(TAMBERLYN_HANDS_ARTEFACTS "/") + windowManager + u"-viewer.log"_s);
        if (log.open(QIODevice::WriteOnly | QIODevice::Truncate))
            log.write(E2eHarness::viewerLines(viewer).toUtf8());
    }
    QVERIFY2(hands.counts().broken() == 0,
             qPrintable(u"seed %1: %2; first: %3"_s.arg(seed).arg(hands.counts().report(), hands.problems().value(0))));
}

int main(int argc, char *argv[])
{
    // QtTest's watchdog ends a test function after five minutes; a long run
    // takes as long as its length asks.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT",
                QByteArray::number(qint64(envNumber("TAMBERLYN_HANDS_COMMANDS", DefaultCommands)) * 15000 + 600000));
    QCoreApplication app(argc, argv);
    TestHandsEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_hands_e2e.moc"
