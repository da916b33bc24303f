#include "finders/searchindex.h"
#include "tables/tablefilereader.h"

#include <QTest>

using namespace Tamberlyn::Finders;
using namespace Tamberlyn::Tables;
using namespace Qt::StringLiterals;

namespace {

// Line 4 repeats line 1's page under another title; line 5 holds no page;
// line 7 differs from line 6 in letter case only, which makes it another page.
const QString Files = u"1\tkq010003.vxp\tWhat a PV system does\r\n"
                      u"2\tkq010004.vxp\tThe solar resource\r\n"
                      u"3\tkq020003.vxp\tHazards\r\n"
                      u"4\tkq010003.vxp\tSame page again\r\n"
                      u"\r\n"
                      u"6\tkq030003.vxp\tOhm's law\r\n"
                      u"7\tKQ030003.VXP\tOhm upper\r\n"_s;

const QString Words = u"cable\t3\t1\t\r\n"
                      u"cables\t2\t3\t\r\n"
                      u"  wire \t2\t6\t\r\n"
                      u"wireless\t1\t\r\n"
                      u"able\t6\t\r\n"
                      u"ohm\t6\t7\t4\t\r\n"
                      u"dup\t1\t4\t\r\n"
                      u"user's\t2\t\r\n"
                      u"apt-get\t3\t\r\n"
                      u"don\u2019t\t1\t\r\n"_s;

const QString What = u"What a PV system does "_s;
const QString Solar = u"The solar resource "_s;
const QString Hazards = u"Hazards "_s;
const QString Ohm = u"Ohm's law "_s;

SearchIndex indexOf(const QString &words, const QString &files = Files)
{
    return SearchIndex(TableFileReader::parseWords(words).table, TableFileReader::parseFiles(files).table);
}

} // namespace

class TestSearchIndex final : public QObject
{
    Q_OBJECT

private slots:
    void search_data();
    void search();
    void blankQueryChangesNothing();
    void brokenFileLists_data();
    void brokenFileLists();
    void twoWordListsBeyondTheTableSize();
    void searchWordsAreTheWordsSearched_data();
    void searchWordsAreTheWordsSearched();

private:
    const SearchIndex m_index = indexOf(Words);
};

void TestSearchIndex::search_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("files");

    const QStringList cab{Hazards, What, Solar};
    const QStringList cabFiles{u"kq020003.vxp"_s, u"kq010003.vxp"_s, u"kq010004.vxp"_s};
    QTest::newRow("prefix, a page kept at its first place") << u"cab"_s << cab << cabFiles;
    QTest::newRow("letter case") << u"CaB"_s << cab << cabFiles;
    QTest::newRow("spaces around") << u"   cab "_s << cab << cabFiles;
    QTest::newRow("stored word trimmed") << u"wire"_s << QStringList{Solar, Ohm, What}
                                         << QStringList{u"kq010004.vxp"_s, u"kq030003.vxp"_s, u"kq010003.vxp"_s};
    QTest::newRow("anchored at the start") << u"able"_s << QStringList{Ohm} << QStringList{u"kq030003.vxp"_s};
    QTest::newRow("longer than the word") << u"cablesx"_s << QStringList() << QStringList();
    QTest::newRow("same page file, one entry") << u"dup"_s << QStringList{What} << QStringList{u"kq010003.vxp"_s};
    QTest::newRow("page files compared exactly")
        << u"ohm"_s << QStringList{Ohm, u"Ohm upper "_s, u"Same page again "_s}
        << QStringList{u"kq030003.vxp"_s, u"KQ030003.VXP"_s, u"kq010003.vxp"_s};

    const QStringList both{What, Solar};
    const QStringList bothFiles{u"kq010003.vxp"_s, u"kq010004.vxp"_s};
    QTest::newRow("two words in the first word's order") << u"cab wire"_s << both << bothFiles;
    QTest::newRow("several spaces between") << u"cab     wire"_s << both << bothFiles;
    QTest::newRow("third word ignored") << u" cab wire able "_s << both << bothFiles;
    QTest::newRow("order follows the first word") << u"wire cab"_s << QStringList{Solar, What}
                                                   << QStringList{u"kq010004.vxp"_s, u"kq010003.vxp"_s};
    QTest::newRow("candidate keeps its own title") << u"ohm dup"_s << QStringList{u"Same page again "_s}
                                                   << QStringList{u"kq010003.vxp"_s};
    // The apostrophes and hyphens a learner cannot tell apart on the page.
    QTest::newRow("typographic apostrophe typed") << u"USER\u2019S"_s << QStringList{Solar}
                                                  << QStringList{u"kq010004.vxp"_s};
    QTest::newRow("modifier letter apostrophe typed") << u"user\u02bc"_s << QStringList{Solar}
                                                      << QStringList{u"kq010004.vxp"_s};
    QTest::newRow("typographic apostrophe stored") << u"don't"_s << QStringList{What}
                                                   << QStringList{u"kq010003.vxp"_s};
    QTest::newRow("typographic hyphens typed") << u"apt\u2010get"_s << QStringList{Hazards}
                                               << QStringList{u"kq020003.vxp"_s};
    QTest::newRow("two words, typographic") << u"apt\u2011g user\u2018s"_s << QStringList()
                                            << QStringList();
    QTest::newRow("second word matches nothing") << u"cab zzz"_s << QStringList() << QStringList();
    QTest::newRow("first word matches nothing") << u"zzz cab"_s << QStringList() << QStringList();
}

