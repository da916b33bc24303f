#include "multipatternmatcher.h"

#include <algorithm>

namespace Tamberlyn::History {

namespace {

// The edges of the growing trie, (parent, character) -> child, in an open-
// addressing table: inserting a pattern costs one probe per character
// whatever the order of the patterns.
class EdgeTable
{
public:
    explicit EdgeTable(qsizetype maxEdges)
    {
        std::size_t capacity = 16;
        while (capacity < std::size_t(maxEdges) + std::size_t(maxEdges) / 2)
            capacity <<= 1;
        m_mask = capacity - 1;
        m_keys.assign(capacity, Empty);
        m_children.resize(capacity);
    }

    // The child of `parent` by `character`, made by `make()` when missing.
    template <typename Make>
    qint32 childOf(qint32 parent, char16_t character, Make &&make)
    {
        const quint64 key = (quint64(quint32(parent)) << 16) | character;
        std::size_t slot = std::size_t((key * 0x9E3779B97F4A7C15ULL) >> 32) & m_mask;
        while (m_keys[slot] != Empty) {
            if (m_keys[slot] == key)
                return m_children[slot];
            slot = (slot + 1) & m_mask;
        }
        m_keys[slot] = key;
        return m_children[slot] = make();
    }

private:
    static constexpr quint64 Empty = ~quint64(0);
    std::size_t m_mask = 0;
    std::vector<quint64> m_keys;
    std::vector<qint32> m_children;
};

} // namespace

MultiPatternMatcher::MultiPatternMatcher(const QStringList &patterns)
{
    buildTrie(patterns);
}

void MultiPatternMatcher::buildTrie(const QStringList &patterns)
{
    qsizetype totalLength = 0;
    for (const QString &pattern : patterns)
        totalLength += pattern.size();

    std::vector<qint32> parents{-1};
    std::vector<char16_t> characters{0};
    std::vector<qint32> firstPattern{-1};
    std::vector<qsizetype> lastEqual(std::size_t(patterns.size()), -1);
    m_nextEqual.assign(std::size_t(patterns.size()), -1);
    EdgeTable edges(totalLength);
    for (qsizetype index = 0; index < patterns.size(); ++index) {
        const QString &pattern = patterns.at(index);
        if (pattern.isEmpty())
            continue;
        qint32 node = 0;
        for (const QChar c : pattern) {
            const qint32 parent = node;
            node = edges.childOf(parent, c.unicode(), [&] {
                parents.push_back(parent);
                characters.push_back(c.unicode());
                firstPattern.push_back(-1);
                return qint32(parents.size() - 1);
            });
        }
        qint32 &first = firstPattern[std::size_t(node)];
        if (first < 0) {
            first = qint32(index);
            lastEqual[std::size_t(index)] = index;
        } else {
            qsizetype &last = lastEqual[std::size_t(first)];
            m_nextEqual[std::size_t(last)] = index;
            last = index;
            m_equalPatterns = true;
        }
    }

    // Each node's children, by character.
    const std::size_t count = parents.size();
    std::vector<qint32> childStart(count + 1, 0);
    for (std::size_t v = 1; v < count; ++v)
        ++childStart[std::size_t(parents[v]) + 1];
    for (std::size_t v = 0; v < count; ++v)
        childStart[v + 1] += childStart[v];
    std::vector<qint32> children(count > 0 ? count - 1 : 0);
    {
        std::vector<qint32> fill(childStart.begin(), childStart.end() - 1);
        for (std::size_t v = 1; v < count; ++v)
            children[std::size_t(fill[std::size_t(parents[v])]++)] = qint32(v);
    }
    for (std::size_t v = 0; v < count; ++v) {
        if (childStart[v + 1] - childStart[v] > 1)
            std::sort(children.begin() + childStart[v], children.begin() + childStart[v + 1],
                      [&](qint32 a, qint32 b) { return characters[std::size_t(a)] < characters[std::size_t(b)]; });
    }

    // Renumber breadth first: a node's children become neighbours, so they
    // can be searched in place, and every node comes after its fail node.
    std::vector<qint32> byLevel{0};
    byLevel.reserve(count);
    for (std::size_t i = 0; i < byLevel.size(); ++i) {
        const auto v = std::size_t(byLevel[i]);
        for (qint32 c = childStart[v]; c < childStart[v + 1]; ++c)
            byLevel.push_back(children[std::size_t(c)]);
    }
    std::vector<qint32> newNumber(count);
    for (std::size_t i = 0; i < count; ++i)
        newNumber[std::size_t(byLevel[i])] = qint32(i);

    m_nodes.resize(count);
    std::vector<qint32> newParents(count, -1);
    for (std::size_t i = 0; i < count; ++i) {
        const auto old = std::size_t(byLevel[i]);
        Node &n = m_nodes[i];
        n.character = characters[old];
        n.pattern = firstPattern[old];
        n.childCount = childStart[old + 1] - childStart[old];
        if (n.childCount > 0)
            n.childBegin = newNumber[std::size_t(children[std::size_t(childStart[old])])];
        if (parents[old] >= 0)
            newParents[i] = newNumber[std::size_t(parents[old])];
    }
    m_rootAscii.fill(-1);
    for (qint32 c = 0; c < m_nodes.front().childCount; ++c) {
        const qint32 node = m_nodes.front().childBegin + c;
        if (m_nodes[std::size_t(node)].character < m_rootAscii.size())
            m_rootAscii[m_nodes[std::size_t(node)].character] = node;
    }
    linkFailures(newParents);
}

void MultiPatternMatcher::linkFailures(const std::vector<qint32> &parents)
{
    for (std::size_t v = 1; v < m_nodes.size(); ++v) {
        const qint32 parent = parents[v];
        const char16_t character = m_nodes[v].character;
        qint32 fail = 0;
        if (parent != 0) {
            for (qint32 f = m_nodes[std::size_t(parent)].fail;; f = m_nodes[std::size_t(f)].fail) {
                const qint32 next = child(f, character);
                if (next >= 0) {
                    fail = next;
                    break;
                }
                if (f == 0)
                    break;
            }
        }
        Node &node = m_nodes[v];
        node.fail = fail;
        const Node &failNode = m_nodes[std::size_t(fail)];
        node.nextOutput = failNode.pattern >= 0 ? fail : failNode.nextOutput;
    }
}

qint32 MultiPatternMatcher::child(qint32 node, char16_t character) const
{
    // Every failed step ends at the root, so its ASCII children are a table.
    if (node == 0 && character < m_rootAscii.size())
        return m_rootAscii[character];
    const Node &n = m_nodes[std::size_t(node)];
    const auto begin = m_nodes.begin() + n.childBegin;
    const auto end = begin + n.childCount;
    // Below the first levels almost every node has one child or a few.
    if (n.childCount <= 8) {
        for (auto c = begin; c != end; ++c) {
            if (c->character == character)
                return qint32(c - m_nodes.begin());
        }
        return -1;
    }
    const auto found = std::lower_bound(begin, end, character,
                                        [](const Node &c, char16_t ch) { return c.character < ch; });
    return found != end && found->character == character ? qint32(found - m_nodes.begin()) : -1;
}

MultiPatternMatcher::Scratch MultiPatternMatcher::newScratch() const
{
    return Scratch{std::vector<quint32>(m_nodes.size(), 0), 0};
}

std::vector<qsizetype> MultiPatternMatcher::patternsIn(QStringView text) const
{
    std::vector<qsizetype> found;
    Scratch scratch = newScratch();
    appendPatternsIn(text, found, scratch);
    return found;
}

void MultiPatternMatcher::appendPatternsIn(QStringView text, std::vector<qsizetype> &found, Scratch &scratch) const
{
    const auto first = std::ptrdiff_t(found.size());
    if (++scratch.text == 0) { // after four billion texts: start the marks afresh
        std::fill(scratch.reportedIn.begin(), scratch.reportedIn.end(), 0);
        scratch.text = 1;
    }
    qint32 state = 0;
    for (const QChar c : text) {
        for (;;) {
            const qint32 next = child(state, c.unicode());
            if (next >= 0) {
                state = next;
                break;
            }
            if (state == 0)
                break;
            state = m_nodes[std::size_t(state)].fail;
        }
        // Everything on the chain after a node reported in this text was
        // reported with it.
        for (qint32 out = m_nodes[std::size_t(state)].pattern >= 0 ? state : m_nodes[std::size_t(state)].nextOutput;
             out >= 0 && scratch.reportedIn[std::size_t(out)] != scratch.text;
             out = m_nodes[std::size_t(out)].nextOutput) {
            scratch.reportedIn[std::size_t(out)] = scratch.text;
            found.push_back(m_nodes[std::size_t(out)].pattern);
        }
    }
    std::sort(found.begin() + first, found.end());
    if (m_equalPatterns) {
        const auto firsts = std::ptrdiff_t(found.size());
        for (auto i = first; i < firsts; ++i) {
            for (qsizetype next = m_nextEqual[std::size_t(found[std::size_t(i)])]; next >= 0;
                 next = m_nextEqual[std::size_t(next)])
                found.push_back(next);
        }
        std::sort(found.begin() + first, found.end());
    }
}

} // namespace Tamberlyn::History
