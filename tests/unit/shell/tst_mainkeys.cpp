#include "shell/mainkeys.h"
#include "reading/readingaidkeys.h"

#include <QStringList>
#include <QTest>

using namespace Tamberlyn::Shell;
using namespace Tamberlyn::Reading;
using namespace Qt::StringLiterals;

class TestMainKeys final : public QObject
{
    Q_OBJECT

private slots:
    void keys_data();
    void keys();
    void readingAidKeys_data();
    void readingAidKeys();
};

Q_DECLARE_METATYPE(Tamberlyn::Reading::ReadingAidKey)

void TestMainKeys::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("action"); // after hiding the help image, "|" between two; empty: none
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
    QTest::newRow("Escape is passed on") << int(Qt::Key_Escape) << none << u"stop media|stop load"_s << false;
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
        .stopLoad = [&] { done << u"stop load"_s; },
    };
    QCOMPARE(mainWindowKey(key, modifiers, actions), consumed);
    QStringList expected{u"hide help"_s};
    if (!action.isEmpty())
        expected << action.split(u'|');
    QCOMPARE(done, expected);
    // None of the course's keys is a reading aid's.
    QCOMPARE(readingAidKey(key, modifiers), ReadingAidKey::None);

    // A missing action is skipped; the rest still runs.
    QStringList partial;
    const MainKeyActions withoutHelp{
        .hideHelp = nullptr,
        .askQuit = nullptr,
        .previous = [&] { partial << u"previous"_s; },
        .next = nullptr,
        .stopMedia = nullptr,
        .stopLoad = nullptr,
    };
    mainWindowKey(Qt::Key_PageUp, Qt::NoModifier, withoutHelp);
    QCOMPARE(partial, QStringList{u"previous"_s});
}

void TestMainKeys::readingAidKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<ReadingAidKey>("aid");

    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
    QTest::newRow("Ctrl+Plus") << int(Qt::Key_Plus) << (ctrl | shift) << ReadingAidKey::ZoomIn;
    QTest::newRow("Ctrl+=") << int(Qt::Key_Equal) << ctrl << ReadingAidKey::ZoomIn;
    QTest::newRow("Ctrl+keypad +") << int(Qt::Key_Plus) << (ctrl | keypad) << ReadingAidKey::ZoomIn;
    QTest::newRow("Ctrl+Minus") << int(Qt::Key_Minus) << ctrl << ReadingAidKey::ZoomOut;
    QTest::newRow("Ctrl+keypad -") << int(Qt::Key_Minus) << (ctrl | keypad) << ReadingAidKey::ZoomOut;
    QTest::newRow("Ctrl+0") << int(Qt::Key_0) << ctrl << ReadingAidKey::ZoomReset;
    QTest::newRow("Ctrl+keypad 0") << int(Qt::Key_0) << (ctrl | keypad) << ReadingAidKey::ZoomReset;
    QTest::newRow("Ctrl+F") << int(Qt::Key_F) << ctrl << ReadingAidKey::OpenFind;
    QTest::newRow("F3") << int(Qt::Key_F3) << Qt::KeyboardModifiers() << ReadingAidKey::FindNext;
    QTest::newRow("Shift+F3") << int(Qt::Key_F3) << shift << ReadingAidKey::FindPrevious;
    // Near misses are someone else's keys, or no key at all.
    QTest::newRow("Plus alone") << int(Qt::Key_Plus) << shift << ReadingAidKey::None;
    QTest::newRow("0 alone") << int(Qt::Key_0) << Qt::KeyboardModifiers() << ReadingAidKey::None;
    QTest::newRow("Ctrl+Alt+Plus") << int(Qt::Key_Plus) << (ctrl | shift | Qt::AltModifier) << ReadingAidKey::None;
    QTest::newRow("Ctrl+Shift+F") << int(Qt::Key_F) << (ctrl | shift) << ReadingAidKey::None;
    QTest::newRow("Ctrl+F3") << int(Qt::Key_F3) << ctrl << ReadingAidKey::None;
    QTest::newRow("Alt+F3") << int(Qt::Key_F3) << Qt::KeyboardModifiers(Qt::AltModifier) << ReadingAidKey::None;
    QTest::newRow("F alone") << int(Qt::Key_F) << Qt::KeyboardModifiers() << ReadingAidKey::None;
}

// The new keys beside the old: each is a reading aid's, and the main
// window's own keys neither take it nor act on it (only the help image
// goes, as it does for any key).
void TestMainKeys::readingAidKeys()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(ReadingAidKey, aid);
    QCOMPARE(readingAidKey(key, modifiers), aid);

    QStringList done;
    const auto record = [&done](const QString &what) { return [&done, what] { done << what; }; };
    const MainKeyActions actions{
        .hideHelp = record(u"hide help"_s),
        .askQuit = record(u"quit"_s),
        .previous = record(u"previous"_s),
        .next = record(u"next"_s),
        .stopMedia = record(u"stop media"_s),
        .stopLoad = record(u"stop load"_s),
    };
    QVERIFY(!mainWindowKey(key, modifiers, actions));
    QCOMPARE(done, QStringList{u"hide help"_s});
}

QTEST_APPLESS_MAIN(TestMainKeys)
#include "tst_mainkeys.moc"
