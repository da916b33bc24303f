#include "htmlpage.h"
#include "wordsplitter.h"

#include <QTest>

using namespace Tamberlyn::IndexTool;
using namespace Qt::StringLiterals;

class TestHtmlPage final : public QObject
{
    Q_OBJECT

private slots:
    void words_data();
    void words();
    void title_data();
    void title();
    void decoding();
};

void TestHtmlPage::words_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("tags split words") << u"<p>one</p><p>two</p>two<br>three"_s
                                      << QStringList{u"one"_s, u"two"_s, u"two"_s, u"three"_s};
    QTest::newRow("inline tags do not") << u"H<sub>2</sub>O and <b>bold</b>ly <a href=\"x\">li</a>nk"_s
                                        << QStringList{u"H2O"_s, u"and"_s, u"boldly"_s, u"link"_s};
    QTest::newRow("hidden content") << u"<head><title>T</title><style>p{}</style></head>"
                                       u"<nav>Next</nav><script>if (a < b) x();</script><!-- a -- b -->"
                                       u"<template>tpl</template>seen"_s
                                    << QStringList{u"seen"_s};
    QTest::newRow("entities") << u"caf&eacute; &amp;amp &#233;t&#xE9; &bogus; &lt;bb&gt;"_s
                              << QStringList{u"caf\u00e9"_s, u"amp"_s, u"\u00e9t\u00e9"_s, u"bogus"_s, u"bb"_s};
    QTest::newRow("quoted > inside a tag") << u"<img alt=\"a > b\">after"_s << QStringList{u"after"_s};
    QTest::newRow("a < that is text") << u"if a < bb then"_s << QStringList{u"if"_s, u"bb"_s, u"then"_s};
    QTest::newRow("apostrophes and hyphens") << u"Ohm\u2019s law, grid-connected, 'quoted' it's"_s
                                             << QStringList{u"Ohm's"_s, u"law"_s, u"grid"_s, u"connected"_s,
                                                            u"quoted"_s, u"it's"_s};
    QTest::newRow("soft hyphen and superscript") << u"photo&shy;voltaic mm\u00b2 \u00bd 60"_s
                                                 << QStringList{u"photovoltaic"_s, u"mm"_s, u"60"_s};
    QTest::newRow("unclosed comment") << u"a word <!-- never closed"_s << QStringList{u"word"_s};
}

void TestHtmlPage::words()
{
    QFETCH(QString, html);
    QFETCH(QStringList, words);
    QCOMPARE(splitWords(HtmlPage::parse(html).text), words);
}

void TestHtmlPage::title_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("title");

    QTest::newRow("white space collapsed") << u"<TITLE>\n  Module 1 -\tBasics </TITLE>"_s << u"Module 1 - Basics"_s;
    QTest::newRow("entities") << u"<title>Panels &amp; arrays</title>"_s << u"Panels & arrays"_s;
    QTest::newRow("first one only") << u"<title>A</title><title>B</title>"_s << u"A"_s;
    QTest::newRow("none") << u"<p>text</p>"_s << QString();
}

void TestHtmlPage::title()
{
    QFETCH(QString, html);
    QFETCH(QString, title);
    QCOMPARE(HtmlPage::parse(html).title, title);
}

void TestHtmlPage::decoding()
{
    QCOMPARE(HtmlPage::decode("\xef\xbb\xbf" "caf\xc3\xa9"), u"caf\u00e9"_s);
    QCOMPARE(HtmlPage::decode("caf\xe9 \x80"), u"caf\u00e9 \u20ac"_s);
}

QTEST_APPLESS_MAIN(TestHtmlPage)
#include "tst_htmlpage.moc"
