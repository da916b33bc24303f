#include "wordsuggestions.h"

#include "tables/textrules.h"

#include <QVarLengthArray>

#include <algorithm>
#include <tuple>

namespace Tamberlyn::Finders {

namespace {

// Letters that no decomposition splits into a base letter and an accent,
// as a learner without them on the keyboard writes them.
QStringView plainLetters(char16_t letter)
{
    switch (letter) {
    case u'ß':
        return u"SS";
    case u'œ':
    case u'Œ':
        return u"OE";
    case u'æ':
    case u'Æ':
        return u"AE";
    case u'ø':
    case u'Ø':
        return u"O";
    case u'đ':
    case u'Đ':
    case u'ð':
    case u'Ð':
        return u"D";
    case u'ł':
    case u'Ł':
        return u"L";
    case u'ı':
        return u"I";
    case u'þ':
    case u'Þ':
        return u"TH";
    default:
        return {};
    }
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

QString suggestionKey(QStringView text)
{
    // Most words are plain ASCII, which no decomposition changes.
    const QString decomposed =
        isAscii(text) ? text.toString() : text.toString().normalized(QString::NormalizationForm_KD);
    QString key;
    key.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        // Accents are marks once decomposed, and marks are no letters.
        if (!c.isLetterOrNumber())
            continue;
        if (const QStringView plain = plainLetters(c.unicode()); !plain.isEmpty())
            key += plain;
        else
            key += c.toUpper();
    }
    return key;
}

int suggestionLimit(qsizetype typedKeyLength)
{
    if (typedKeyLength <= 2)
        return 0;
    return typedKeyLength <= 5 ? 1 : 2;
}

std::optional<KeyDistance> keyDistance(QStringView typed, QStringView word, int limit)
{
    const qsizetype m = typed.size();
    const qsizetype n = word.size();
    // Even the whole word leaves typed letters over.
    if (m - n > limit)
        return std::nullopt;
    // Three rows of the edit table: typed letters down, word letters across;
    // row i, column j is the distance from the first i typed letters to the
    // first j letters of the word. The swap of two neighbours looks back two
    // rows.
    QVarLengthArray<int, 3 * 80> rows(3 * (n + 1));
    int *twoBack = rows.data();
    int *previous = twoBack + (n + 1);
    int *current = previous + (n + 1);
    for (qsizetype j = 0; j <= n; ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= m; ++i) {
        current[0] = int(i);
        int rowBest = current[0];
        for (qsizetype j = 1; j <= n; ++j) {
            const bool same = typed[i - 1] == word[j - 1];
            int d = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && typed[i - 1] == word[j - 2] && typed[i - 2] == word[j - 1])
                d = std::min(d, twoBack[j - 2] + 1);
            current[j] = d;
            rowBest = std::min(rowBest, d);
        }
        // A row's best never improves further down: every later cell comes
        // from this row or the one before at no negative cost.
        if (rowBest > limit)
            return std::nullopt;
        std::swap(twoBack, previous);
        std::swap(previous, current);
    }
    const int toBeginning = *std::min_element(previous, previous + n + 1);
    if (toBeginning > limit)
        return std::nullopt;
    return KeyDistance{toBeginning, previous[n]};
}

WordSuggestions::WordSuggestions(const Tables::WordTable &words)
{
    m_entries.reserve(std::size_t(words.lineCount()));
    for (const Tables::WordLine &line : words.lines()) {
        const QStringView word = Tables::trimSpaces(line.word);
        // A word with a space inside would be searched as two.
        if (word.isEmpty() || word.contains(u' '))
            continue;
        QString key = suggestionKey(word);
        if (key.isEmpty())
            continue;
        m_entries.push_back({std::move(key), word.toString(), Tables::searchKey(word), line.fileList.count(u'\t')});
    }
}

QList<WordSuggestion> WordSuggestions::closest(QStringView typed, qsizetype most) const
{
    const QString key = suggestionKey(typed);
    if (key.isEmpty() || key.size() > LongestTypedKey || most <= 0)
        return {};
    const int limit = suggestionLimit(key.size());

    struct Near
    {
        KeyDistance distance;
        std::size_t entry;
    };
    std::vector<Near> near;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (const auto distance = keyDistance(key, m_entries[i].key, limit))
            near.push_back({*distance, i});
    }
    const auto rank = [this](const Near &candidate) {
        return std::make_tuple(candidate.distance.toBeginning, candidate.distance.toWhole,
                               -m_entries[candidate.entry].pages,
                               candidate.entry);
    };
    std::sort(near.begin(), near.end(), [&](const Near &a, const Near &b) { return rank(a) < rank(b); });

    QList<WordSuggestion> list;
    std::vector<const Entry *> kept;
    for (const Near &candidate : near) {
        if (candidate.distance.toBeginning > near.front().distance.toBeginning + 1)
            break;
        const Entry &entry = m_entries[candidate.entry];
        const bool listedAlready = std::any_of(kept.begin(), kept.end(), [&](const Entry *earlier) {
            return entry.searchKey.startsWith(earlier->searchKey);
        });
        if (listedAlready)
            continue;
        kept.push_back(&entry);
        list.append({entry.word, candidate.distance});
        if (list.size() == most)
            break;
    }
    return list;
}

} // namespace Tamberlyn::Finders
