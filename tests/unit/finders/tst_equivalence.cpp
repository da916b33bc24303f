// The fast finders against the plain algorithms, on tables made up from
// fixed seeds: every narrowing, search and history list must come out the
// same, entry for entry.
#include "straightforward.h"
#include "tablegenerator.h"

#include "finders/searchindex.h"
#include "finders/searchsuggestions.h"
#include "tables/tablefilereader.h"
#include "finders/wordindex.h"
#include "history/historyloader.h"
#include "history/historymatcher.h"

#include <QRegularExpression>
#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

namespace {

// A query as a learner gets it wrong: copied with punctuation, typed
// without accents, or with two letters swapped.
QStringList slipsOf(const QString &query)
{
    QString unaccented = query.normalized(QString::NormalizationForm_D);
    unaccented.remove(QRegularExpression(u"\\p{M}"_s));
    QString swapped = query;
    if (swapped.size() >= 3)
        std::swap(swapped[1], swapped[2]);
    return {u"("_s + query + u"),"_s, unaccented, swapped};
}

} // namespace

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

    // Suggestions are asked for when a search finds nothing. The plain
    // algorithm searches for every count: a few queries on every fourth
    // table do.
    if (seed % 4 != 1)
        return;
    const Finders::SearchSuggestions suggestions(words);
    int suggested = 0;
    for (const QString &query : generated.queries.first(qMin(qsizetype(4), generated.queries.size()))) {
        for (const QString &slip : slipsOf(query)) {
            const auto found = searchIndex.search(slip);
            if (!found || found->count() > 0)
                continue;
            const QList<Finders::SuggestedSearch> fastSuggestions = suggestions.suggest(slip, searchIndex);
            QCOMPARE(fastSuggestions, Straightforward::suggest(words, pages, slip));
            suggested += !fastSuggestions.isEmpty();
        }
    }
    QVERIFY2(suggested >= 2, qPrintable(QString::number(suggested)));
}

QTEST_APPLESS_MAIN(TestEquivalence)
#include "tst_equivalence.moc"
