#include "finders/findertexts.h"
#include "finders/searchindex.h"
#include "finders/searchsuggestions.h"
#include "finders/wordsuggestions.h"
#include "tables/tablefilereader.h"

#include <QTest>

using namespace Tamberlyn::Finders;
using namespace Tamberlyn::Tables;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<Tamberlyn::Finders::KeyDistance>)

namespace {

// Pages 1 to 6; "systèmes" and "système" share page 2, "clé" and "ssh"
// share page 5 only, "clean" is on page 6 alone.
const QString Files = u"1\tkq010003.vxp\tBoot\r\n"
                      u"2\tkq010004.vxp\tInit systems\r\n"
                      u"3\tkq020003.vxp\tScreens\r\n"
                      u"4\tkq020004.vxp\tPackages\r\n"
                      u"5\tkq030003.vxp\tKeys\r\n"
                      u"6\tkq030004.vxp\tCleaning up\r\n"_s;

const QString Words = u"apt-get\t4\t\r\n"
                      u"cable\t1\t\r\n"
                      u"cables\t1\t3\t\r\n"
                      u"clean\t6\t\r\n"
                      u"cl\u00e9\t5\t\r\n"
                      u"d'\u00eatre\t3\t\r\n"
                      u"dc cable\t1\t\r\n"
                      u"\u00e9cran\t3\t\r\n"
                      u"\u00e9crans\t3\t4\t\r\n"
                      u"\u00e9craser\t4\t\r\n"
                      u"\u00eatre\t1\t3\t\r\n"
                      u"sistema\t2\t\r\n"
                      u"ssh\t4\t5\t\r\n"
                      u"syst\u00e8me\t1\t2\t\r\n"
                      u"syst\u00e8mes\t2\t\r\n"
                      u"systemd\t2\t3\t4\t\r\n"
                      u"wide\t1\t2\t3\t\r\n"
                      u"wire\t1\t\r\n"_s;

WordTable wordTable()
{
    return TableFileReader::parseWords(Words).table;
}

} // namespace

class TestWordSuggestions final : public QObject
{
    Q_OBJECT

private slots:
    void keys_data();
    void keys();
    void distances_data();
    void distances();
    void closestWords_data();
    void closestWords();
    void suggestedSearches_data();
    void suggestedSearches();
    void leftOutWords_data();
    void leftOutWords();
    void whatTheWindowSays();

private:
    const WordSuggestions m_words{wordTable()};
};

void TestWordSuggestions::keys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::newRow("punctuation copied with the word") << u"(apt-get),"_s << u"APTGET"_s;
    QTest::newRow("accents and case") << u"Syst\u00e8me"_s << u"SYSTEME"_s;
    QTest::newRow("accent typed as a combining mark") << u"e\u0301cran"_s << u"ECRAN"_s;
    QTest::newRow("elision") << u"d\u2019\u00eatre"_s << u"DETRE"_s;
    QTest::newRow("letters without an accent to drop") << u"c\u0153ur Stra\u00dfe \u00d8re"_s
                                                       << u"COEURSTRASSEORE"_s;
    QTest::newRow("compatibility forms") << u"\ufb01le m\u00b2"_s << u"FILEM2"_s;
    QTest::newRow("digits stay") << u"UTF-8"_s << u"UTF8"_s;
    QTest::newRow("punctuation only") << u"\u2014(!)"_s << QString();
    QTest::newRow("soft hyphen and a character beyond the basic plane")
        << u"mo\u00adnitor\U0001F600"_s << u"MONITOR"_s;
}

void TestWordSuggestions::keys()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QCOMPARE(suggestionKey(text), key);
}

void TestWordSuggestions::distances_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("limit");
    QTest::addColumn<std::optional<KeyDistance>>("distance");
    const auto d = [](int toBeginning, int toWhole) {
        return std::optional<KeyDistance>(KeyDistance{toBeginning, toWhole});
    };
    QTest::newRow("same") << u"ECRAN"_s << u"ECRAN"_s << 1 << d(0, 0);
    QTest::newRow("the beginning of the word") << u"ECRA"_s << u"ECRAN"_s << 1 << d(0, 1);
    QTest::newRow("neighbours swapped") << u"CABEL"_s << u"CABLE"_s << 1 << d(1, 1);
    QTest::newRow("a letter left out") << u"CABE"_s << u"CABLE"_s << 1 << d(1, 1);
    QTest::newRow("a letter too many") << u"CABBLE"_s << u"CABLE"_s << 1 << d(1, 1);
    QTest::newRow("a letter changed, longer word") << u"SYSTEME"_s << u"SYSTEMD"_s << 2 << d(1, 1);
    QTest::newRow("close to the beginning, far from the whole")
        << u"SYSTEM"_s << u"SYSTEMCTL"_s << 2 << d(0, 3);
    QTest::newRow("beyond the limit") << u"ABCDEFG"_s << u"ABXXXXX"_s << 2 << std::optional<KeyDistance>();
    QTest::newRow("word too short") << u"CABLES"_s << u"CA"_s << 2 << std::optional<KeyDistance>();
    QTest::newRow("limit 0 keeps beginnings only") << u"SSH"_s << u"SSHD"_s << 0 << d(0, 1);
    QTest::newRow("limit 0, one change") << u"SSH"_s << u"SSL"_s << 0 << std::optional<KeyDistance>();
}

void TestWordSuggestions::distances()
{
    QFETCH(QString, typed);
    QFETCH(QString, word);
    QFETCH(int, limit);
    QFETCH(std::optional<KeyDistance>, distance);
    QCOMPARE(keyDistance(typed, word, limit), distance);
}

