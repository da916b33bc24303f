#include "htmlpage.h"

#include "htmlentities.h"

#include "platform/ansicodepage.h"

#include <QSet>
#include <QStringDecoder>

namespace Tamberlyn::IndexTool {

namespace {

const QSet<QString> &inlineTags()
{
    static const QSet<QString> tags{
        QStringLiteral("a"),    QStringLiteral("abbr"), QStringLiteral("b"),      QStringLiteral("bdi"),
        QStringLiteral("bdo"),  QStringLiteral("cite"), QStringLiteral("code"),   QStringLiteral("data"),
        QStringLiteral("dfn"),  QStringLiteral("em"),   QStringLiteral("i"),      QStringLiteral("kbd"),
        QStringLiteral("mark"), QStringLiteral("q"),    QStringLiteral("s"),      QStringLiteral("samp"),
        QStringLiteral("small"), QStringLiteral("span"), QStringLiteral("strong"), QStringLiteral("sub"),
        QStringLiteral("sup"),  QStringLiteral("time"), QStringLiteral("u"),      QStringLiteral("var"),
    };
    return tags;
}

// Elements whose content is not shown as page text.
bool isHiddenElement(const QString &name)
{
    return name == u"head" || name == u"nav" || name == u"template";
}

// Elements whose content is raw text up to their end tag.
bool isRawTextElement(const QString &name)
{
    return name == u"script" || name == u"style" || name == u"title" || name == u"textarea";
}

QString collapseSpaces(QStringView text)
{
    return text.toString().simplified();
}

// The end of a tag that starts at `begin` ('<'): the position after its
// '>', skipping quoted attribute values; the end of the text when unclosed.
qsizetype tagEnd(QStringView html, qsizetype begin)
{
    QChar quote;
    for (qsizetype i = begin + 1; i < html.size(); ++i) {
        const QChar c = html.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i + 1;
        }
    }
    return html.size();
}

bool isNameChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-';
}

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
    HtmlPage page;
    bool haveTitle = false;
    int hiddenDepth = 0;
    QString text;
    text.reserve(html.size());

    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html.at(i);
        if (c == u'&') {
            if (const auto entity = entityAt(html.sliced(i))) {
                if (hiddenDepth == 0)
                    text += entity->text;
                i += entity->length;
                continue;
            }
        }
        if (c != u'<') {
            if (hiddenDepth == 0)
                text += c;
            ++i;
            continue;
        }
        if (html.sliced(i).startsWith(u"<!--")) {
            const qsizetype close = html.indexOf(u"-->", i + 4);
            i = close < 0 ? html.size() : close + 3;
            continue;
        }
        const bool closing = i + 1 < html.size() && html.at(i + 1) == u'/';
        qsizetype nameEnd = i + (closing ? 2 : 1);
        const qsizetype nameBegin = nameEnd;
        while (nameEnd < html.size() && isNameChar(html.at(nameEnd)))
            ++nameEnd;
        const bool declaration = !closing && i + 1 < html.size() && (html.at(i + 1) == u'!' || html.at(i + 1) == u'?');
        if (nameEnd == nameBegin && !declaration) {
            // A '<' that starts no tag is text, as in "a < b".
            if (hiddenDepth == 0)
                text += c;
            ++i;
            continue;
        }
        const QString name = html.sliced(nameBegin, nameEnd - nameBegin).toString().toLower();
        const qsizetype end = tagEnd(html, i);
        const bool selfClosing = end >= 2 && html.at(end - 2) == u'/' && html.at(end - 1) == u'>';
        i = end;
        if (declaration)
            continue;

        if (!closing && isRawTextElement(name) && !selfClosing) {
            const QString endTag = QStringLiteral("</") + name;
            qsizetype close = html.indexOf(endTag, i, Qt::CaseInsensitive);
            if (close < 0)
                close = html.size();
            if (name == u"title" && !haveTitle) {
                page.title = collapseSpaces(HtmlPage::parse(html.sliced(i, close - i)).text);
                haveTitle = true;
            } else if (name == u"textarea" && hiddenDepth == 0) {
                text += u' ' + html.sliced(i, close - i) + u' ';
            }
            i = close < html.size() ? tagEnd(html, close) : close;
            continue;
        }
        if (isHiddenElement(name) && !selfClosing)
            hiddenDepth = std::max(0, hiddenDepth + (closing ? -1 : 1));
        if (hiddenDepth == 0 && !inlineTags().contains(name))
            text += u' ';
    }
    page.text = text;
    return page;
}

} // namespace Tamberlyn::IndexTool
