// The index tool's page reading: the text a browser shows, and the words a
// learner types to find it.
#include "courseindex.h"
#include "htmlpage.h"
#include "transliteration.h"
#include "wordsplitter.h"

#include <QTest>

using namespace Tamberlyn::IndexTool;
using namespace Qt::StringLiterals;

class TestHtmlPage final : public QObject
{
    Q_OBJECT

private slots:
    void visibleText_data();
    void visibleText();
    void wordRules_data();
    void wordRules();
    void title_data();
    void title();
    void deepNesting();
    void decoding();
    void closestCharacters_data();
    void closestCharacters();
    void unwritableWordsAreReportedByPage();
};

// The page reading, through the words it gives: what is left out, what
// splits a word and what does not.
void TestHtmlPage::visibleText_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("blocks split words") << u"<p>one</p><p>two</p>two<br>three<div>four</div><li>five"_s
                                        << QStringList{u"one"_s, u"two"_s, u"two"_s, u"three"_s, u"four"_s,
                                                       u"five"_s};
    QTest::newRow("inline elements do not")
        << u"H<sub>2</sub>O <b>bold</b>ly <a href=\"x\">li</a>nk <tt>DataView</tt>s <font color=red>re</font>d "
           u"long<wbr>word <my-widget>cus</my-widget>tom <span>sp</span>an"_s
        << QStringList{u"H2O"_s, u"boldly"_s, u"link"_s, u"DataViews"_s, u"red"_s, u"longword"_s, u"custom"_s,
                       u"span"_s};
    QTest::newRow("never shown") << u"<head><title>T</title><style>p{}</style></head>"
                                    u"<script>if (a < b) x();</script><!-- a -- b -->"
                                    u"<template>tpl</template><noscript>enable scripts</noscript>"
                                    u"<p hidden>secret</p>seen"_s
                                 << QStringList{u"seen"_s};
    // The viewer runs scripts: a noscript's content is text to its end tag
    // and never shown, in the head too (where a parser without scripts
    // would end it at the text and put the rest in the body).
    QTest::newRow("noscript and fallback content, as with scripts on")
        << u"<head><noscript>enable <b>scripts</b></noscript></head>"
           u"<p>one<noscript><p>two</noscript> three <iframe>four <b>x</b></iframe><noembed>five</noembed>"
           u"<noframes>six</noframes><video>seven</video><audio>eight</audio> nine <NOSCRIPT>ten<!-- open"_s
        << QStringList{u"one"_s, u"three"_s, u"nine"_s};
    // A comment begun inside a noscript's content ends there too, so what
    // it seemed to hide is markup again.
    QTest::newRow("noscript content holding a comment's start")
        << u"<head><noscript><!--</noscript><noscript>hidden</noscript><noscript>too</noscript>--></head>"
           u"shown"_s
        << QStringList{u"shown"_s};
    QTest::newRow("named references, the whole table")
        << u"caf&eacute; 10&nbsp;k&Omega; a&minus;b x&le;y &rarr;z &amp;amp &amp &nbsp &bogus; &lt;bb&gt; "
           u"&#233;t&#xE9;"_s
        << QStringList{u"caf\u00e9"_s, u"10"_s, u"k\u03a9"_s, u"a"_s, u"b"_s, u"x"_s, u"y"_s, u"z"_s, u"amp"_s,
                       u"bogus"_s, u"bb"_s, u"\u00e9t\u00e9"_s};
    QTest::newRow("page furniture")
        << u"<header>Banner</header><nav>Next</nav><aside>Sidebar</aside><main>body"
           u"<article><header>Heading</header>text<aside>note</aside><footer>byline</footer></article></main>"
           u"<footer>page 3 of 78</footer>"_s
        << QStringList{u"body"_s, u"Heading"_s, u"text"_s, u"note"_s, u"byline"_s};
    QTest::newRow("the author's marker")
        << u"<p class=\"kicker\" data-noindex>Module 1 \u00b7 page 3 of 78</p>"
           u"<div class=\"a noindex b\">marked <b>too</b></div><p class=\"noindexing\">kept</p>"
           u"<span data-noindex=\"\">gone</span>shown"_s
        << QStringList{u"kept"_s, u"shown"_s};
    QTest::newRow("malformed markup as a browser mends it")
        << u"<p>one<p>two</b>three<div><a id=\"x\"/>anchor</div>\u00a0<img alt=\"a > b\">after"
           u"<table><tr><td>cell<td>next</table>"_s
        << QStringList{u"one"_s, u"twothree"_s, u"anchor"_s, u"after"_s, u"cell"_s, u"next"_s};
    QTest::newRow("unclosed comment") << u"a word <!-- never closed"_s << QStringList{u"a"_s, u"word"_s};
}

