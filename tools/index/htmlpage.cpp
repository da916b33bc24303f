#include "htmlpage.h"

#include "gumboarena.h"

#include "platform/ansicodepage.h"

#include <QList>
#include <QStringDecoder>

#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace Tamberlyn::IndexTool {

namespace {

// Elements whose text runs on into the text around them: HTML's phrasing
// elements that a browser lays out inline, the old presentational ones, and
// unknown ones (custom elements are inline until a style says otherwise).
// Everything else (blocks, list items, table cells, line breaks, form
// controls, pictures, media) ends a word.
bool isInline(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_ACRONYM:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BDI:
    case GUMBO_TAG_BDO:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_BLINK:
    case GUMBO_TAG_CITE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_DATA:
    case GUMBO_TAG_DEL:
    case GUMBO_TAG_DFN:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_I:
    case GUMBO_TAG_INS:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_LABEL:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_NOBR:
    case GUMBO_TAG_Q:
    case GUMBO_TAG_RB:
    case GUMBO_TAG_RP:
    case GUMBO_TAG_RT:
    case GUMBO_TAG_RTC:
    case GUMBO_TAG_RUBY:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SAMP:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_TIME:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_U:
    case GUMBO_TAG_VAR:
    case GUMBO_TAG_WBR:
    case GUMBO_TAG_UNKNOWN:
        return true;
    default:
        return false;
    }
}

// Elements a browser does not show at all. The content of an iframe,
// noembed or noframes is plain text to the parser, markup and all, and is
// never shown; that of audio and video is for browsers without them.
bool isNeverShown(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_VIDEO:
        return true;
    default:
        return false;
    }
}

// Sectioning elements: a header, footer or aside inside one belongs to that
// section (its heading, its notes), not to the page's frame.
bool isSectioning(GumboTag tag)
{
    return tag == GUMBO_TAG_ARTICLE || tag == GUMBO_TAG_ASIDE || tag == GUMBO_TAG_MAIN || tag == GUMBO_TAG_NAV
        || tag == GUMBO_TAG_SECTION;
}

bool hasClass(const GumboAttribute *classes, const char *name)
{
    const std::size_t length = std::strlen(name);
    for (const char *p = classes->value; *p;) {
        while (*p && std::strchr(" \t\n\f\r", *p))
            ++p;
        const char *end = p;
        while (*end && !std::strchr(" \t\n\f\r", *end))
            ++end;
        if (std::size_t(end - p) == length && std::strncmp(p, name, length) == 0)
            return true;
        p = end;
    }
    return false;
}

bool isMarkedNoIndex(const GumboElement &element)
{
    if (gumbo_get_attribute(&element.attributes, "data-noindex"))
        return true;
    const GumboAttribute *classes = gumbo_get_attribute(&element.attributes, "class");
    return classes && hasClass(classes, "noindex");
}

// The children of an element or of the document; nothing for text,
// comments and template contents.
const GumboVector *childrenOf(const GumboNode *node)
{
    if (node->type == GUMBO_NODE_DOCUMENT)
        return &node->v.document.children;
    if (node->type == GUMBO_NODE_ELEMENT)
        return &node->v.element.children;
    return nullptr;
}

// A parsed page: gumbo's tree points into the bytes it was parsed from and
// lives in its arena, so the three are kept together.
struct ParsedPage
{
    QByteArray utf8;
    std::unique_ptr<GumboArena> arena;
    const GumboOutput *tree = nullptr;
};

ParsedPage parseUtf8(QByteArray utf8)
{
    GumboOptions options = kGumboDefaultOptions;
    // Essential, not a nicety: by default gumbo records every parse error
    // with a copy of its context, and a page of 20,000 nested spans then
    // takes 3 GB.
    options.max_errors = 0;
    ParsedPage page{std::move(utf8), std::make_unique<GumboArena>(), nullptr};
    page.arena->install(options);
    page.tree = gumbo_parse_with_options(&options, page.utf8.constData(), std::size_t(page.utf8.size()));
    return page;
}

// Where the content of a noscript element that starts at `from` ends: at
// the first "</noscript" followed by white space, '/' or '>', as a browser
// with scripting on reads it; at the end of the page without one.
qsizetype noscriptEnd(const QByteArray &utf8, qsizetype from)
{
    static constexpr QByteArrayView EndTag("</noscript");
    for (qsizetype at = from; at + EndTag.size() < utf8.size(); ++at) {
        at = utf8.indexOf('<', at);
        if (at < 0 || at + EndTag.size() >= utf8.size())
            break;
        const char after = utf8.at(at + EndTag.size());
        if (QByteArrayView(utf8).sliced(at, EndTag.size()).compare(EndTag, Qt::CaseInsensitive) == 0 && after != 0
            && std::strchr("\t\n\f\r />", after))
            return at;
    }
    return utf8.size();
}

// Where the content of each noscript element of the page starts, in page
// order.
QList<qsizetype> noscriptContentStarts(const GumboNode *root, const QByteArray &utf8)
{
    QList<qsizetype> starts;
    std::vector<const GumboNode *> nodes{root};
    while (!nodes.empty()) {
        const GumboNode *node = nodes.back();
        nodes.pop_back();
        const GumboVector *children = nullptr;
        if (node->type == GUMBO_NODE_DOCUMENT) {
            children = &node->v.document.children;
        } else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
            const GumboElement &element = node->v.element;
            children = &element.children;
            // A noscript the page's own start tag made, not one the parser
            // implied: its tag lies in the page's bytes.
            if (element.tag == GUMBO_TAG_NOSCRIPT && element.tag_namespace == GUMBO_NAMESPACE_HTML
                && element.original_tag.length > 0) {
                starts.append(element.original_tag.data - utf8.constData() + qsizetype(element.original_tag.length));
            }
        }
        if (children) {
            for (unsigned int i = children->length; i-- > 0;)
                nodes.push_back(static_cast<const GumboNode *>(children->data[i]));
        }
    }
    std::sort(starts.begin(), starts.end());
    return starts;
}

