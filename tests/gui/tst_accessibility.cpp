#include "programfixture.h"

#include "finders/finderframe.h"
#include "navigation/coursemap.h"
#include "platform/qt/messageboxdialogs.h"
#include "shell/frmpopup.h"
#include "shell/frmsplsh.h"
#include "simbridge/withfile.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Navigation::Finder;

namespace {

// Every window of the program, as the table rows name them.
enum class Window { Main, Search, Index, History, Splash, Popup, Companion, QuitQuestion };

// The roles a learner operates or lands in, which must say what they are.
bool mustBeNamed(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::List:
    case QAccessible::EditableText:
    case QAccessible::Window:
    case QAccessible::Dialog:
    case QAccessible::AlertMessage:
        return true;
    default:
        return false;
    }
}

bool isControl(QAccessible::Role role)
{
    return role == QAccessible::Button || role == QAccessible::List || role == QAccessible::EditableText;
}

QString labelOf(QAccessibleInterface *iface)
{
    const QObject *object = iface->object();
    const QString name = object ? object->objectName() : QString();
    return name.isEmpty() ? u"(role %1)"_s.arg(int(iface->role())) : name;
}

// Walks the tree below `iface` and reports every named role without a name
// or a description, and every name that a sibling of the same kind shares.
// A list's entries are content, not controls, and are not walked.
void findUnnamed(QAccessibleInterface *iface, const QString &path, QStringList &problems)
{
    if (mustBeNamed(iface->role())) {
        if (iface->text(QAccessible::Name).trimmed().isEmpty())
            problems << path + u": no name"_s;
        if (iface->text(QAccessible::Description).trimmed().isEmpty())
            problems << path + u": no description"_s;
    }
    if (iface->role() == QAccessible::List)
        return;
    QHash<QString, QString> named;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        if (!child)
            continue;
        const QString childPath = path + u'/' + labelOf(child);
        if (mustBeNamed(child->role())) {
            const QString name = child->text(QAccessible::Name).trimmed().toCaseFolded();
            if (!name.isEmpty() && named.contains(name))
                problems << childPath + u": named as "_s + named.value(name);
            named.insert(name, childPath);
        }
        findUnnamed(child, childPath, problems);
    }
}

// The enabled controls a keyboard user should reach in the window, found
// through the accessibility tree rather than the widget tree.
void findControls(QAccessibleInterface *iface, QSet<QString> &controls)
{
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface *child = iface->child(i);
        if (!child)
            continue;
        const QAccessible::State state = child->state();
        if (isControl(child->role()) && !state.invisible && !state.disabled)
            controls.insert(labelOf(child));
        if (child->role() != QAccessible::List)
            findControls(child, controls);
    }
}

bool activate(QWidget &window)
{
    window.show();
    window.raise();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

QStringList barOf(const QString &third)
{
    return {u"cmdCont"_s, u"cmdPrint"_s, third,       u"cmdBack"_s, u"cmdPrev"_s,
            u"cmdNext"_s, u"cmdHist"_s,  u"cmdCalc"_s, u"cmdHelp"_s, u"cmdSecn"_s};
}

// All the windows, each made as the program makes it.
struct Windows : ProgramFixture
{
    Shell::FrmSplsh splash;
    Shell::FrmPopup popup{[this](QWidget *parent) {
                              auto *web2 = new Fakes::Pane(events);
                              web2->setParent(parent);
                              return web2;
                          },
                          windows, [] {}};
    SimBridge::Withfile companion;

    QWidget *window(Window which)
    {
        switch (which) {
        case Window::Main: return &frmVK;
        case Window::Search: return &finders.window(Finder::Search);
        case Window::Index: return &finders.window(Finder::Index);
        case Window::History: return &finders.window(Finder::History);
        case Window::Splash: return &splash;
        case Window::Popup: return &popup;
        case Window::Companion: return &companion;
        case Window::QuitQuestion: break;
        }
        return nullptr;
    }

    // Runs `look` on the window; a question box is only there while it
    // asks, so it is looked at from inside its own event loop and then
    // answered.
    void inspect(Window which, const std::function<void(QWidget *)> &look)
    {
        if (which != Window::QuitQuestion) {
            look(window(which));
            return;
        }
        bool looked = false;
        std::function<void()> whenUp = [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) {
                QTimer::singleShot(20, whenUp);
                return;
            }
            look(box);
            looked = true;
            box->button(QMessageBox::No)->click();
        };
        QTimer::singleShot(0, whenUp);
        Platform::MessageBoxDialogs().ask(&frmVK, {u"Do you want to quit?"_s, u"Quit Tamberlyn?"_s,
                                                   Platform::Dialogs::Icon::Question,
                                                   Platform::Dialogs::Buttons::YesNo, QPoint(100, 80)});
        QVERIFY(looked);
    }
};

} // namespace

Q_DECLARE_METATYPE(Window)