void TestHtmlPage::visibleText()
{
    QFETCH(QString, html);
    QFETCH(QStringList, words);
    QCOMPARE(splitWords(HtmlPage::parse(html).text), words);
}

void TestHtmlPage::wordRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("hyphen: the whole and from each part on")
        << u"apt-get"_s << QStringList{u"apt-get"_s, u"get"_s};
    QTest::newRow("several hyphens") << u"dm-crypt-luks"_s
                                     << QStringList{u"dm-crypt-luks"_s, u"crypt-luks"_s, u"luks"_s};
    QTest::newRow("letters and digits") << u"UTF-8 x86-64"_s
                                        << QStringList{u"UTF-8"_s, u"8"_s, u"x86-64"_s, u"64"_s};
    QTest::newRow("typographic hyphens typed plain") << u"non\u2010free non\u2011free"_s
                                                     << QStringList{u"non-free"_s, u"free"_s, u"non-free"_s,
                                                                    u"free"_s};
    QTest::newRow("apostrophes of both kinds") << u"user's user\u2019s Ohm\u02bcs"_s
                                               << QStringList{u"user's"_s, u"s"_s, u"user's"_s, u"s"_s,
                                                              u"Ohm's"_s, u"s"_s};
    QTest::newRow("elisions") << u"raison d'\u00eatre, l\u2019onduleur"_s
                              << QStringList{u"raison"_s, u"d'\u00eatre"_s, u"\u00eatre"_s, u"l'onduleur"_s,
                                             u"onduleur"_s};
    QTest::newRow("one letter, one digit") << u"x window, utf 8, a b"_s
                                           << QStringList{u"x"_s, u"window"_s, u"utf"_s, u"8"_s, u"a"_s, u"b"_s};
    QTest::newRow("quotes and dashes are not joiners")
        << u"'quoted' -opt a--b 1990\u20132000 a \u2013 b end- -"_s
        << QStringList{u"quoted"_s, u"opt"_s, u"a"_s, u"b"_s, u"1990"_s, u"2000"_s, u"a"_s, u"b"_s, u"end"_s};
    QTest::newRow("punctuation splits") << u"/usr/bin/apt-get; foo.bar (x_y)"_s
                                        << QStringList{u"usr"_s, u"bin"_s, u"apt-get"_s, u"get"_s, u"foo"_s,
                                                       u"bar"_s, u"x"_s, u"y"_s};
    QTest::newRow("soft hyphen, superscript, fraction") << u"photo\u00advoltaic mm\u00b2 \u00bd 60"_s
                                                        << QStringList{u"photovoltaic"_s, u"mm"_s, u"60"_s};
    QTest::newRow("accents and upper case kept") << u"CAF\u00c9 na\u00efve E\u0301t\u00e9"_s
                                                 << QStringList{u"CAF\u00c9"_s, u"na\u00efve"_s,
                                                                u"E\u0301t\u00e9"_s};
}

void TestHtmlPage::wordRules()
{
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    QCOMPARE(splitWords(text), words);
}

void TestHtmlPage::title_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("title");

    QTest::newRow("white space collapsed") << u"<TITLE>\n  Module 1 -\tBasics </TITLE>"_s << u"Module 1 - Basics"_s;
    QTest::newRow("references") << u"<title>Panels &amp; arrays &mdash; 10&nbsp;k&Omega;</title>"_s
                                << u"Panels & arrays \u2014 10 k\u03a9"_s;
    QTest::newRow("first one only") << u"<title>A</title><title>B</title>"_s << u"A"_s;
    QTest::newRow("in the body") << u"<p>text</p><title>Late</title>"_s << u"Late"_s;
    QTest::newRow("none") << u"<p>text</p>"_s << QString();
}