// The page without the content of its noscript elements; nothing when
// they have none.
std::optional<QByteArray> withoutNoscriptContent(const ParsedPage &page)
{
    QByteArray without;
    qsizetype copied = 0;
    for (const qsizetype start : noscriptContentStarts(page.tree->document, page.utf8)) {
        // A noscript inside another one's content goes with it (so each
        // byte is looked at once, however many noscripts a page nests).
        if (start < copied)
            continue;
        const qsizetype end = noscriptEnd(page.utf8, start);
        if (end == start)
            continue;
        without += QByteArrayView(page.utf8).sliced(copied, start - copied);
        copied = end;
    }
    if (copied == 0)
        return std::nullopt;
    without += QByteArrayView(page.utf8).sliced(copied);
    return without;
}

// The page as a browser with scripting on reads it, as the viewer does: a
// noscript element's content is plain text up to its end tag, and never
// shown. gumbo parses as a browser with scripting off, and there text or a
// body element inside a noscript in the head ends it, and the rest of its
// content lands in the body. So a page with noscript content is parsed
// again without it. Once is enough but for a noscript that only a comment
// begun in another one's content hid from the first parse; a few rounds
// take those, and bound the work a hostile page can ask for.
ParsedPage parseWithScripting(QByteArray utf8)
{
    constexpr int MaxRounds = 4;
    ParsedPage page = parseUtf8(std::move(utf8));
    for (int round = 0; round < MaxRounds && page.tree; ++round) {
        std::optional<QByteArray> without = withoutNoscriptContent(page);
        if (!without)
            break;
        page = parseUtf8(std::move(*without));
    }
    return page;
}

class TextCollector final
{
    Q_DISABLE_COPY_MOVE(TextCollector)

public:
    TextCollector() = default;

    void collect(const GumboNode *root)
    {
        // An explicit stack: a hostile page can nest elements far deeper
        // than a recursion could follow.
        struct Step
        {
            const GumboNode *node;
            bool leaving;
            bool inSection;
        };
        std::vector<Step> steps{{root, false, false}};
        while (!steps.empty()) {
            const Step step = steps.back();
            steps.pop_back();
            const GumboNode *node = step.node;
            if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE
                || node->type == GUMBO_NODE_CDATA) {
                m_text += QString::fromUtf8(node->v.text.text);
                continue;
            }
            const GumboVector *children = childrenOf(node);
            if (!children)
                continue; // comments, and template contents
            if (node->type == GUMBO_NODE_ELEMENT) {
                const GumboElement &element = node->v.element;
                if (step.leaving) {
                    breakWord(element.tag);
                    continue;
                }
                if (isLeftOut(element, step.inSection))
                    continue;
                breakWord(element.tag);
                steps.push_back({node, true, step.inSection});
            }
            const bool inSection =
                step.inSection || (node->type == GUMBO_NODE_ELEMENT && isSectioning(node->v.element.tag));
            for (unsigned int i = children->length; i-- > 0;)
                steps.push_back({static_cast<const GumboNode *>(children->data[i]), false, inSection});
        }
    }

    QString text() const { return m_text; }

    // The first <title> in document order, wherever it is (a page may put
    // it in the body), its white space collapsed.
    static QString titleOf(const GumboNode *root)
    {
        std::vector<const GumboNode *> nodes{root};
        while (!nodes.empty()) {
            const GumboNode *node = nodes.back();
            nodes.pop_back();
            if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_TITLE)
                return textOf(node).simplified();
            if (const GumboVector *children = childrenOf(node)) {
                for (unsigned int i = children->length; i-- > 0;)
                    nodes.push_back(static_cast<const GumboNode *>(children->data[i]));
            }
        }
        return {};
    }

private:
    static bool isLeftOut(const GumboElement &element, bool inSection)
    {
        if (isNeverShown(element.tag) || element.tag == GUMBO_TAG_NAV || isMarkedNoIndex(element)
            || gumbo_get_attribute(&element.attributes, "hidden"))
            return true;
        const bool furniture =
            element.tag == GUMBO_TAG_HEADER || element.tag == GUMBO_TAG_FOOTER || element.tag == GUMBO_TAG_ASIDE;
        return furniture && !inSection;
    }

    void breakWord(GumboTag tag)
    {
        if (!isInline(tag))
            m_text += u' ';
    }

    // The title's own text: its children are text only.
    static QString textOf(const GumboNode *node)
    {
        QString text;
        const GumboVector &children = node->v.element.children;
        for (unsigned int i = 0; i < children.length; ++i) {
            const auto *child = static_cast<const GumboNode *>(children.data[i]);
            if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE)
                text += QString::fromUtf8(child->v.text.text);
        }
        return text;
    }

    QString m_text;
};

} // namespace

QString HtmlPage::decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
    return Platform::fromAnsi(bytes);
}

HtmlPage HtmlPage::parse(QStringView html)
{
    const ParsedPage parsed = parseWithScripting(html.toUtf8());
    HtmlPage page;
    if (!parsed.tree)
        return page;
    TextCollector collector;
    collector.collect(parsed.tree->document);
    page.title = TextCollector::titleOf(parsed.tree->document);
    page.text = collector.text();
    return page;
}

} // namespace Tamberlyn::IndexTool
