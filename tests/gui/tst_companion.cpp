#include "../unit/simbridge/privateblocks.h"

#include "simbridge/companionwatch.h"
#include "simbridge/withfile.h"

#include <QTest>

using namespace Tamberlyn;
using namespace Tamberlyn::SimBridge;
using namespace Qt::StringLiterals;

namespace {

// The watch over real blocks under a private prefix, on a 1920-pixel screen.
struct Harness : PrivateBlocks
{
    QStringList events;
    Fakes::WindowSystem windows{events};
    CompanionWatch watch{{blocks, windows, dialogs, [this] { events << u"EndVK"_s; }}};

    Harness() { windows.screen = {1920, 1080}; }
    Withfile *launched()
    {
        blocks.writeCircuitPath("/d/Marrowick/Orvanix/VK_CKTS/amp.ckt");
        watch.TimerEnd_Timer();
        return watch.companion();
    }
};

} // namespace

class TestCompanion final : public QObject
{
    Q_OBJECT

private slots:
    void showsWhileAPathIsPresent();
    void returnToTextClearsThePath();
    void quitQuestion();
};

void TestCompanion::showsWhileAPathIsPresent()
{
    Harness h;
    h.watch.TimerEnd_Timer();
    QVERIFY(!h.watch.companion());

    Withfile *withfile = h.launched();
    QVERIFY(withfile && withfile->isVisible());
    QCOMPARE(withfile->pos(), QPoint(1920 - 322, 0));
    QCOMPARE(withfile->size(), QSize(178, 65));
    QVERIFY(withfile->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!withfile->picRud29()->isVisible());

    // A second launch leaves it where it is.
    withfile->move(10, 10);
    h.watch.TimerEnd_Timer();
    QCOMPARE(h.watch.companion(), withfile);
    QCOMPARE(withfile->pos(), QPoint(10, 10));

    // A simulator that clears the block takes it away at the next tick.
    h.blocks.ShutOffWithfile();
    h.watch.TimerEnd_Timer();
    QVERIFY(!h.watch.companion());
}

void TestCompanion::returnToTextClearsThePath()
{
    Harness h;
    Withfile *withfile = h.launched();
    QTest::mousePress(withfile, Qt::LeftButton);
    QVERIFY(withfile->picRud29()->isVisible()); // the pressed look
    QTest::mouseRelease(withfile, Qt::LeftButton);
    QCOMPARE(h.events, QStringList{u"bring to front Tamberlyn"_s});
    QVERIFY(!h.watch.companion());
    QCOMPARE(h.block("OrvaneName"), QByteArray(255, '\0'));
    h.watch.TimerEnd_Timer();
    QVERIFY(!h.watch.companion()); // stays away
}

void TestCompanion::quitQuestion()
{
    Harness h;
    Withfile *withfile = h.launched();
    h.dialogs.answers = {Platform::Dialogs::Answer::No, Platform::Dialogs::Answer::Yes};

    QTest::mousePress(withfile, Qt::RightButton);
    QCOMPARE(h.dialogs.shown.size(), 1);
    const auto &box = h.dialogs.shown.first();
    QCOMPARE(box.text, u"Are you sure you want to quit?"_s);
    QCOMPARE(box.title, u"Tamberlyn"_s);
    QCOMPARE(box.buttons, Platform::Dialogs::Buttons::YesNo);
    QCOMPARE(box.offset, std::optional<QPoint>(QPoint(-150, 80)));
    QCOMPARE(h.watch.companion(), withfile); // No: still shown, unpressed
    QVERIFY(!withfile->picRud29()->isVisible());
    QVERIFY(h.events.isEmpty());

    QTest::mousePress(withfile, Qt::RightButton);
    QCOMPARE(h.events, QStringList{u"EndVK"_s});
    QCOMPARE(h.block("OrvaneEnd"), QByteArray("\1\0\0\0", 4));
    QVERIFY(h.block("OrvaneName").startsWith("/d/")); // the path is left to the simulator
}

QTEST_MAIN(TestCompanion)
#include "tst_companion.moc"