void TestWordSuggestions::closestWords_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("words");
    // "systèmes" comes with "système"'s pages; "sistema" is two slips away,
    // and a word spelt exactly as typed keeps it out.
    QTest::newRow("accent missing") << u"systeme"_s << QStringList{u"syst\u00e8me"_s, u"systemd"_s};
    QTest::newRow("punctuation copied") << u"(apt-get),"_s << QStringList{u"apt-get"_s};
    QTest::newRow("elided word, upper case") << u"Etre"_s << QStringList{u"\u00eatre"_s, u"d'\u00eatre"_s};
    QTest::newRow("prefix without its accent") << u"ecra"_s << QStringList{u"\u00e9cran"_s, u"\u00e9craser"_s};
    QTest::newRow("a slip") << u"cabel"_s << QStringList{u"cable"_s};
    QTest::newRow("more pages first at the same distance") << u"wime"_s << QStringList{u"wide"_s, u"wire"_s};
    QTest::newRow("a word with a space is never offered") << u"dc"_s << QStringList();
    QTest::newRow("nothing close") << u"zzzz"_s << QStringList();
    QTest::newRow("punctuation only") << u"--"_s << QStringList();
}

void TestWordSuggestions::closestWords()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, words);
    QStringList found;
    for (const WordSuggestion &suggestion : m_words.closest(typed, 8))
        found << suggestion.word;
    QCOMPARE(found, words);
    QCOMPARE(m_words.closest(typed, 1).size(), qMin(qsizetype(1), words.size()));
}

void TestWordSuggestions::suggestedSearches_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QList<SuggestedSearch>>("suggestions");
    using List = QList<SuggestedSearch>;
    // Counts are what the search for the suggestion lists.
    QTest::newRow("one word") << u"  systeme "_s << List{{u"syst\u00e8me"_s, 2}, {u"systemd"_s, 3}};
    QTest::newRow("first word replaced") << u"cle ssh"_s << List{{u"cl\u00e9 ssh"_s, 1}};
    QTest::newRow("second word replaced") << u"ssh cle"_s << List{{u"ssh cl\u00e9"_s, 1}};
    QTest::newRow("both replaced, a third word aside")
        << u"(apt-get) ecrase passe"_s << List{{u"apt-get \u00e9craser"_s, 1}};
    // No page holds both: each alone, as typed when it finds pages.
    QTest::newRow("no pair: each word alone") << u"clean ssh"_s << List{{u"clean"_s, 1}, {u"ssh"_s, 2}};
    QTest::newRow("no pair, one word far off") << u"zzzz ssh"_s << List{{u"ssh"_s, 2}};
    QTest::newRow("nothing close") << u"zzzz"_s << List{};
    QTest::newRow("spaces only") << u"   "_s << List{};
}

void TestWordSuggestions::suggestedSearches()
{
    QFETCH(QString, entry);
    QFETCH(QList<SuggestedSearch>, suggestions);
    const WordTable words = wordTable();
    const SearchIndex index(words, TableFileReader::parseFiles(Files).table);
    QCOMPARE(SearchSuggestions(words).suggest(entry, index), suggestions);
    for (const SuggestedSearch &suggestion : suggestions)
        QCOMPARE(index.search(suggestion.query)->count(), suggestion.pages);
}

void TestWordSuggestions::leftOutWords_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("searched");
    QTest::addColumn<QStringList>("leftOut");
    QTest::newRow("three words") << u"mot de passe"_s << QStringList{u"mot"_s, u"de"_s} << QStringList{u"passe"_s};
    QTest::newRow("spaces anywhere") << u"  a   b  c   d "_s << QStringList{u"a"_s, u"b"_s}
                                     << QStringList{u"c"_s, u"d"_s};
    QTest::newRow("second word repeated later") << u"a b b"_s << QStringList{u"a"_s, u"b"_s} << QStringList{u"b"_s};
    QTest::newRow("two words") << u"a b "_s << QStringList{u"a"_s, u"b"_s} << QStringList();
    QTest::newRow("one word") << u"a"_s << QStringList{u"a"_s} << QStringList();
}

void TestWordSuggestions::leftOutWords()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, searched);
    QFETCH(QStringList, leftOut);
    QCOMPARE(searchWords(entry), searched);
    QCOMPARE(Tamberlyn::Finders::leftOutWords(entry), leftOut);
}

void TestWordSuggestions::whatTheWindowSays()
{
    QCOMPARE(leftOutNotice({u"mot"_s, u"de"_s}, {u"passe"_s}),
             u"Only \"mot\" and \"de\" were looked for: a search takes two words at most, so \"passe\" was left out."_s);
    QCOMPARE(leftOutNotice({u"a"_s, u"b"_s}, {u"c"_s, u"d"_s, u"e"_s}),
             u"Only \"a\" and \"b\" were looked for: a search takes two words at most, so \"c\", \"d\" and \"e\" were"
             " left out."_s);
    QCOMPARE(leftOutNotice({u"a"_s, u"b"_s}, {}), QString());
    QVERIFY(nothingFoundHeadline({u"systeme"_s}, true)
                .startsWith(u"No page has a word beginning with \"systeme\". These words of the course come close"_s));
    QVERIFY(nothingFoundHeadline({u"cle"_s, u"ssh"_s}, true).startsWith(u"No page has both \"cle\" and \"ssh\"."_s));
    QVERIFY(nothingFoundHeadline({u"zzzz"_s}, false).contains(u"Index (Alt+I)"_s));
    QCOMPARE(suggestionEntry(u"syst\u00e8me"_s, 301), u"syst\u00e8me   (301 pages)"_s);
    QCOMPARE(suggestionEntry(u"ssh"_s, 1), u"ssh   (1 page)"_s);
}

QTEST_APPLESS_MAIN(TestWordSuggestions)
#include "tst_wordsuggestions.moc"