void TestSearchIndex::search()
{
    QFETCH(QString, query);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, files);
    const auto result = m_index.search(query);
    QVERIFY(result);
    QCOMPARE(result->entries, entries);
    QCOMPARE(result->resultFiles, files);
    QCOMPARE(result->count(), entries.size());
    QCOMPARE(result->label(), u"Found:  "_s + QString::number(entries.size()) + u" pages"_s);
}

void TestSearchIndex::blankQueryChangesNothing()
{
    QVERIFY(!m_index.search(u"    "_s));
    QVERIFY(!m_index.search(QString()));
    // Only spaces are trimmed: a TAB is a query like any other.
    QVERIFY(m_index.search(u"\t"_s));
    QCOMPARE(SearchIndex().search(u"cab"_s)->label(), u"Found:  0 pages"_s);
}

void TestSearchIndex::brokenFileLists_data()
{
    QTest::addColumn<QString>("fileList");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("0") << u"0\t1\t"_s << QStringList{What};
    QTest::newRow("above 12400") << u"12401\t2\t"_s << QStringList{Solar};
    QTest::newRow("not decimal") << u"abc\t2\t"_s << QStringList{Solar};
    QTest::newRow("last number without TAB") << u"1\t2"_s << QStringList{What, Solar};
    QTest::newRow("empty fields") << u"\t\t2\t"_s << QStringList{Solar};
    QTest::newRow("line without a page") << u"5\t2\t"_s << QStringList{Solar};
    QTest::newRow("beyond the lines read") << u"99\t2\t"_s << QStringList{Solar};
    QTest::newRow("empty list") << QString() << QStringList();
    QTest::newRow("spaces around a number") << u" 2 \t"_s << QStringList{Solar};
}

void TestSearchIndex::brokenFileLists()
{
    QFETCH(QString, fileList);
    QFETCH(QStringList, entries);
    const SearchIndex index = indexOf(u"x\t"_s + fileList + u"\r\ny\t1\t2\t3\t"_s);
    QCOMPARE(index.search(u"x"_s)->entries, entries);
    QCOMPARE(index.search(u"x y"_s)->entries, entries);
}

void TestSearchIndex::twoWordListsBeyondTheTableSize()
{
    // 100 words of 200 pages each: 20000 candidates, more than a table holds.
    QString files;
    QString numbers;
    QString reversed;
    QStringList expected;
    for (int f = 1; f <= 200; ++f) {
        files += QString::number(f) + u"\tp"_s + QString::number(f) + u".vxp\tT"_s + QString::number(f) + u"\r\n"_s;
        numbers += QString::number(f) + u'\t';
        reversed.prepend(QString::number(f) + u'\t');
        expected.append(u"T"_s + QString::number(f) + u' ');
    }
    QString words;
    for (int w = 0; w < 100; ++w)
        words += u"aa"_s + QString::number(w) + u'\t' + numbers + u"\r\n"_s;
    words += u"bb\t"_s + reversed + u"\r\n"_s;

    const auto result = indexOf(words, files).search(u"aa bb"_s);
    QCOMPARE(result->entries, expected);
    QCOMPARE(result->label(), u"Found:  200 pages"_s);
}

void TestSearchIndex::searchWordsAreTheWordsSearched_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("one word, as typed") << u" CaBle "_s << QStringList{u"CaBle"_s};
    QTest::newRow("two words") << u"cab   wire"_s << QStringList{u"cab"_s, u"wire"_s};
    QTest::newRow("third word ignored") << u" cab wire able "_s << QStringList{u"cab"_s, u"wire"_s};
    QTest::newRow("TAB is no space") << u"cab\twire"_s << QStringList{u"cab\twire"_s};
    QTest::newRow("spaces only") << u"   "_s << QStringList();
}

// The words the page opened from a search shows are the ones the search
// used: they must split as the search splits.
void TestSearchIndex::searchWordsAreTheWordsSearched()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, words);
    QCOMPARE(searchWords(entry), words);
}

QTEST_APPLESS_MAIN(TestSearchIndex)
#include "tst_searchindex.moc"
