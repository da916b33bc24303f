#include "../unit/common/fakeplayer.h"
#include "programfixture.h"

#include "navigation/mediacontroller.h"
#include "navigation/picavi.h"
#include "reading/findbar.h"
#include "reading/pagezoom.h"
#include "reading/readingaids.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QLoggingCategory>
#include <QTest>
#include <QWheelEvent>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

namespace {

const QString Base = ProgramFixture::base();
const QString SecnLink = Base + u"kq010002.vxp"_s;
const QString PrevLink = Base + u"kq010002.vxp#prev"_s;
const QString NextLink = Base + u"kq010004.vxp"_s;

// The course window on a content page, its Escape wired to a player, its
// quit question and its zoom setting recorded.
struct Course : ProgramFixture
{
    FakePlayer player{events, &frmVK};
    Navigation::PicAvi *backdrop = new Navigation::PicAvi(&frmVK);
    Navigation::MediaController media{player, *backdrop, clock, [] { return QSize(1920, 1080); }};
    QList<int> storedZoom;

    Course()
    {
        settings.calculator = u"/bin/true"_s;
        frmVK.setMediaController(&media);
        frmVK.setQuitQuestion([this] { events << u"quit"_s; });
        frmVK.setZoomStore([this](int percent) {
            storedZoom << percent;
            return true;
        });
        pane->linksOf.insert(Base + u"kq010003.vxp"_s, {SecnLink, PrevLink, NextLink});
        pane->navigate(Base + u"kq010003.vxp"_s);
        pane->deliverAll();
        events.clear();
    }

