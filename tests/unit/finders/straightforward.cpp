#include "straightforward.h"

#include "tables/textrules.h"
#include "finders/wordsuggestions.h"
#include "history/historymatcher.h"

#include <QList>

#include <algorithm>
#include <tuple>

using namespace Tamberlyn;
using Tables::trimSpaces;
using Tables::searchKey;

namespace Straightforward {

namespace {

constexpr int Slots = 12401;

bool startsWithUpper(QStringView word, QStringView upperQuery)
{
    return searchKey(word.left(upperQuery.size())) == upperQuery;
}

// A file list walked field by field; a field is used when it is 1 to 12400
// in plain decimal and its line has a page file.
QList<int> usableFiles(QString list, const Tables::PageTable &pages)
{
    QList<int> files;
    while (!list.isEmpty()) {
        const qsizetype tab = list.indexOf(u'\t');
        const QString field = trimSpaces(tab < 0 ? QStringView(list) : QStringView(list).left(tab)).toString();
        list = tab < 0 ? QString() : list.mid(tab + 1);
        bool digitsOnly = !field.isEmpty();
        for (const QChar c : field)
            digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
        // Leading zeros leave the number as it is ("000001" is file 1); a
        // number in range has at most five digits after them.
        QStringView significant(field);
        while (significant.size() > 1 && significant.front() == u'0')
            significant = significant.sliced(1);
        const int f = digitsOnly && significant.size() <= 5 ? significant.toInt() : 0;
        if (f >= 1 && f <= 12400 && !pages.slot(f).pageFile.isEmpty())
            files.append(f);
    }
    return files;
}

bool matches(const QString &word, const QString &upperQuery)
{
    const QStringView trimmed = trimSpaces(word);
    return !trimmed.isEmpty() && startsWithUpper(trimmed, upperQuery);
}

bool listedAmong(const QList<QString> &resultFiles, qsizetype n, const QString &page)
{
    for (qsizetype k = 1; k <= n; ++k) {
        if (resultFiles[k] == page)
            return true;
    }
    return false;
}

} // namespace

Finders::Narrowing narrow(const Tables::WordTable &words, QStringView entryText)
{
    const QString query = searchKey(trimSpaces(entryText));
    Finders::Narrowing result;
    for (int s = 1; s < Slots; ++s) {
        const QString &word = words.slot(s).word;
        if (!word.isEmpty() && startsWithUpper(word, query))
            result.entries.append(word + u' ');
    }
    result.label = QStringLiteral("Found:  %1 words").arg(result.entries.size());
    return result;
}

std::optional<Finders::SearchResult> search(const Tables::WordTable &words, const Tables::PageTable &pages,
                                            QStringView entryText)
{
    const QString t = trimSpaces(entryText).toString();
    if (t.isEmpty())
        return std::nullopt;
    QList<QString> resultFiles(Slots);
    QStringList entries;
    qsizetype n = 0;

    if (!t.contains(u' ')) {
        const QString query = searchKey(t);
        for (int s = 1; s < Slots; ++s) {
            if (!matches(words.slot(s).word, query))
                continue;
            for (const int f : usableFiles(words.slot(s).fileList, pages)) {
                const QString &p = pages.slot(f).pageFile;
                if (listedAmong(resultFiles, n, p))
                    continue;
                ++n;
                entries.append(pages.slot(f).title + u' ');
                resultFiles[n] = p;
            }
        }
    } else {
        const qsizetype space = t.indexOf(u' ');
        const QString first = searchKey(t.left(space));
        const QString rest = trimSpaces(QStringView(t).mid(space + 1)).toString();
        const QString second = searchKey(rest.contains(u' ') ? rest.left(rest.indexOf(u' ')) : rest);

        QList<QPair<QString, QString>> candidates;
        QList<QString> partners;
        for (int s = 1; s < Slots; ++s) {
            if (matches(words.slot(s).word, first)) {
                for (const int f : usableFiles(words.slot(s).fileList, pages))
                    candidates.append({pages.slot(f).pageFile, pages.slot(f).title});
            }
            if (matches(words.slot(s).word, second)) {
                for (const int f : usableFiles(words.slot(s).fileList, pages))
                    partners.append(pages.slot(f).pageFile);
            }
        }
        n = candidates.size();
        qsizetype m = 0;
        for (const auto &[p, title] : candidates) {
            bool partnered = false;
            for (const QString &partner : partners)
                partnered = partnered || partner == p;
            if (partnered && !listedAmong(resultFiles, m, p)) {
                ++m;
                entries.append(title + u' ');
                resultFiles[m] = p;
            } else {
                --n;
            }
        }
        Q_ASSERT(n == m);
    }

    Finders::SearchResult result;
    result.entries = entries;
    for (qsizetype k = 1; k <= n; ++k)
        result.resultFiles.append(resultFiles[k]);
    return result;
}

namespace {

// The whole table of edits: rows for the typed key, columns for the word's.
Finders::KeyDistance editTable(const QString &typed, const QString &word)
{
    const qsizetype m = typed.size();
    const qsizetype n = word.size();
    QList<QList<int>> d(m + 1, QList<int>(n + 1, 0));
    for (qsizetype i = 0; i <= m; ++i)
        d[i][0] = int(i);
    for (qsizetype j = 0; j <= n; ++j)
        d[0][j] = int(j);
    for (qsizetype i = 1; i <= m; ++i) {
        for (qsizetype j = 1; j <= n; ++j) {
            const int change = typed[i - 1] == word[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && typed[i - 1] == word[j - 2] && typed[i - 2] == word[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return {*std::min_element(d[m].begin(), d[m].end()), d[m][n]};
}

struct Close
{
    QString word;
    Finders::KeyDistance distance;
};

QList<Close> closestWords(const Tables::WordTable &words, const QString &typed, qsizetype most)
{
    const QString key = Finders::suggestionKey(typed);
    if (key.isEmpty() || key.size() > Finders::WordSuggestions::LongestTypedKey)
        return {};
    const int limit = Finders::suggestionLimit(key.size());
    struct Candidate
    {
        int slot;
        QString word;
        Finders::KeyDistance distance;
        qsizetype pages;
    };
    QList<Candidate> candidates;
    for (int s = 1; s < Slots; ++s) {
        const QString word = trimSpaces(words.slot(s).word).toString();
        if (word.isEmpty() || word.contains(u' ') || Finders::suggestionKey(word).isEmpty())
            continue;
        const Finders::KeyDistance distance = editTable(key, Finders::suggestionKey(word));
        if (distance.toBeginning <= limit)
            candidates.append({s, word, distance, words.slot(s).fileList.count(u'\t')});
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate &a, const Candidate &b) {
        return std::make_tuple(a.distance.toBeginning, a.distance.toWhole, -a.pages, a.slot)
               < std::make_tuple(b.distance.toBeginning, b.distance.toWhole, -b.pages, b.slot);
    });
    QList<Close> list;
    for (const Candidate &candidate : candidates) {
        if (candidate.distance.toBeginning > candidates.constFirst().distance.toBeginning + 1 || list.size() == most)
            break;
        bool covered = false;
        for (const Close &earlier : list)
            covered = covered || searchKey(candidate.word).startsWith(searchKey(earlier.word));
        if (!covered)
            list.append({candidate.word, candidate.distance});
    }
    return list;
}

qsizetype pagesFound(const Tables::WordTable &words, const Tables::PageTable &pages, const QString &query)
{
    return search(words, pages, query)->count();
}

} // namespace

QList<Finders::SuggestedSearch> suggest(const Tables::WordTable &words, const Tables::PageTable &pages,
                                        QStringView entryText)
{
    const QString t = trimSpaces(entryText).toString();
    if (t.isEmpty())
        return {};
    const qsizetype space = t.indexOf(u' ');
    QList<Finders::SuggestedSearch> suggestions;
    if (space < 0) {
        for (const Close &close : closestWords(words, t, 2 * Finders::SearchSuggestions::MostShown)) {
            const qsizetype found = pagesFound(words, pages, close.word);
            if (found > 0 && suggestions.size() < Finders::SearchSuggestions::MostShown)
                suggestions.append({close.word, found});
        }
        return suggestions;
    }
    const QString rest = trimSpaces(QStringView(t).mid(space + 1)).toString();
    const QStringList typed = {t.left(space), rest.contains(u' ') ? rest.left(rest.indexOf(u' ')) : rest};

    QList<Close> choices[2];
    for (int w = 0; w < 2; ++w) {
        const bool typedFinds = pagesFound(words, pages, typed[w]) > 0;
        if (typedFinds)
            choices[w].append({typed[w], {}});
        for (const Close &close : closestWords(words, typed[w], Finders::SearchSuggestions::WordsPerWordOfTwo)) {
            if (typedFinds && searchKey(close.word).startsWith(searchKey(typed[w])))
                continue;
            if (pagesFound(words, pages, close.word) > 0)
                choices[w].append(close);
        }
    }
    struct Pair
    {
        std::tuple<int, int, qsizetype, qsizetype> rank;
        QString query;
    };
    QList<Pair> pairs;
    for (qsizetype i = 0; i < choices[0].size(); ++i) {
        for (qsizetype j = 0; j < choices[1].size(); ++j) {
            const Finders::KeyDistance a = choices[0][i].distance;
            const Finders::KeyDistance b = choices[1][j].distance;
            pairs.append({{a.toBeginning + b.toBeginning, a.toWhole + b.toWhole, i + j, i},
                          choices[0][i].word + u' ' + choices[1][j].word});
        }
    }
    std::sort(pairs.begin(), pairs.end(), [](const Pair &a, const Pair &b) { return a.rank < b.rank; });
    for (const Pair &pair : pairs) {
        const qsizetype found = pagesFound(words, pages, pair.query);
        if (found > 0 && suggestions.size() < Finders::SearchSuggestions::MostShown)
            suggestions.append({pair.query, found});
    }
    if (!suggestions.isEmpty())
        return suggestions;
    for (const QList<Close> &choice : choices) {
        if (!choice.isEmpty())
            suggestions.append({choice[0].word, pagesFound(words, pages, choice[0].word)});
    }
    if (suggestions.size() == 2 && suggestions[0].query == suggestions[1].query)
        suggestions.removeLast();
    return suggestions;
}

QList<History::HistoryItem> matchHistory(const QStringList &historyLines, const Tables::PageTable &pages)
{
    // The upper-case page files are made once, before the loops: the loops
    // themselves are the plain ones.
    QList<QString> upperPages(Slots);
    int usable = 0;
    while (usable + 1 < Slots && !trimSpaces(pages.slot(usable + 1).pageFile).isEmpty()) {
        ++usable;
        upperPages[usable] = Tables::upperCase(trimSpaces(pages.slot(usable).pageFile));
    }

    QList<History::HistoryItem> items;
    for (int i = 1; i < Slots; ++i) {
        const QString line = i <= historyLines.size() ? historyLines[i - 1] : QString();
        const QStringView trimmed = trimSpaces(line);
        if (trimmed.isEmpty())
            continue;
        const QString upperLine = Tables::upperCase(trimmed);
        for (int j = 1; j <= usable; ++j) {
            if (upperLine.indexOf(upperPages[j], 1) < 0)
                continue;
            if (items.size() == History::HistoryMatcher::MaxItems)
                return items;
            items.append({pages.slot(j).title, pages.slot(j).pageFile});
        }
    }
    return items;
}

} // namespace Straightforward
