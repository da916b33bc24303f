// The index tool's reading of course pages, which come from outside: the
// HTML5 parse into title and visible text, the word splitter, and what one
// page adds to the two tables.
//
// Input: a byte that picks an element to plant inside the page, two that
// pick where, then the page's bytes (UTF-8 or Windows-1252, as pages come).
//
// Elements a browser never shows are planted with a marker word of their
// own: at the start of the head and of the body, where nothing the page
// holds can reach them, and one inside the page, where the page's markup
// may swallow it (into a comment, a textarea, an attribute). That one is
// held to the rule only when the parse put its marker nowhere but inside
// such elements, and the page has no noscript of its own. The same page with the markers replaced
// by filler tells whether the page spells a marker itself.

#include "fuzzcheck.h"

#include "courseindex.h"
#include "gumboarena.h"
#include "htmlpage.h"
#include "wordsplitter.h"

#include "tables/codepage.h"
#include "tables/textrules.h"

#include <gumbo.h>

#include <QSet>

#include <cstdint>
#include <cstring>
#include <vector>

using namespace Tamberlyn;
using namespace Tamberlyn::IndexTool;
using Fuzz::require;

namespace {

// An element that hides its content, as it is planted.
struct Hider
{
    const char *open;
    const char *close;
    GumboTag tag;
    const char *attribute; // the attribute that hides it, if its tag does not
};

const Hider HeadHiders[] = {
    {"<script>", "</script>", GUMBO_TAG_SCRIPT, nullptr},
    {"<style>", "</style>", GUMBO_TAG_STYLE, nullptr},
    {"<template>", "</template>", GUMBO_TAG_TEMPLATE, nullptr},
    {"<noscript>", "</noscript>", GUMBO_TAG_NOSCRIPT, nullptr},
};

// In the body, and inside the page.
const Hider BodyHiders[] = {
    {"<script>", "</script>", GUMBO_TAG_SCRIPT, nullptr},
    {"<style>", "</style>", GUMBO_TAG_STYLE, nullptr},
    {"<template><p>", "</p></template>", GUMBO_TAG_TEMPLATE, nullptr},
    {"<noscript><p>", "</p></noscript>", GUMBO_TAG_NOSCRIPT, nullptr},
    {"<div data-noindex>", "</div>", GUMBO_TAG_DIV, "data-noindex"},
    {"<span class=\"a noindex\">", "</span>", GUMBO_TAG_SPAN, "class"},
    {"<b hidden>", "</b>", GUMBO_TAG_B, "hidden"},
    {"<nav>", "</nav>", GUMBO_TAG_NAV, nullptr},
    {"<iframe>", "</iframe>", GUMBO_TAG_IFRAME, nullptr},
};

// A hider with its own marker word: "zqx", a number, "mark", so that no
// marker can be made from pieces of others.
struct Plant
{
    const Hider *hider;
    QByteArray marker;
};

QList<Plant> plants(const Hider *hiders, std::size_t count, int firstNumber)
{
    QList<Plant> list;
    for (std::size_t k = 0; k < count; ++k)
        list.append({&hiders[k], "zqx" + QByteArray::number(firstNumber + int(k)) + "mark"});
    return list;
}

const QList<Plant> HeadPlants = plants(HeadHiders, std::size(HeadHiders), 1);
const QList<Plant> BodyPlants = plants(BodyHiders, std::size(BodyHiders), 11);
const QList<Plant> InnerPlants = plants(BodyHiders, std::size(BodyHiders), 31);

QByteArray planted(const Plant &plant, bool filler)
{
    return plant.hider->open + (filler ? QByteArray(plant.marker.size(), 'Q') : plant.marker) + plant.hider->close;
}

// The page with every plant in place, or with filler for the markers.
QByteArray plantedPage(const QByteArray &page, const Plant &inner, qsizetype at, bool filler)
{
    QByteArray html = "<!DOCTYPE html><html><head>";
    for (const Plant &plant : HeadPlants)
        html += planted(plant, filler);
    html += "</head><body>";
    for (const Plant &plant : BodyPlants)
        html += planted(plant, filler);
    return html + page.first(at) + planted(inner, filler) + page.sliced(at);
}

const GumboVector *childrenOf(const GumboNode *node)
{
    if (node->type == GUMBO_NODE_DOCUMENT)
        return &node->v.document.children;
    if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE)
        return &node->v.element.children;
    return nullptr;
}

// The class attribute's names are split at HTML's white space only.
bool hasClassNoIndex(const char *classes)
{
    QByteArray name;
    for (const char *p = classes;; ++p) {
        if (*p && !std::strchr(" \t\n\f\r", *p)) {
            name += *p;
            continue;
        }
        if (name == "noindex")
            return true;
        name.clear();
        if (!*p)
            return false;
    }
}

bool isHider(const GumboNode *node, const Hider &hider)
{
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return false;
    const GumboElement &element = node->v.element;
    if (element.tag != hider.tag || element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return false;
    if (!hider.attribute)
        return true;
    const GumboAttribute *attribute = gumbo_get_attribute(&element.attributes, hider.attribute);
    return attribute && (std::strcmp(hider.attribute, "class") != 0 || hasClassNoIndex(attribute->value));
}

// Whether the parse put the plant's marker only inside elements of the
// plant's kind: every text holding it has such an element among its
// ancestors (the page may hold the marker too, hidden or not). An
// independent walk of the tree, as a browser builds it.
bool markerOnlyInsidePlants(const QByteArray &html, const Plant &plant)
{
    GumboArena arena;
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    arena.install(options);
    const GumboOutput *output = gumbo_parse_with_options(&options, html.constData(), std::size_t(html.size()));
    struct Step
    {
        const GumboNode *node;
        bool inPlant;
    };
    bool found = false;
    std::vector<Step> steps{{output->document, false}};
    while (!steps.empty()) {
        const Step step = steps.back();
        steps.pop_back();
        const GumboNode *node = step.node;
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_CDATA) {
            if (std::strstr(node->v.text.text, plant.marker.constData())) {
                if (!step.inPlant)
                    return false;
                found = true;
            }
            continue;
        }
        if (const GumboVector *children = childrenOf(node)) {
            const bool inPlant = step.inPlant || isHider(node, *plant.hider);
            for (unsigned int i = 0; i < children->length; ++i)
                steps.push_back({static_cast<const GumboNode *>(children->data[i]), inPlant});
        }
    }
    return found;
}