    Reading::FindBar &bar() { return frmVK.readingAids().findBar(); }
    QLineEdit *txtFind() { return bar().findChild<QLineEdit *>(u"txtFind"_s); }
    QWidget *focus() { return QApplication::focusWidget(); }
    bool helpShown() { return frmVK.findChild<QLabel *>(u"picHelp"_s)->isVisible(); }
};

bool activate(QWidget &window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// The last find's answer from the engine.
void answerFind(Course &c, int active, int count)
{
    QVERIFY(!c.pane->findAnswers.isEmpty());
    if (const auto &answer = c.pane->findAnswers.constLast())
        answer({active, count});
}

} // namespace

class TestReadingAids final : public QObject
{
    Q_OBJECT

private slots:
    void keyTable_data();
    void keyTable();
    void findBarCountsAndFollowsPageTurns();
    void findBarMarksStayOffThePaper();
    void pageLeavesRoomForTheFindBar();
    void ctrlWheelZoomsOverThePageOnly();
    void findBarControlsAreNamedAndInTheTabOrder();
    void searchWordsShowOnTheChosenPageOnly();
};

void TestReadingAids::keyTable_data()
{
    QTest::addColumn<QString>("focus"); // "button": a bar button; "find": the find bar's entry, "cable" in it
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QStringList>("effects"); // events that must follow; none: nothing may happen
    QTest::addColumn<bool>("helpAfter");      // the help image shows before every key
    QTest::addColumn<bool>("barAfter");

    const Qt::KeyboardModifiers none;
    const Qt::KeyboardModifiers alt = Qt::AltModifier;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const QStringList previous{u"navigate "_s + PrevLink};
    const QStringList next{u"navigate "_s + NextLink};
    const QStringList stopMedia{u"stop"_s, u"mode invisible"_s};
    const QStringList nothing;

    // The course's own keys, each as before, from a button and from the find bar.
    for (const QString &focus : {u"button"_s, u"find"_s}) {
        const bool bar = focus == u"find"_s;
        const QByteArray where = focus.toLatin1();
        QTest::addRow("%s: Alt+Q", where.data()) << focus << int(Qt::Key_Q) << alt << QStringList{u"quit"_s} << false
                                                 << bar;
        QTest::addRow("%s: Alt+comma", where.data()) << focus << int(Qt::Key_Comma) << alt << previous << false << bar;
        QTest::addRow("%s: Page Up", where.data()) << focus << int(Qt::Key_PageUp) << none << previous << false << bar;
        QTest::addRow("%s: Alt+full stop", where.data()) << focus << int(Qt::Key_Period) << alt << next << false << bar;
        QTest::addRow("%s: Page Down", where.data()) << focus << int(Qt::Key_PageDown) << none << next << false << bar;
        QTest::addRow("%s: Alt+C", where.data()) << focus << int(Qt::Key_C) << alt
                                                 << QStringList{u"navigate "_s + Base + u"kqg.vxp"_s} << false << bar;
        QTest::addRow("%s: Alt+P", where.data()) << focus << int(Qt::Key_P) << alt << QStringList{u"print dialog"_s}
                                                 << false << bar;
        QTest::addRow("%s: Alt+S", where.data())
            << focus << int(Qt::Key_S) << alt << QStringList{u"navigate "_s + Base + u"search.vxp"_s} << false << bar;
        QTest::addRow("%s: Alt+B", where.data()) << focus << int(Qt::Key_B) << alt << QStringList{u"back"_s} << false
                                                 << bar;
        QTest::addRow("%s: Alt+T", where.data()) << focus << int(Qt::Key_T) << alt
                                                 << QStringList{u"navigate "_s + Base + u"hist.vxp"_s} << false << bar;
        QTest::addRow("%s: Alt+A", where.data()) << focus << int(Qt::Key_A) << alt
                                                 << QStringList{u"start /bin/true"_s} << false << bar;
        // Any key hides the help image first, so Help shows it again.
        QTest::addRow("%s: Alt+H", where.data()) << focus << int(Qt::Key_H) << alt << nothing << true << bar;
        QTest::addRow("%s: Alt+N", where.data()) << focus << int(Qt::Key_N) << alt
                                                 << QStringList{u"navigate "_s + SecnLink} << false << bar;
        // The reading aids' keys, from anywhere in the window; the page
        // stands at 125% before each.
        QTest::addRow("%s: Ctrl+Plus", where.data()) << focus << int(Qt::Key_Plus) << (ctrl | shift)
                                                     << QStringList{u"zoom 1.5"_s} << false << bar;
        QTest::addRow("%s: Ctrl+=", where.data()) << focus << int(Qt::Key_Equal) << ctrl << QStringList{u"zoom 1.5"_s}
                                                  << false << bar;
        QTest::addRow("%s: Ctrl+keypad +", where.data()) << focus << int(Qt::Key_Plus) << (ctrl | Qt::KeypadModifier)
                                                         << QStringList{u"zoom 1.5"_s} << false << bar;
        QTest::addRow("%s: Ctrl+Minus", where.data()) << focus << int(Qt::Key_Minus) << ctrl
                                                      << QStringList{u"zoom 1.1"_s} << false << bar;
        QTest::addRow("%s: Ctrl+0", where.data()) << focus << int(Qt::Key_0) << ctrl << QStringList{u"zoom 1"_s}
                                                  << false << bar;
    }
    QTest::newRow("button: Escape stops the media") << u"button"_s << int(Qt::Key_Escape) << none << stopMedia
                                                    << false << false;
    QTest::newRow("button: another key") << u"button"_s << int(Qt::Key_X) << none << nothing << false << false;
    QTest::newRow("button: Ctrl+F opens the bar") << u"button"_s << int(Qt::Key_F) << ctrl << nothing << false
                                                  << true;
    QTest::newRow("button: F3 opens the bar") << u"button"_s << int(Qt::Key_F3) << none << nothing << false << true;
    QTest::newRow("button: Shift+F3 opens the bar") << u"button"_s << int(Qt::Key_F3) << shift << nothing << false
                                                    << true;
    // Esc in the bar is still the main window's Esc (media stop), then the bar's.
    QTest::newRow("find: Escape closes the bar")
        << u"find"_s << int(Qt::Key_Escape) << none << (stopMedia + QStringList{u"stop finding"_s}) << false << false;
    QTest::newRow("find: Enter") << u"find"_s << int(Qt::Key_Return) << none
                                 << QStringList{u"find cable forward"_s} << false << true;
    QTest::newRow("find: keypad Enter") << u"find"_s << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                        << QStringList{u"find cable forward"_s} << false << true;
    QTest::newRow("find: Shift+Enter") << u"find"_s << int(Qt::Key_Return) << shift
                                       << QStringList{u"find cable backward"_s} << false << true;
    QTest::newRow("find: F3") << u"find"_s << int(Qt::Key_F3) << none << QStringList{u"find cable forward"_s} << false
                              << true;
    QTest::newRow("find: Shift+F3") << u"find"_s << int(Qt::Key_F3) << shift << QStringList{u"find cable backward"_s}
                                    << false << true;
    QTest::newRow("find: a letter finds as typed") << u"find"_s << int(Qt::Key_S) << none
                                                   << QStringList{u"find cables forward"_s} << false << true;
    QTest::newRow("find: Ctrl+F stays") << u"find"_s << int(Qt::Key_F) << ctrl << nothing << false << true;
}

// Every key the main window answers, the course's own and the reading
// aids', through the real window: the key table in one place, none lost.
void TestReadingAids::keyTable()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QStringList, effects);
    QFETCH(bool, helpAfter);
    QFETCH(bool, barAfter);

    Course c;
    QVERIFY(activate(c.frmVK));
    c.frmVK.readingAids().zoom().zoomIn();
    c.frmVK.readingAids().zoom().zoomIn();
    QWidget *target = c.frmVK.findChild<QPushButton *>(u"cmdBack"_s);
    if (focus == u"find"_s) {
        c.bar().open();
        QTest::keyClicks(c.txtFind(), u"cable"_s);
        target = c.txtFind();
    }
    target->setFocus();
    QTRY_COMPARE(c.focus(), target);
    c.frmVK.cmdHelp_Click();
    QVERIFY(c.helpShown());
    c.events.clear();

    QTest::keyClick(target, Qt::Key(key), modifiers);
    // An access key presses its button a moment later.
    for (const QString &effect : effects)
        QTRY_VERIFY2_WITH_TIMEOUT(c.events.contains(effect), qPrintable(effect + u" in "_s + c.events.join(u", "_s)),
                                  2000);
    if (effects.isEmpty()) {
        QTest::qWait(300);
        QVERIFY2(c.events.isEmpty(), qPrintable(c.events.join(u", "_s)));
    }
    QCOMPARE(c.helpShown(), helpAfter);
    QCOMPARE(!c.bar().isHidden(), barAfter);
    if (barAfter && focus == u"button"_s)
        QCOMPARE(c.focus(), c.txtFind()); // the bar opened: the entry takes the keys
}

