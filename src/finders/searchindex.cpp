#include "searchindex.h"

#include "findertexts.h"
#include "tables/numberfields.h"
#include "tables/textrules.h"

#include <QHash>

#include <bit>

namespace Tamberlyn::Finders {

QString SearchResult::label() const
{
    return pagesFoundLabel(count());
}

SearchIndex::SearchIndex(const Tables::WordTable &words, const Tables::PageTable &pages)
{
    const qsizetype fileCount = pages.lineCount();
    m_pageFiles.reserve(fileCount + 1);
    m_entries.reserve(fileCount + 1);
    m_pageIds.assign(std::size_t(fileCount + 1), -1);
    m_pageFiles.append(QString());
    m_entries.append(QString());
    QHash<QString, qsizetype> ids;
    for (qsizetype f = 1; f <= fileCount; ++f) {
        const Tables::PageLine &page = pages.slot(f);
        m_pageFiles.append(page.pageFile);
        m_entries.append(page.title + u' ');
        if (page.pageFile.isEmpty())
            continue;
        auto id = ids.find(page.pageFile);
        if (id == ids.end())
            id = ids.insert(page.pageFile, ids.size());
        m_pageIds[std::size_t(f)] = *id;
    }
    m_pageCount = ids.size();

    for (const Tables::WordLine &line : words.lines()) {
        WordSlot slot{Tables::searchKey(Tables::trimSpaces(line.word)), {}};
        if (slot.key.isEmpty())
            continue;
        for (const Tables::FileListField &field : Tables::fileListFields(line.fileList)) {
            const auto f = Tables::fileNumber(field.text);
            if (f && *f <= fileCount && m_pageIds[std::size_t(*f)] >= 0)
                slot.files.push_back(*f);
        }
        m_words.push_back(std::move(slot));
    }
}

template <typename Visit>
void SearchIndex::forEachFileOf(const QString &query, Visit &&visit) const
{
    for (const WordSlot &word : m_words) {
        if (!word.key.startsWith(query))
            continue;
        for (const qsizetype f : word.files)
            visit(f);
    }
}

void SearchIndex::list(SearchResult &result, qsizetype file) const
{
    result.entries.append(m_entries.at(file));
    result.resultFiles.append(m_pageFiles.at(file));
}

namespace {

// The entry box text as the search reads it: the first word, and the second
// when there is one (empty otherwise); the first is empty for spaces only.
struct QueryWords
{
    QStringView first;
    QStringView second;
};

QueryWords queryWords(QStringView entryText)
{
    const QStringView text = Tables::trimSpaces(entryText);
    const qsizetype space = text.indexOf(u' ');
    if (space < 0)
        return {text, {}};
    const QStringView rest = Tables::trimSpaces(text.sliced(space + 1));
    const qsizetype restSpace = rest.indexOf(u' ');
    return {text.first(space), restSpace < 0 ? rest : rest.first(restSpace)};
}

} // namespace

QStringList leftOutWords(QStringView entryText)
{
    const QueryWords words = queryWords(entryText);
    if (words.second.isEmpty())
        return {};
    // What follows the second word, wherever the second word ends.
    const QStringView afterSecond = entryText.sliced(words.second.data() - entryText.data() + words.second.size());
    QStringList leftOut;
    for (const QStringView word : afterSecond.split(u' ', Qt::SkipEmptyParts))
        leftOut.append(word.toString());
    return leftOut;
}

QStringList searchWords(QStringView entryText)
{
    const QueryWords words = queryWords(entryText);
    if (words.first.isEmpty())
        return {};
    if (words.second.isEmpty())
        return {words.first.toString()};
    return {words.first.toString(), words.second.toString()};
}

std::optional<SearchResult> SearchIndex::search(QStringView entryText) const
{
    const QueryWords words = queryWords(entryText);
    if (words.first.isEmpty())
        return std::nullopt;
    if (words.second.isEmpty())
        return oneWord(Tables::searchKey(words.first));
    return twoWords(Tables::searchKey(words.first), Tables::searchKey(words.second));
}

PageSet::PageSet(qsizetype pageCount)
    : m_bits(std::size_t((pageCount + 63) / 64), 0)
{
}

void PageSet::add(qsizetype page)
{
    m_bits[std::size_t(page / 64)] |= quint64(1) << (page % 64);
}

bool PageSet::contains(qsizetype page) const
{
    return (m_bits[std::size_t(page / 64)] >> (page % 64)) & 1;
}

qsizetype PageSet::count() const
{
    qsizetype count = 0;
    for (const quint64 bits : m_bits)
        count += std::popcount(bits);
    return count;
}

qsizetype PageSet::countShared(const PageSet &other) const
{
    qsizetype count = 0;
    for (std::size_t i = 0; i < std::min(m_bits.size(), other.m_bits.size()); ++i)
        count += std::popcount(m_bits[i] & other.m_bits[i]);
    return count;
}

PageSet SearchIndex::pagesOf(QStringView word) const
{
    PageSet pages(m_pageCount);
    const QString query = Tables::searchKey(Tables::trimSpaces(word));
    if (!query.isEmpty())
        forEachFileOf(query, [&](qsizetype f) { pages.add(m_pageIds[std::size_t(f)]); });
    return pages;
}

SearchResult SearchIndex::oneWord(const QString &query) const
{
    SearchResult result;
    std::vector<bool> listed(std::size_t(m_pageCount), false);
    forEachFileOf(query, [&](qsizetype f) {
        const auto id = std::size_t(m_pageIds[std::size_t(f)]);
        if (!listed[id]) {
            listed[id] = true;
            list(result, f);
        }
    });
    return result;
}

SearchResult SearchIndex::twoWords(const QString &first, const QString &second) const
{
    // The partners are a set of pages rather than a list, so no number of
    // matching words can overflow them, and a candidate costs one look-up.
    std::vector<bool> partner(std::size_t(m_pageCount), false);
    forEachFileOf(second, [&](qsizetype f) { partner[std::size_t(m_pageIds[std::size_t(f)])] = true; });

    SearchResult result;
    std::vector<bool> listed(std::size_t(m_pageCount), false);
    forEachFileOf(first, [&](qsizetype f) {
        const auto id = std::size_t(m_pageIds[std::size_t(f)]);
        if (partner[id] && !listed[id]) {
            listed[id] = true;
            list(result, f);
        }
    });
    return result;
}

} // namespace Tamberlyn::Finders
