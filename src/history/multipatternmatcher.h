#pragma once

#include <QStringList>

#include <array>
#include <vector>

namespace Tamberlyn::History {

// Finds which of many fixed patterns occur in a text, in one pass over the
// text however many patterns there are (Aho-Corasick over UTF-16 units).
// Built once per set of patterns; matching is exact, so callers that want
// letter case ignored give upper-case patterns and texts.
class MultiPatternMatcher final
{
public:
    // Empty patterns are never reported.
    explicit MultiPatternMatcher(const QStringList &patterns);

    // What one matching run notes about the trie, so each pattern is
    // reported once per text however often it occurs: a line of a million
    // "A"s against the patterns "A", "AA", ... would otherwise list every
    // pattern at every position before the duplicates are dropped. Made by
    // newScratch(), reused for any number of texts.
    struct Scratch
    {
        std::vector<quint32> reportedIn; // by node: the text that reported it
        quint32 text = 0;
    };
    Scratch newScratch() const;

    // The indices of the patterns that occur anywhere in `text`, ascending,
    // each once.
    std::vector<qsizetype> patternsIn(QStringView text) const;
    // The same, appended to `found`, for callers that match many texts into
    // one buffer.
    void appendPatternsIn(QStringView text, std::vector<qsizetype> &found, Scratch &scratch) const;

private:
    struct Node
    {
        qint32 childBegin = 0;  // the children are nodes childBegin to
        qint32 childCount = 0;  // childBegin + childCount - 1, by character
        char16_t character = 0;
        qint32 fail = 0;        // the longest proper suffix that is in the trie
        qint32 pattern = -1;    // the first pattern that ends here, if any
        qint32 nextOutput = -1; // the nearest node on the fail chain that ends patterns
    };

    void buildTrie(const QStringList &patterns);
    void linkFailures(const std::vector<qint32> &parents);
    qint32 child(qint32 node, char16_t character) const;

    std::vector<Node> m_nodes;
    std::array<qint32, 128> m_rootAscii{};
    // Equal patterns end at the same node, which names the first of them;
    // each names the next, -1 after the last.
    std::vector<qsizetype> m_nextEqual;
    bool m_equalPatterns = false;
};

} // namespace Tamberlyn::History