void checkPlants(const QByteArray &page, const Plant &inner, qsizetype at)
{
    const QByteArray html = plantedPage(page, inner, at, false);
    const QString text = HtmlPage::parse(HtmlPage::decode(html)).text;
    const QString control = HtmlPage::parse(HtmlPage::decode(plantedPage(page, inner, at, true))).text;
    const auto hidden = [&](const Plant &plant) {
        const QString marker = QString::fromLatin1(plant.marker);
        // A page that spells the marker itself shows it without our help.
        if (!control.contains(marker))
            require(!text.contains(marker), "text of an element a browser never shows was read", marker);
    };
    for (const Plant &plant : HeadPlants)
        hidden(plant);
    for (const Plant &plant : BodyPlants)
        hidden(plant);
    // gumbo parses as a browser with scripts off, the viewer reads with them
    // on, and the two part only at a noscript: after one of the page's own,
    // the independent walk would judge the plant by another reading.
    if (!page.toLower().contains("noscript") && markerOnlyInsidePlants(HtmlPage::decode(html).toUtf8(), inner))
        hidden(inner);
}

bool hasSpace(QStringView text)
{
    for (const QChar c : text) {
        if (c.isSpace())
            return true;
    }
    return false;
}

// The text as the splitter reads it: invisible format characters dropped,
// the typographic apostrophes and hyphens written plain.
QString asSplitterReads(QStringView text)
{
    QString plain;
    plain.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Format)
            continue;
        switch (c.unicode()) {
        case 0x2019:
        case 0x2018:
        case 0x02BC:
            plain += u'\'';
            break;
        case 0x2010:
        case 0x2011:
            plain += u'-';
            break;
        default:
            plain += c;
        }
    }
    return plain;
}

void checkWords(const HtmlPage &page, const QStringList &words)
{
    const QString plain = asSplitterReads(page.text);
    for (const QString &word : words) {
        require(!word.isEmpty(), "an empty word");
        require(!hasSpace(word), "a word with white space in it", word);
        require(word.size() <= MaxWordLength, "a word longer than any stored", word);
        require(plain.contains(word), "a word that is not in the page's text", word);
        // A word splits again into itself, then each part after a joiner.
        const QStringList again = splitWords(word);
        require(!again.isEmpty() && again.first() == word, "a word that does not split into itself", word);
        for (qsizetype k = 1; k < again.size(); ++k) {
            const QString &part = again.at(k);
            require(word.endsWith(part) && word.size() > part.size(), "a part that does not end the word", word);
            const QChar joiner = word.at(word.size() - part.size() - 1);
            require(joiner == u'-' || joiner == u'\'', "a part not after a joiner", word);
        }
    }
}

void checkTables(const HtmlPage &page, const QStringList &words)
{
    const Tables::CodePage codePage = Tables::CodePage::windows1252();
    CourseIndex index(codePage);
    const QString pageFile = QStringLiteral("kq010003.vxp");
    index.addPage(pageFile, page);

    // The title is written whole in the code page: never a '?' for a
    // character it lacks, never empty.
    require(index.files().size() == 1, "one page added, not one line");
    const QString title = index.files().first().title;
    require(!title.isEmpty(), "an empty title");
    require(codePage.decode(codePage.encode(title)) == title, "a title the code page cannot hold", title);
    require(title.count(u'?') <= page.title.count(u'?'), "a title written with '?'", title);

    // Every word the code page holds is indexed under its key; every other
    // one is reported as left out, once.
    QSet<QString> expectedKeys;
    QStringList leftOut;
    for (const QString &word : words) {
        if (codePage.canEncode(word))
            expectedKeys.insert(Tables::upperCase(word));
        else if (!leftOut.contains(word))
            leftOut.append(word);
    }
    QSet<QString> keys;
    for (const Tables::WordLine &line : index.words()) {
        require(codePage.canEncode(line.word), "a word written with characters the code page lacks", line.word);
        require(line.fileList == u"1\t", "a file list other than the one page", line.fileList);
        keys.insert(Tables::upperCase(line.word));
    }
    require(keys == expectedKeys, "the words written differ from the words of the page");
    const QStringList reported = index.unwritable().isEmpty() ? QStringList() : index.unwritable().first().words;
    const qsizetype reportedCount = index.unwritable().isEmpty() ? 0 : index.unwritable().first().wordCount;
    require(reported == leftOut.mid(0, CourseIndex::ExamplesPerPage) && reportedCount == leftOut.size(),
            "the words left out differ from those reported", reported.join(u' '));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const Plant &inner = InnerPlants.at(data[0] % InnerPlants.size());
    const QByteArray page(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));
    const qsizetype at = ((qsizetype(data[1]) << 8) | data[2]) % (page.size() + 1);

    const HtmlPage read = HtmlPage::parse(HtmlPage::decode(page));
    const QStringList words = splitWords(read.text);
    checkWords(read, words);
    checkTables(read, words);
    checkPlants(page, inner, at);
    return 0;
}
