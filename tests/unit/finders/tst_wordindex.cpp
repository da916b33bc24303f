#include "finders/findertexts.h"
#include "finders/wordindex.h"
#include "tables/tablefilereader.h"

#include <QTest>

using namespace Tamberlyn::Finders;
using namespace Tamberlyn::Tables;
using namespace Qt::StringLiterals;

class TestWordIndex final : public QObject
{
    Q_OBJECT

private slots:
    void narrowing_data();
    void narrowing();
    void labels();

private:
    // Line 4 is blank, line 5 has no TAB: neither is a word.
    const WordIndex m_index{TableFileReader::parseWords(
        u"cable\t1\t\r\nCables\t2\t\r\n cab\t3\t\r\n\r\nnotab\r\ncabinet\t1\t\r\nwire\t2\t\r\nCAB\t3\t\r\nca b\t1\t\r\n"_s)
                                .table};
};

void TestWordIndex::narrowing_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("entries");

    const QStringList cab{u"cable "_s, u"Cables "_s, u"cabinet "_s, u"CAB "_s};
    QTest::newRow("lower case") << u"cab"_s << cab;
    QTest::newRow("upper case") << u"CAB"_s << cab;
    QTest::newRow("spaces around") << u"  Cab  "_s << cab;
    QTest::newRow("whole word") << u"cables"_s << QStringList{u"Cables "_s};
    QTest::newRow("longer than every word") << u"cabinets"_s << QStringList();
    QTest::newRow("not at the start") << u"able"_s << QStringList();
    QTest::newRow("space inside the entry") << u"ca b"_s << QStringList{u"ca b "_s};
    const QStringList all{u"cable "_s, u"Cables "_s, u" cab "_s, u"cabinet "_s, u"wire "_s, u"CAB "_s,
                          u"ca b "_s};
    QTest::newRow("empty entry lists every word") << QString() << all;
    QTest::newRow("spaces only") << u"   "_s << all;
    QTest::newRow("nothing matches") << u"zz"_s << QStringList();
}

void TestWordIndex::narrowing()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, entries);
    const Narrowing narrowed = m_index.narrow(entry);
    QCOMPARE(narrowed.entries, entries);
    QCOMPARE(narrowed.label, u"Found:  "_s + QString::number(entries.size()) + u" words"_s);
}

void TestWordIndex::labels()
{
    QCOMPARE(initialFoundLabel(), u"Found:"_s);
    QCOMPARE(m_index.narrow(u"zz"_s).label, u"Found:  0 words"_s);
    QCOMPARE(m_index.narrow(QString()).label, u"Found:  7 words"_s);
    QCOMPARE(WordIndex().narrow(QString()).label, u"Found:  0 words"_s);
}

QTEST_APPLESS_MAIN(TestWordIndex)
#include "tst_wordindex.moc"