void TestReadingAids::findBarCountsAndFollowsPageTurns()
{
    Course c;
    QVERIFY(activate(c.frmVK));
    auto *count = c.bar().findChild<QLabel *>(u"lblFindCount"_s);
    c.bar().open();
    QTest::keyClicks(c.txtFind(), u"ca"_s);
    QCOMPARE(c.events, (QStringList{u"find c forward"_s, u"find ca forward"_s}));
    // The engine answers an overtaken find too, with nothing found; only the
    // newest answer counts.
    answerFind(c, 1, 12);
    QCOMPARE(count->text(), u"1 of 12"_s);
    c.pane->findAnswers.constFirst()({0, 0});
    QCOMPARE(count->text(), u"1 of 12"_s);
    QTest::keyClick(c.txtFind(), Qt::Key_F3);
    answerFind(c, 2, 12);
    QCOMPARE(count->text(), u"2 of 12"_s);

    // A page turn keeps the bar open and finds in the new page.
    c.events.clear();
    c.pane->navigate(NextLink);
    c.pane->deliverAll();
    QVERIFY(c.events.contains(u"find ca forward"_s));
    QVERIFY(!c.bar().isHidden());
    answerFind(c, 0, 0);
    QCOMPARE(count->text(), u"No matches"_s);

    // Closed, it finds nothing more and clears the page's marks; opened
    // again, it finds its text at once.
    c.bar().closeBar();
    c.events.clear();
    c.pane->navigate(PrevLink);
    c.pane->deliverAll();
    QVERIFY(!c.events.join(u' ').contains(u"find"_s));
    auto *back = c.frmVK.findChild<QPushButton *>(u"cmdBack"_s);
    back->setFocus();
    QTest::keyClick(back, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(c.events.contains(u"find ca forward"_s));
    QCOMPARE(c.txtFind()->selectedText(), u"ca"_s); // typing replaces it
    // An emptied entry ends the finding.
    c.events.clear();
    c.txtFind()->clear();
    QCOMPARE(c.events, QStringList{u"stop finding"_s});
    QVERIFY(count->text().isEmpty());
}

// The engine prints find-in-page matches in its marks' colours: they come
// off while the page prints, and the learner is back at the same match after.
void TestReadingAids::findBarMarksStayOffThePaper()
{
    Course c;
    QVERIFY(activate(c.frmVK));
    auto *count = c.bar().findChild<QLabel *>(u"lblFindCount"_s);
    c.bar().open();
    QTest::keyClicks(c.txtFind(), u"ca"_s);
    answerFind(c, 1, 12);
    QTest::keyClick(c.txtFind(), Qt::Key_F3);
    answerFind(c, 2, 12);

    c.events.clear();
    emit c.pane->printStarting();
    QCOMPARE(c.events, QStringList{u"stop finding"_s});
    QCOMPARE(count->text(), u"2 of 12"_s);
    c.events.clear();
    emit c.pane->printEnded();
    QCOMPARE(c.events, QStringList{u"find ca forward"_s});
    // The engine goes on from the match it kept selected: one step back.
    answerFind(c, 3, 12);
    QCOMPARE(c.events, (QStringList{u"find ca forward"_s, u"find ca backward"_s}));
    answerFind(c, 2, 12);
    QCOMPARE(count->text(), u"2 of 12"_s);

    // A closed bar has no marks to take off.
    c.bar().closeBar();
    c.events.clear();
    emit c.pane->printStarting();
    emit c.pane->printEnded();
    QCOMPARE(c.events, QStringList());
}

// The page and the bar share the area under the button bar; the window's
// size, and so the size class, stays what it was.
void TestReadingAids::pageLeavesRoomForTheFindBar()
{
    Course c;
    auto *page = new QWidget(&c.frmVK);
    page->setFocusPolicy(Qt::StrongFocus); // as the engine's view takes it
    c.pane->viewWidget = page;
    QVERIFY(activate(c.frmVK));
    page->show();
    c.frmVK.setWindowState(Qt::WindowNoState);
    c.frmVK.resize(1280, 800);
    c.frmVK.Form_Resize();
    const auto measure = c.frmVK.state();
    QCOMPARE(page->geometry(), QRect(0, 24, 1280, 776));

    c.bar().open();
    QCOMPARE(page->geometry(), QRect(0, 24, 1280, 776 - Reading::FindBar::Height));
    QCOMPARE(c.bar().geometry(), QRect(0, 800 - Reading::FindBar::Height, 1280, Reading::FindBar::Height));
    c.frmVK.resize(1000, 700);
    QCOMPARE(c.bar().geometry(), QRect(0, 700 - Reading::FindBar::Height, 1000, Reading::FindBar::Height));
    c.frmVK.resize(1280, 800);
    QCOMPARE(c.frmVK.state().ScreenWidth, measure.ScreenWidth);
    QCOMPARE(c.frmVK.state().ScreenHeight, measure.ScreenHeight);
    QCOMPARE(c.frmVK.state().ScreenSize, measure.ScreenSize);

    c.bar().closeBar();
    QCOMPARE(page->geometry(), QRect(0, 24, 1280, 776));
    QCOMPARE(c.frmVK.focusWidget(), page); // the page takes the focus back
}

// The engine never sees a Ctrl+wheel over the page: it would zoom by its
// own steps on top of ours.
void TestReadingAids::ctrlWheelZoomsOverThePageOnly()
{
    Course c;
    auto *page = new QWidget(&c.frmVK);
    auto *inside = new QWidget(page); // the engine draws in a child of its view
    c.pane->viewWidget = page;
    const auto turn = [](QWidget *target, QPoint angle, Qt::KeyboardModifiers modifiers) {
        QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), angle, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    };
    turn(inside, {0, 120}, Qt::ControlModifier);
    QCOMPARE(c.events, QStringList{u"zoom 1.1"_s});
    turn(page, {0, -240}, Qt::ControlModifier);
    QCOMPARE(c.events, (QStringList{u"zoom 1.1"_s, u"zoom 1"_s, u"zoom 0.9"_s}));
    c.events.clear();
    turn(inside, {0, 120}, Qt::NoModifier);      // scrolls the page
    turn(inside, {120, 0}, Qt::ControlModifier); // sideways
    turn(c.frmVK.findChild<QPushButton *>(u"cmdNext"_s), {0, 120}, Qt::ControlModifier); // beside the page
    QVERIFY2(c.events.isEmpty(), qPrintable(c.events.join(u", "_s)));
}

