#include "../common/fakes.h"

#include "platform/boxplacement.h"
#include "shell/filechecks.h"
#include "shell/quitquestion.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Answer = Platform::Dialogs::Answer;

Q_DECLARE_METATYPE(Tamberlyn::Platform::Dialogs::Answer)

class TestQuitQuestion final : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void boxPlacement_data();
    void boxPlacement();
};

void TestQuitQuestion::answers_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("withHistory");
    QTest::addColumn<bool>("ends");

    QTest::newRow("No keeps everything") << Answer::No << true << false;
    QTest::newRow("Yes deletes the history and ends") << Answer::Yes << true << true;
    QTest::newRow("Yes without a history file") << Answer::Yes << false << true;
    QTest::newRow("anything but No quits") << Answer::Cancel << true << true;
}

void TestQuitQuestion::answers()
{
    QFETCH(Answer, answer);
    QFETCH(bool, withHistory);
    QFETCH(bool, ends);

    QTemporaryDir data;
    const QString dornDir = data.path() + u"/"_s;
    QFile history(dornDir + u"history.vxp"_s);
    if (withHistory) {
        QVERIFY(history.open(QIODevice::WriteOnly));
        history.write("\"kqd.vxp\"\r\n");
        history.close();
    }
    Fakes::Dialogs dialogs;
    dialogs.answers.push_back(answer);
    bool ended = false;
    Shell::FileChecks files(dialogs, [] { QFAIL("no listing error expected"); });
    Shell::QuitQuestion quit(dialogs, files, [&ended] { ended = true; });
    quit.AskQuit(nullptr, dornDir);

    QCOMPARE(ended, ends);
    QCOMPARE(QFile::exists(history.fileName()), withHistory && !ends);
    QCOMPARE(dialogs.shown.size(), 1);
    const auto &box = dialogs.shown.first();
    QCOMPARE(box.text, u"Do you want to quit?"_s);
    QCOMPARE(box.title, u"Quit Tamberlyn?"_s);
    QCOMPARE(box.buttons, Platform::Dialogs::Buttons::YesNo);
    QCOMPARE(box.icon, Platform::Dialogs::Icon::Question);
    QCOMPARE(box.offset, std::optional<QPoint>(QPoint(100, 80)));
}

void TestQuitQuestion::boxPlacement_data()
{
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<QPoint>("position");

    QTest::newRow("main window, maximised") << QRect(0, 0, 1920, 1080) << QPoint(100, 80) << QPoint(100, 80);
    QTest::newRow("main window, anywhere") << QRect(300, 200, 800, 600) << QPoint(100, 80) << QPoint(400, 280);
    QTest::newRow("companion window") << QRect(1598, 0, 178, 65) << QPoint(-150, 80) << QPoint(1448, 80);
    QTest::newRow("negative offset at the left edge is pulled in") << QRect(40, 0, 178, 65) << QPoint(-150, 80)
                                                                   << QPoint(0, 80);
    QTest::newRow("pushed past the bottom right") << QRect(1800, 1000, 100, 30) << QPoint(100, 80)
                                                  << QPoint(1920 - 300, 1040 - 120);
}

void TestQuitQuestion::boxPlacement()
{
    QFETCH(QRect, owner);
    QFETCH(QPoint, offset);
    QFETCH(QPoint, position);
    QCOMPARE(Platform::boxPosition(owner, QSize(300, 120), offset, QRect(0, 0, 1920, 1040)), position);
}

QTEST_APPLESS_MAIN(TestQuitQuestion)
#include "tst_quitquestion.moc"