class TestAccessibility final : public QObject
{
    Q_OBJECT

private slots:
    void everyControlIsNamedAndDescribed_data();
    void everyControlIsNamedAndDescribed();
    void buttonsSayWhatTheyDoNotWhatTheyShow();
    void tabVisitsEveryControlInOrder_data();
    void tabVisitsEveryControlInOrder();
    void keysPressTheFocusedButton_data();
    void keysPressTheFocusedButton();
    void companionIsAButtonForKeysAndAssistiveTechnology();
    void focusIsVisible_data();
    void focusIsVisible();
};

void TestAccessibility::everyControlIsNamedAndDescribed_data()
{
    QTest::addColumn<Window>("which");
    QTest::addColumn<int>("role");
    QTest::newRow("main window") << Window::Main << int(QAccessible::Window);
    QTest::newRow("search window") << Window::Search << int(QAccessible::Window);
    QTest::newRow("index window") << Window::Index << int(QAccessible::Window);
    QTest::newRow("history window") << Window::History << int(QAccessible::Window);
    QTest::newRow("splash") << Window::Splash << int(QAccessible::Window);
    QTest::newRow("picture pop-up") << Window::Popup << int(QAccessible::Window);
    // The companion window is one drawn button.
    QTest::newRow("companion window") << Window::Companion << int(QAccessible::Button);
    QTest::newRow("quit question") << Window::QuitQuestion << int(QAccessible::AlertMessage);
}

void TestAccessibility::everyControlIsNamedAndDescribed()
{
    QFETCH(Window, which);
    QFETCH(int, role);
    Windows w;
    QStringList problems;
    int seenRole = -1;
    w.inspect(which, [&](QWidget *window) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(window);
        QVERIFY(iface);
        seenRole = int(iface->role());
        findUnnamed(iface, window->objectName(), problems);
    });
    QCOMPARE(seenRole, role);
    if (!problems.isEmpty())
        qWarning().noquote() << problems.join(u'\n');
    QVERIFY(problems.isEmpty());
}

void TestAccessibility::buttonsSayWhatTheyDoNotWhatTheyShow()
{
    // The captions stay as they are; the names speak for the symbols.
    Windows w;
    for (QWidget *window : {w.window(Window::Main), w.window(Window::History)}) {
        auto *prev = window->findChild<QPushButton *>(u"cmdPrev"_s);
        auto *next = window->findChild<QPushButton *>(u"cmdNext"_s);
        QCOMPARE(prev->text(), u"&<<"_s);
        QCOMPARE(next->text(), u"&>>"_s);
        QCOMPARE(QAccessible::queryAccessibleInterface(prev)->text(QAccessible::Name), u"Previous page"_s);
        QCOMPARE(QAccessible::queryAccessibleInterface(next)->text(QAccessible::Name), u"Next page"_s);
    }
    // A window without a title still has a name.
    QCOMPARE(w.popup.windowTitle(), QString());
    QCOMPARE(QAccessible::queryAccessibleInterface(&w.popup)->text(QAccessible::Name), u"Picture pop-up"_s);
    // The main window's name follows its caption, which names the module.
    w.frmVK.setCaption(u"Tamberlyn - Module 3"_s);
    QCOMPARE(QAccessible::queryAccessibleInterface(&w.frmVK)->text(QAccessible::Name), u"Tamberlyn - Module 3"_s);
}

void TestAccessibility::tabVisitsEveryControlInOrder_data()
{
    QTest::addColumn<Window>("which");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("main window") << Window::Main << barOf(u"cmdSearch"_s);
    QTest::newRow("search window") << Window::Search
                                   << QStringList{u"txtInput"_s, u"cmdFTS"_s, u"lbResults"_s} + barOf(u"cmdIndex"_s);
    QTest::newRow("index window") << Window::Index
                                  << QStringList{u"txtInput"_s, u"lbResults"_s} + barOf(u"cmdSearch"_s);
    QTest::newRow("history window") << Window::History << QStringList{u"lbResults"_s} + barOf(u"cmdSearch"_s);
}

void TestAccessibility::tabVisitsEveryControlInOrder()
{
    QFETCH(Window, which);
    QFETCH(QStringList, order);
    Windows w;
    QWidget &window = *w.window(which);
    QVERIFY(activate(window));

    QWidget *first = QApplication::focusWidget();
    QVERIFY(first);
    QStringList forward;
    for (QWidget *focus = first; forward.size() <= order.size();) {
        forward << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
        focus = QApplication::focusWidget();
        QVERIFY(focus && focus->window() == &window);
        if (focus == first)
            break;
    }
    QCOMPARE(forward, order);

    // Shift+Tab walks the same ring the other way round.
    QStringList backward;
    for (QWidget *focus = first; backward.size() <= order.size();) {
        backward << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
        focus = QApplication::focusWidget();
        QVERIFY(focus);
        if (focus == first)
            break;
    }
    QStringList expectedBackward = order.sliced(1);
    std::reverse(expectedBackward.begin(), expectedBackward.end());
    expectedBackward.prepend(order.constFirst());
    QCOMPARE(backward, expectedBackward);

    // Nothing a learner can operate is left out of the ring.
    QSet<QString> controls;
    findControls(QAccessible::queryAccessibleInterface(&window), controls);
    QCOMPARE(controls, QSet<QString>(order.cbegin(), order.cend()));
}

