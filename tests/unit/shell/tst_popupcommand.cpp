#include "shell/popupcommand.h"

#include <QTest>

using namespace Tamberlyn::Shell;
using namespace Qt::StringLiterals;

class TestPopupCommand final : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void geometry_data();
    void geometry();
};

void TestPopupCommand::parse_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("popFile");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    QTest::newRow("usual") << u"/POPJPG=pics/panel.jpg /W 400 /H 300"_s << true << u"pics/panel.jpg"_s << 400 << 300;
    QTest::newRow("character before /W dropped whatever it is")
        << u"/POPJPG=panel.jpgX/W 400 /H 300"_s << true << u"panel.jpg"_s << 400 << 300;
    QTest::newRow("characters after the markers ignored")
        << u"/POPJPG=p.jpg /WX400Y/HZ300"_s << true << u"p.jpg"_s << 400 << 300;
    QTest::newRow("/W at position 10: no file") << u"/POPJPG=x/W 10 /H 20"_s << true << QString() << 10 << 20;
    QTest::newRow("/W at position 9: no file") << u"/POPJPG=/W 10 /H 20"_s << true << QString() << 10 << 20;
    QTest::newRow("halves to even") << u"/POPJPG=p.jpg /W 2.5 /H 3.5"_s << true << u"p.jpg"_s << 2 << 4;
    QTest::newRow("unreadable numbers are 0") << u"/POPJPG=p.jpg /W wide /H"_s << true << u"p.jpg"_s << 0 << 0;
    QTest::newRow("first /W of the line, even in the name")
        << u"/POPJPG=pics/Wind.jpg /W 10 /H 20"_s << true << u"pic"_s << 0 << 20;
    QTest::newRow("no /H") << u"/POPJPG=p.jpg /W 10"_s << false << QString() << 0 << 0;
    QTest::newRow("no /W") << u"/POPJPG=p.jpg /H 10"_s << false << QString() << 0 << 0;
    QTest::newRow("/H before /W") << u"/POPJPG=p.jpg /H 30 /W 40"_s << true << u"p.jpg /H 30"_s << 0 << 0;
}

void TestPopupCommand::parse()
{
    QFETCH(QString, commandLine);
    QFETCH(bool, shown);
    QFETCH(QString, popFile);
    QFETCH(int, width);
    QFETCH(int, height);
    const auto command = parsePopupCommand(commandLine);
    QCOMPARE(command.has_value(), shown);
    if (!command)
        return;
    QCOMPARE(command->popFile, popFile);
    QCOMPARE(command->width, width);
    QCOMPARE(command->height, height);
}

void TestPopupCommand::geometry_data()
{
    QTest::addColumn<QSize>("wanted");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QRect>("twips");

    const QSize small(400, 300);
    QTest::newRow("at the pointer") << small << QPoint(100, 50) << QRect(1500, 750, 6700, 4800);
    QTest::newRow("near the bottom right") << small << QPoint(1250, 1000)
                                           << QRect(1280 * 15 - 6700 - 200, 1024 * 15 - 4800 - 200, 6700, 4800);
    QTest::newRow("exactly fitting stays") << small << QPoint(1280 - 6700 / 15 - 1, 0)
                                           << QRect((1280 - 6700 / 15 - 1) * 15, 0, 6700, 4800);
    QTest::newRow("taller than the screen: negative top")
        << QSize(400, 1100) << QPoint(10, 10) << QRect(150, 1024 * 15 - (1100 * 15 + 300) - 200, 6700, 1100 * 15 + 300);
    QTest::newRow("no size") << QSize(0, 0) << QPoint(0, 0) << QRect(0, 0, 700, 300);
    // The line may ask for 999999999 pixels; the twips of that overflowed.
    const int largest = (1 << 24) - 1;
    QTest::newRow("beyond any window: held to the largest")
        << QSize(999'999'999, 999'999'999) << QPoint(0, 0)
        << QRect(1280 * 15 - (largest * 15 + 700) - 200, 1024 * 15 - (largest * 15 + 300) - 200, largest * 15 + 700,
                 largest * 15 + 300);
    QTest::newRow("far negative: held too") << QSize(-999'999'999, 0) << QPoint(0, 0)
                                            << QRect(0, 0, -largest * 15 + 700, 300);
}

void TestPopupCommand::geometry()
{
    QFETCH(QSize, wanted);
    QFETCH(QPoint, pointer);
    QFETCH(QRect, twips);
    const QSize screen(1280, 1024);
    QCOMPARE(popupTwips(wanted, pointer, screen), twips);
    const QRect pixels = popupPixels(wanted, pointer, screen);
    QCOMPARE(pixels.width(), qRound(twips.width() / 15.0));
    QCOMPARE(pixels.height(), qRound(twips.height() / 15.0));
    if (wanted == QSize(400, 300))
        QCOMPARE(pixels.size(), QSize(447, 320));
}

QTEST_APPLESS_MAIN(TestPopupCommand)
#include "tst_popupcommand.moc"