void TestReadingAids::findBarControlsAreNamedAndInTheTabOrder()
{
    Course c;
    QVERIFY(activate(c.frmVK));
    c.bar().open();
    const QStringList order{u"txtFind"_s, u"cmdFindPrevious"_s, u"cmdFindNext"_s, u"cmdFindClose"_s};
    const QStringList keys{u"Ctrl+F"_s, u"Shift+F3"_s, u"F3"_s, u"Esc"_s};
    for (qsizetype i = 0; i < order.size(); ++i) {
        auto *control = c.bar().findChild<QWidget *>(order.at(i));
        QVERIFY2(control, qPrintable(order.at(i)));
        QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(order.at(i)));
        QVERIFY2(!control->accessibleDescription().isEmpty(), qPrintable(order.at(i)));
        QVERIFY2(control->toolTip().contains(keys.at(i)), qPrintable(control->toolTip()));
        QCOMPARE(c.focus()->objectName(), order.at(i));
        QTest::keyClick(c.focus(), Qt::Key_Tab);
    }
    // From the bar's last control Tab goes on round the window.
    QCOMPARE(c.focus()->objectName(), u"cmdCont"_s);
    // No access key of their own: Alt and a letter stay the button bar's.
    for (QPushButton *button : c.bar().findChildren<QPushButton *>())
        QVERIFY2(!button->text().contains(u'&'), qPrintable(button->text()));
}