void TestAccessibility::keysPressTheFocusedButton_data()
{
    QTest::addColumn<Window>("which");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("events");
    // The contents page for the class the window has when the key comes.
    const QString contents = u"navigate contents"_s;
    QTest::newRow("main: Space on Contents") << Window::Main << u"cmdCont"_s << int(Qt::Key_Space)
                                             << QStringList{contents};
    QTest::newRow("main: Return on Help") << Window::Main << u"cmdHelp"_s << int(Qt::Key_Return)
                                          << QStringList{u"help shown"_s};
    QTest::newRow("main: keypad Enter on Back") << Window::Main << u"cmdBack"_s << int(Qt::Key_Enter)
                                                << QStringList{u"back"_s};
    QTest::newRow("search: Space on Contents")
        << Window::Search << u"cmdCont"_s << int(Qt::Key_Space) << QStringList{u"wait"_s, contents};
    QTest::newRow("history: Space on Back") << Window::History << u"cmdBack"_s << int(Qt::Key_Space)
                                            << QStringList{u"back"_s};
}

void TestAccessibility::keysPressTheFocusedButton()
{
    QFETCH(Window, which);
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(QStringList, events);
    Windows w;
    QWidget &window = *w.window(which);
    QVERIFY(activate(window));
    auto *target = window.findChild<QPushButton *>(button);
    QVERIFY(target);
    target->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), target);
    w.events.clear();

    const auto modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyClick(target, Qt::Key(key), modifiers);
    if (w.frmVK.isHelpVisible())
        w.events << u"help shown"_s;
    events.replaceInStrings(u"navigate contents"_s, u"navigate "_s + ProgramFixture::base()
                                                        + Navigation::contentsPageName(w.frmVK.sizeClass()));
    QCOMPARE(w.events, events);
}

void TestAccessibility::companionIsAButtonForKeysAndAssistiveTechnology()
{
    SimBridge::Withfile companion;
    QSignalSpy returns(&companion, &SimBridge::Withfile::returnRequested);
    QSignalSpy quits(&companion, &SimBridge::Withfile::quitRequested);

    // What a screen reader offers: press returns, the menu asks to quit.
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&companion);
    QVERIFY(iface && iface->actionInterface());
    QAccessibleActionInterface *actions = iface->actionInterface();
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(returns.size(), 1);
    actions->doAction(QAccessibleActionInterface::showMenuAction());
    QCOMPARE(quits.size(), 1);
    QCOMPARE(iface->childCount(), 0); // the pressed look is no control of its own

    // The keyboard: it has the focus once it is the active window.
    QVERIFY(activate(companion));
    QVERIFY(companion.hasFocus());
    QTest::keyPress(&companion, Qt::Key_Space);
    QVERIFY(companion.picRud29()->isVisible());
    QCOMPARE(returns.size(), 1); // as with the mouse: the return comes on release
    QTest::keyRelease(&companion, Qt::Key_Space);
    QCOMPARE(returns.size(), 2);
    QTest::keyClick(&companion, Qt::Key_Return);
    QCOMPARE(returns.size(), 3);
    QTest::keyClick(&companion, Qt::Key_F10, Qt::ShiftModifier);
    QTest::keyClick(&companion, Qt::Key_Menu);
    QCOMPARE(quits.size(), 3);
    QTest::keyClick(&companion, Qt::Key_A);
    QCOMPARE(returns.size() + quits.size(), 6);
}

void TestAccessibility::focusIsVisible_data()
{
    QTest::addColumn<Window>("which");
    QTest::addColumn<QString>("control");
    QTest::newRow("main window's bar button") << Window::Main << u"cmdNext"_s;
    QTest::newRow("finder window's bar button") << Window::Index << u"cmdHelp"_s;
    QTest::newRow("search button") << Window::Search << u"cmdFTS"_s;
    QTest::newRow("entry box") << Window::Search << u"txtInput"_s;
    QTest::newRow("list") << Window::History << u"lbResults"_s;
    QTest::newRow("companion window") << Window::Companion << QString();
}

void TestAccessibility::focusIsVisible()
{
    QFETCH(Window, which);
    QFETCH(QString, control);
    Windows w;
    QWidget &window = *w.window(which);
    QVERIFY(activate(window));
    QWidget *target = control.isEmpty() ? &window : window.findChild<QWidget *>(control);
    QVERIFY(target);

    // The same control with and without the focus, the focus moved by the
    // keyboard: styles show it only once the keyboard has moved it. A
    // window with one control keeps it on Tab; there it is taken away.
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Tab);
    if (target->hasFocus())
        target->clearFocus();
    QVERIFY(!target->hasFocus());
    const QImage without = target->grab().toImage();
    if (QWidget *focus = QApplication::focusWidget())
        QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
    else
        target->setFocus(Qt::TabFocusReason);
    QVERIFY(target->hasFocus());
    const QImage with = target->grab().toImage();
    QVERIFY(with != without);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
