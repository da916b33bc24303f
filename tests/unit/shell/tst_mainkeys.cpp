#include "shell/mainkeys.h"

#include <QStringList>
#include <QTest>

using namespace Tamberlyn::Shell;
using namespace Qt::StringLiterals;

class TestMainKeys final : public QObject
{
    Q_OBJECT

private slots:
    void keys_data();
    void keys();
};

void TestMainKeys::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("action"); // after hiding the help image; empty: none
    QTest::addColumn<bool>("consumed");

    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const Qt::KeyboardModifiers alt = Qt::AltModifier;
    QTest::newRow("Alt+Q") << int(Qt::Key_Q) << alt << u"quit"_s << true;
    QTest::newRow("Alt+Shift+Q") << int(Qt::Key_Q) << (alt | Qt::ShiftModifier) << u"quit"_s << true;
    QTest::newRow("Alt+Ctrl+Q") << int(Qt::Key_Q) << (alt | Qt::ControlModifier) << u"quit"_s << true;
    QTest::newRow("Q alone") << int(Qt::Key_Q) << none << QString() << false;
    QTest::newRow("Alt+comma") << int(Qt::Key_Comma) << alt << u"previous"_s << true;
    QTest::newRow("Alt+Shift+comma") << int(Qt::Key_Less) << (alt | Qt::ShiftModifier) << u"previous"_s << true;
    QTest::newRow("Alt+full stop") << int(Qt::Key_Period) << alt << u"next"_s << true;
    QTest::newRow("Alt+Shift+full stop") << int(Qt::Key_Greater) << (alt | Qt::ShiftModifier) << u"next"_s << true;
    QTest::newRow("comma alone") << int(Qt::Key_Comma) << none << QString() << false;
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << none << u"previous"_s << true;
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << none << u"next"_s << true;
    QTest::newRow("Alt+Page Down") << int(Qt::Key_PageDown) << alt << u"next"_s << true;
    QTest::newRow("Escape is passed on") << int(Qt::Key_Escape) << none << u"stop media"_s << false;
    QTest::newRow("any other key") << int(Qt::Key_A) << none << QString() << false;
    QTest::newRow("an access key") << int(Qt::Key_P) << alt << QString() << false;
}

void TestMainKeys::keys()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, action);
    QFETCH(bool, consumed);

    QStringList done;
    const MainKeyActions actions{
        .hideHelp = [&] { done << u"hide help"_s; },
        .askQuit = [&] { done << u"quit"_s; },
        .previous = [&] { done << u"previous"_s; },
        .next = [&] { done << u"next"_s; },
        .stopMedia = [&] { done << u"stop media"_s; },
    };
    QCOMPARE(mainWindowKey(key, modifiers, actions), consumed);
    QStringList expected{u"hide help"_s};
    if (!action.isEmpty())
        expected << action;
    QCOMPARE(done, expected);

    // A missing action is skipped; the rest still runs.
    QStringList partial;
    const MainKeyActions withoutHelp{
        .hideHelp = nullptr,
        .askQuit = nullptr,
        .previous = [&] { partial << u"previous"_s; },
        .next = nullptr,
        .stopMedia = nullptr,
    };
    mainWindowKey(Qt::Key_PageUp, Qt::NoModifier, withoutHelp);
    QCOMPARE(partial, QStringList{u"previous"_s});
}

QTEST_APPLESS_MAIN(TestMainKeys)
#include "tst_mainkeys.moc"