void TestHtmlPage::title()
{
    QFETCH(QString, html);
    QFETCH(QString, title);
    QCOMPARE(HtmlPage::parse(html).title, title);
}

// A hostile page nesting a few hundred thousand elements: read to its
// innermost word, and its tree freed without overflowing the stack.
void TestHtmlPage::deepNesting()
{
    constexpr qsizetype Depth = 300'000;
    const QString html = u"<title>Deep</title>"_s + u"<span>"_s.repeated(Depth) + u"inside"_s
        + u"</span>"_s.repeated(Depth) + u"<p>after"_s;
    const HtmlPage page = HtmlPage::parse(html);
    QCOMPARE(page.title, u"Deep"_s);
    QCOMPARE(splitWords(page.text), (QStringList{u"inside"_s, u"after"_s}));
}

void TestHtmlPage::decoding()
{
    QCOMPARE(HtmlPage::decode("\xef\xbb\xbf" "caf\xc3\xa9"), u"caf\u00e9"_s);
    QCOMPARE(HtmlPage::decode("caf\xe9 \x80"), u"caf\u00e9 \u20ac"_s);
}

void TestHtmlPage::closestCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written");

    QTest::newRow("the code page's own") << u"Caf\u00e9 \u20ac \u2013 \u00b5"_s << u"Caf\u00e9 \u20ac \u2013 \u00b5"_s;
    QTest::newRow("accent it lacks") << u"Erd\u0151s \u0141\u00f3d\u017a"_s << u"Erdos L\u00f3dz"_s;
    QTest::newRow("technical signs") << u"10 k\u03a9 \u2264 V\u2212 \u2192 \u03bcF"_s
                                     << u"10 kOhm <= V- -> \u00b5F"_s;
    QTest::newRow("compatibility forms") << u"\ufb01le \u2153"_s << u"file 1/3"_s;
    QTest::newRow("nothing close: left out, never ?") << u"\u65e5\u672c Guide"_s << u" Guide"_s;
}

void TestHtmlPage::closestCharacters()
{
    QFETCH(QString, text);
    QFETCH(QString, written);
    const auto codePage = Tamberlyn::Tables::CodePage::windows1252();
    const QString closest = closestInCodePage(text, codePage);
    QCOMPARE(closest, written);
    QVERIFY(codePage.canEncode(closest));
}

void TestHtmlPage::unwritableWordsAreReportedByPage()
{
    CourseIndex index;
    index.addPage(u"kq010003.vxp"_s, HtmlPage::parse(u"<title>10 k\u03a9</title><p>10 k\u03a9 resistor, k\u03a9, "
                                                      u"\u03bb \u03b1 \u03b2 \u03b3 \u03b4 \u03b5</p>"_s));
    index.addPage(u"kq010004.vxp"_s, HtmlPage::parse(u"<title>Plain</title><p>resistor</p>"_s));
    QCOMPARE(index.unwritable().size(), 1);
    const CourseIndex::Unwritable &page = index.unwritable().first();
    QCOMPARE(page.pageFile, u"kq010003.vxp"_s);
    // Counted whole, the first few kept as examples.
    QCOMPARE(page.wordCount, 7);
    QCOMPARE(page.words, (QStringList{u"k\u03a9"_s, u"\u03bb"_s, u"\u03b1"_s, u"\u03b2"_s, u"\u03b3"_s}));
    QCOMPARE(page.title, u"10 k\u03a9"_s);
    QCOMPARE(page.writtenTitle, u"10 kOhm"_s);
    QCOMPARE(index.files().first().title, u"10 kOhm"_s);
    // The words it could hold are indexed all the same.
    QCOMPARE(index.words().size(), 2);
}

QTEST_APPLESS_MAIN(TestHtmlPage)
#include "tst_htmlpage.moc"
