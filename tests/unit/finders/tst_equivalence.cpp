// The fast finders against the plain algorithms, on tables made up from
// fixed seeds: every narrowing, search and history list must come out the
// same, entry for entry.
#include "straightforward.h"
#include "tablegenerator.h"

#include "finders/searchindex.h"
#include "tables/tablefilereader.h"
#include "finders/wordindex.h"
#include "history/historyloader.h"
#include "history/historymatcher.h"

#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

class TestEquivalence final : public QObject
{
    Q_OBJECT

private slots:
    void sameOutput_data();
    void sameOutput();
};

void TestEquivalence::sameOutput_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("faults");
    for (quint32 seed = 1; seed <= 40; ++seed)
        QTest::addRow("seed %u", seed) << seed << (seed % 4 != 0);
}

void TestEquivalence::sameOutput()
{
    QFETCH(quint32, seed);
    QFETCH(bool, faults);
    GeneratorShape shape;
    shape.faults = faults;
    const GeneratedIndex generated = generateIndex(seed, shape);
    const Tables::WordTable words = Tables::TableFileReader::parseWords(generated.words).table;
    const Tables::PageTable pages = Tables::TableFileReader::parseFiles(generated.files).table;

    const Finders::WordIndex wordIndex(words);
    const Finders::SearchIndex searchIndex(words, pages);
    int nonEmptyResults = 0;
    for (const QString &query : generated.queries) {
        const Finders::Narrowing fastNarrowing = wordIndex.narrow(query);
        const Finders::Narrowing plainNarrowing = Straightforward::narrow(words, query);
        QCOMPARE(fastNarrowing.entries, plainNarrowing.entries);
        QCOMPARE(fastNarrowing.label, plainNarrowing.label);

        const auto fast = searchIndex.search(query);
        const auto plain = Straightforward::search(words, pages, query);
        QCOMPARE(fast.has_value(), plain.has_value());
        if (!fast)
            continue;
        QCOMPARE(fast->entries, plain->entries);
        QCOMPARE(fast->resultFiles, plain->resultFiles);
        nonEmptyResults += fast->count() > 0;
    }
    // Made-up queries that never find anything would prove nothing.
    QVERIFY2(nonEmptyResults >= 10, qPrintable(QString::number(nonEmptyResults)));

    const QStringList lines = History::HistoryLoader::historyLines(generated.history);
    const QList<History::HistoryItem> fastItems = History::HistoryMatcher(pages).match(lines);
    QCOMPARE(fastItems, Straightforward::matchHistory(lines, pages));
    QVERIFY(!fastItems.isEmpty());
}

QTEST_APPLESS_MAIN(TestEquivalence)
#include "tst_equivalence.moc"