// The words go to the page opened from the results, once, as data; any
// other page first drops them; the next page is asked how many marks it has.
void TestReadingAids::searchWordsShowOnTheChosenPageOnly()
{
    Course c;
    c.pane->scriptResult = 3;
    c.host.showSearchWords(Base + u"kq030005.vxp"_s, {u"cable"_s, u"\");alert(1);(\""_s});
    c.pane->navigate(Base + u"kq030005.vxp"_s);
    c.pane->deliverAll();
    QCOMPARE(c.pane->scripts.size(), 1);
    QVERIFY(c.pane->scripts.at(0).contains(u"[\"cable\",\"\\\");alert(1);(\\\"\"]"_s));

    // The next page is clean: no script runs there, unless the log is to
    // tell how many marks it holds (none).
    c.pane->navigate(NextLink);
    c.pane->deliverAll();
    QCOMPARE(c.pane->scripts.size(), 1);
    c.host.showSearchWords(Base + u"kq030005.vxp"_s, {u"cable"_s});
    c.pane->navigate(Base + u"kq030005.vxp"_s);
    c.pane->deliverAll();
    QCOMPARE(c.pane->scripts.size(), 2);
    QLoggingCategory::setFilterRules(u"tamberlyn.aids.info=true"_s);
    c.pane->navigate(NextLink);
    c.pane->deliverAll();
    QLoggingCategory::setFilterRules(QString());
    QCOMPARE(c.pane->scripts.size(), 3);
    QVERIFY(c.pane->scripts.at(2).contains(u"querySelectorAll('mark.tamberlyn-search-word')"_s));
    c.pane->navigate(PrevLink);
    c.pane->deliverAll();
    QCOMPARE(c.pane->scripts.size(), 3);

    // Another page completing first drops the request.
    c.host.showSearchWords(Base + u"kq030005.vxp"_s, {u"cable"_s});
    c.pane->navigate(Base + u"kq030006.vxp"_s);
    c.pane->deliverAll();
    c.pane->navigate(Base + u"kq030005.vxp"_s);
    c.pane->deliverAll();
    QCOMPARE(c.pane->scripts.size(), 3);
    // Nothing is added to the address: the history records stay as they were.
    QCOMPARE(c.pane->history.constLast(), Base + u"kq030005.vxp"_s);

    // A module stub opens its module's page for the screen; the words go there.
    c.host.showSearchWords(Base + u"kq030001.vxp"_s, {u"circuit"_s});
    c.pane->navigate(Base + u"kq030001.vxp"_s);
    c.pane->deliverAll();
    QCOMPARE(c.pane->history.constLast(), Base + u"mod03g.vxp"_s);
    QCOMPARE(c.pane->scripts.size(), 4);
    QVERIFY(c.pane->scripts.constLast().contains(u"[\"circuit\"]"_s));
}

QTEST_MAIN(TestReadingAids)
#include "tst_readingaids.moc"
