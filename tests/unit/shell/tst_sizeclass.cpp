#include "shell/sizeclass.h"

#include <QTest>

using namespace Tamberlyn::Shell;

class TestSizeClass final : public QObject
{
    Q_OBJECT

private slots:
    void bands_data();
    void bands();
    void noneCellKeepsPreviousClass();
};

void TestSizeClass::bands_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("expected"); // 0: no class in that cell

    // Each band's rules, its edges, and its "below every rule" cell.
    QTest::newRow("1280x800") << 1280 << 800 << 3;
    QTest::newRow("1280x1024") << 1280 << 1024 << 4;
    QTest::newRow("1280x767") << 1280 << 767 << 1;
    QTest::newRow("1279x2000") << 1279 << 2000 << 1;
    QTest::newRow("1024x768") << 1024 << 768 << 1;
    QTest::newRow("0x0") << 0 << 0 << 1;
    QTest::newRow("1366x768") << 1366 << 768 << 2;
    QTest::newRow("1366x700") << 1366 << 700 << 1;
    QTest::newRow("1439x1023") << 1439 << 1023 << 3;
    QTest::newRow("1440x900") << 1440 << 900 << 5;
    QTest::newRow("1440x1050") << 1440 << 1050 << 4;
    QTest::newRow("1440x767") << 1440 << 767 << 0;
    QTest::newRow("1600x900") << 1600 << 900 << 6;
    QTest::newRow("1600x1200 has no class 4") << 1600 << 1200 << 6;
    QTest::newRow("1600x768") << 1600 << 768 << 2;
    QTest::newRow("1919x767") << 1919 << 767 << 0;
    QTest::newRow("1920x1080") << 1920 << 1080 << 7;
    QTest::newRow("1920x768") << 1920 << 768 << 2;
    QTest::newRow("1920x700") << 1920 << 700 << 0;
    QTest::newRow("2160x1440") << 2160 << 1440 << 8;
    QTest::newRow("2160x799") << 2160 << 799 << 0;
    QTest::newRow("2559x1600 is still class 8") << 2559 << 1600 << 8;
    QTest::newRow("2560x1440") << 2560 << 1440 << 9;
    QTest::newRow("2560x1600") << 2560 << 1600 << 10;
    QTest::newRow("2560x800") << 2560 << 800 << 3;
    QTest::newRow("2879x2160") << 2879 << 2160 << 10;
    QTest::newRow("2880x1920") << 2880 << 1920 << 11;
    QTest::newRow("3840x2160") << 3840 << 2160 << 11;
    QTest::newRow("3840x900") << 3840 << 900 << 6;
    QTest::newRow("3840x800") << 3840 << 800 << 0;
    QTest::newRow("negative width") << -5 << 1024 << 1;
}

void TestSizeClass::bands()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, expected);
    QCOMPARE(int(sizeClassOf(width, height).value_or(0)), expected);
}

void TestSizeClass::noneCellKeepsPreviousClass()
{
    // A first classification into a "none" cell leaves the class at 0 ...
    QCOMPARE(classify(3840, 800, 0), qint16(0));
    // ... and a later one keeps whatever class came before.
    QCOMPARE(classify(1920, 700, 7), qint16(7));
    QCOMPARE(classify(1920, 700, 2), qint16(2));
    // A size with a class replaces the previous one.
    QCOMPARE(classify(1280, 1024, 7), qint16(4));
}

QTEST_APPLESS_MAIN(TestSizeClass)
#include "tst_sizeclass.moc"
