#include "straightforward.h"

#include "tables/textrules.h"
#include "history/historymatcher.h"

#include <QList>

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
