#include "learner/bookmarkexport.h"
#include "learner/bookmarkmatch.h"
#include "learner/coursekey.h"
#include "learner/coursepages.h"
#include "learner/pagespot.h"
#include "learner/readingprogress.h"
#include "learner/readmarksscript.h"

#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Learner::Bookmark;
using Learner::CoursePages;

namespace {

const QString Base = u"https://course.example/kq_cbt/kq/"_s;

// The demo course's shape: module 1 with three pages after its opening and
// objectives pages, module 2 with two.
CoursePages demoCourse()
{
    return CoursePages::fromPageList({
        {u"kq010001.vxp"_s, u"Module 1 - Introduction"_s},
        {u"kq010002.vxp"_s, u"Module 1 - Objectives"_s},
        {u"kq010003.vxp"_s, u"Module 1 - What a PV system does"_s},
        {u"kq010004.vxp"_s, u"Module 1 - The solar resource"_s},
        {u"kq020001.vxp"_s, u"Module 2 - Safety"_s},
        {u"kq020002.vxp"_s, u"Module 2 - Objectives"_s},
        {u"kq020003.vxp"_s, u"Module 2 - Hazards"_s},
    });
}

Bookmark bookmark(qint64 id, const QString &page, const QString &title, const QString &note = {})
{
    return Bookmark{id, page, title, {}, note, 1000 * id, 1000 * id};
}

} // namespace

// The learner record's pure logic: course keys, the course's pages and a
// learner's progress through them, spots from outside input, bookmark
// matching and the export.
class TestLearnerLogic final : public QObject
{
    Q_OBJECT

private slots:
    void courseKeys_data();
    void courseKeys();
    void coursePagesFromTheIndexAndTheMap();
    void moduleProgressCountsEveryModule();
    void firstUnreadPage_data();
    void firstUnreadPage();
    void spotsFromOutsideAreHeldToTheirRanges_data();
    void spotsFromOutsideAreHeldToTheirRanges();
    void readMarksOnlyForLinkedPages();
    void bookmarksMatchTheSearchWords_data();
    void bookmarksMatchTheSearchWords();
    void exportKeepsTextAsText();
    void exportGroupsInCourseOrder();
};

void TestLearnerLogic::courseKeys_data()
{
    QTest::addColumn<QString>("fileLocn");
    QTest::addColumn<QString>("key");

    QTest::newRow("host in lower case") << u"https://Course.Example/kq_cbt/kq/"_s << Base;
    QTest::newRow("a port counts on a real host")
        << u"https://course.example:8443/kq_cbt/kq/"_s << u"https://course.example:8443/kq_cbt/kq/"_s;
    QTest::newRow("not on loopback, whatever the port")
        << u"https://127.0.0.1:40123/kq_cbt/kq/"_s << u"https://127.0.0.1/kq_cbt/kq/"_s;
    QTest::newRow("localhost") << u"https://localhost:1234/kq_cbt/kq/"_s << u"https://localhost/kq_cbt/kq/"_s;
    QTest::newRow("IPv6 loopback") << u"https://[::1]:8443/kq_cbt/kq/"_s << u"https://[::1]/kq_cbt/kq/"_s;
    QTest::newRow("another loopback address") << u"https://127.0.0.2:1/kq_cbt/kq/"_s
                                              << u"https://127.0.0.2/kq_cbt/kq/"_s;
}

void TestLearnerLogic::courseKeys()
{
    QFETCH(QString, fileLocn);
    QFETCH(QString, key);
    QCOMPARE(Learner::courseKey(fileLocn), key);
    QVERIFY(Learner::courseKey(u"https://a.example/kq_cbt/kq/"_s) != Learner::courseKey(u"https://b.example/kq_cbt/kq/"_s));
}

void TestLearnerLogic::coursePagesFromTheIndexAndTheMap()
{
    // The page list: only module pages count, once each, in line order.
    const CoursePages listed = CoursePages::fromPageList({
        {u"kq010001.vxp"_s, u" Module 1 - Intro "_s},
        {u"kqd.vxp"_s, u"Contents"_s},
        {u"kqpracd.vxp"_s, u"Practice"_s},
        {u"kq010003.vxp"_s, u"Page 3"_s},
        {u"kq010003.vxp#again"_s, u"Page 3 again"_s},
        {u""_s, u""_s},
        {u"kq020001.vxp"_s, u""_s},
    });
    QCOMPARE(listed.pages().size(), 3);
    QCOMPARE(listed.modules(), (QList<int>{1, 2}));
    QCOMPARE(listed.moduleTitle(1), u"Module 1 - Intro"_s);
    QCOMPARE(listed.moduleTitle(2), u"Module 2"_s); // no title in the list
    QCOMPARE(listed.pageNamesOf(1), (QStringList{u"kq010001.vxp"_s, u"kq010003.vxp"_s}));
    QCOMPARE(listed.orderOf(u"kq010003.vxp#x"_s), 1);
    QCOMPARE(listed.orderOf(u"kqd.vxp"_s), -1);

    // The course map: its links in document order, navigation and tools aside.
    const CoursePages mapped = CoursePages::fromCourseMap({
        Base + u"kqcrd.vxp"_s, Base + u"kqd.vxp"_s, Base + u"search.vxp"_s, Base + u"kq010001.vxp"_s,
        Base + u"kq010003.vxp"_s, Base + u"kq010004.vxp"_s, Base + u"kq020001.vxp"_s, Base + u"kq020003.vxp"_s,
        u"https://elsewhere.example/page.html"_s,
    });
    QCOMPARE(mapped.modules(), (QList<int>{1, 2}));
    QCOMPARE(mapped.pageNamesOf(1), (QStringList{u"kq010001.vxp"_s, u"kq010003.vxp"_s, u"kq010004.vxp"_s}));
    QCOMPARE(mapped.pageNamesOf(2), (QStringList{u"kq020001.vxp"_s, u"kq020003.vxp"_s}));
}

void TestLearnerLogic::moduleProgressCountsEveryModule()
{
    const QList<Learner::ModuleProgress> progress = Learner::moduleProgress(
        demoCourse(), {u"kq010001.vxp"_s, u"kq010003.vxp"_s, u"kqd.vxp"_s, u"kq990001.vxp"_s});
    QCOMPARE(progress.size(), 2);
    QCOMPARE(progress.at(0).openingPage, u"kq010001.vxp"_s);
    QCOMPARE(progress.at(0).read, 2);
    QCOMPARE(progress.at(0).total, 4);
    QCOMPARE(progress.at(1).openingPage, u"kq020001.vxp"_s);
    QCOMPARE(progress.at(1).read, 0);
    QCOMPARE(progress.at(1).total, 3);
}

void TestLearnerLogic::firstUnreadPage_data()
{
    QTest::addColumn<QStringList>("read");
    QTest::addColumn<int>("module");
    QTest::addColumn<QString>("page");

    QTest::newRow("nothing read, from the contents page") << QStringList() << 0 << u"kq010001.vxp"_s;
    QTest::newRow("the first gap of the module, in course order")
        << QStringList{u"kq010001.vxp"_s, u"kq010002.vxp"_s, u"kq010004.vxp"_s} << 1 << u"kq010003.vxp"_s;
    QTest::newRow("in module 2, its own first unread page")
        << QStringList{u"kq020001.vxp"_s} << 2 << u"kq020002.vxp"_s;
    QTest::newRow("a module read to its end: the next module's first unread page")
        << QStringList{u"kq010001.vxp"_s, u"kq010002.vxp"_s, u"kq010003.vxp"_s, u"kq010004.vxp"_s,
                       u"kq020001.vxp"_s}
        << 1 << u"kq020002.vxp"_s;
    QTest::newRow("the last module read: back to the first gap of the course")
        << QStringList{u"kq020001.vxp"_s, u"kq020002.vxp"_s, u"kq020003.vxp"_s, u"kq010001.vxp"_s} << 2
        << u"kq010002.vxp"_s;
    QTest::newRow("every page read")
        << QStringList{u"kq010001.vxp"_s, u"kq010002.vxp"_s, u"kq010003.vxp"_s, u"kq010004.vxp"_s,
                       u"kq020001.vxp"_s, u"kq020002.vxp"_s, u"kq020003.vxp"_s}
        << 2 << QString();
    QTest::newRow("a module the course does not list") << QStringList{u"kq010001.vxp"_s} << 9 << u"kq010002.vxp"_s;
}

void TestLearnerLogic::firstUnreadPage()
{
    QFETCH(QStringList, read);
    QFETCH(int, module);
    QFETCH(QString, page);
    const QSet<QString> readSet(read.cbegin(), read.cend());
    QCOMPARE(Learner::firstUnreadPage(demoCourse(), readSet, module).value_or(QString()), page);
}

void TestLearnerLogic::spotsFromOutsideAreHeldToTheirRanges_data()
{
    QTest::addColumn<QString>("json");
    QTest::addColumn<QString>("quote");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<double>("ratio");

    QTest::newRow("as written") << uR"({"quote":"Direct  current\nis","occurrence":2,"fraction":0.25,"ratio":0.5})"_s
                                << u"Direct current is"_s << 2 << 0.25 << 0.5;
    QTest::newRow("out of range") << uR"({"quote":"x","occurrence":-4,"fraction":7,"ratio":-1})"_s << u"x"_s << 0
                                  << 1.0 << 0.0;
    QTest::newRow("no number") << uR"({"quote":"x","occurrence":"many","fraction":"half"})"_s << u"x"_s << 0 << 0.0
                               << 0.0;
    QTest::newRow("huge occurrence") << uR"({"quote":"x","occurrence":1e300})"_s << u"x"_s << 1000000 << 0.0 << 0.0;
    QTest::newRow("no quote, no place in a block") << uR"({"quote":"","occurrence":3,"fraction":0.5,"ratio":0.2})"_s
                                                   << QString() << 0 << 0.0 << 0.2;
    QTest::newRow("not JSON") << u"]]"_s << QString() << 0 << 0.0 << 0.0;
    QTest::newRow("an array") << u"[1,2]"_s << QString() << 0 << 0.0 << 0.0;
    QTest::newRow("a long quote is cut") << uR"({"quote":")"_s + QString(500, u'a') + uR"("})"_s
                                         << QString(Learner::PageSpot::MaxQuote, u'a') << 0 << 0.0 << 0.0;
    // As the page's script cuts it: no space left at the end of the cut.
    QTest::newRow("cut at a space") << uR"({"quote":")"_s + QString(79, u'a') + uR"( bbb"})"_s
                                    << QString(79, u'a') << 0 << 0.0 << 0.0;
}

void TestLearnerLogic::spotsFromOutsideAreHeldToTheirRanges()
{
    QFETCH(QString, json);
    QFETCH(QString, quote);
    QFETCH(int, occurrence);
    QFETCH(double, fraction);
    QFETCH(double, ratio);
    const Learner::PageSpot spot = Learner::PageSpot::fromJson(json);
    QCOMPARE(spot.quote, quote);
    QCOMPARE(spot.occurrence, occurrence);
    QCOMPARE(spot.fraction, fraction);
    QCOMPARE(spot.ratio, ratio);
    // What the record keeps reads back the same.
    QCOMPARE(Learner::PageSpot::fromJson(spot.toJson()), spot);
}

void TestLearnerLogic::readMarksOnlyForLinkedPages()
{
    const QStringList links{Base + u"kqd.vxp"_s,         Base + u"title.vxp"_s,        Base + u"kq010001.vxp"_s,
                            Base + u"kq020001.vxp"_s,    Base + u"kq010003.vxp#part"_s, Base + u"kq070001.vxp"_s,
                            u"https://x.example/a"_s};
    const QSet<QString> read{u"kq010001.vxp"_s, u"kq010003.vxp"_s, u"kq010004.vxp"_s, u"kqd.vxp"_s};
    const Learner::ReadMarks marks = Learner::readMarksFor(links, read, demoCourse());
    QCOMPARE(marks.readPages, (QSet<QString>{u"kqd.vxp"_s, u"kq010001.vxp"_s, u"kq010003.vxp"_s}));
    // Counts for the modules the page links to and the course lists.
    QCOMPARE(marks.moduleCounts.size(), 2);
    QCOMPARE(marks.moduleCounts.value(u"kq010001.vxp"_s), std::make_pair(3, 4));
    QCOMPARE(marks.moduleCounts.value(u"kq020001.vxp"_s), std::make_pair(0, 3));
    // Without a page list there is nothing to count.
    QVERIFY(Learner::readMarksFor(links, read, {}).moduleCounts.isEmpty());
    // The data goes into the script as JSON, never as script text.
    const QString script = Learner::readMarksScript({{u"a');alert('x"_s}, {}});
    QVERIFY(script.contains(uR"(["a');alert('x"])"_s));
}

void TestLearnerLogic::bookmarksMatchTheSearchWords_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QList<qint64>>("found");

    QTest::newRow("a word of a title, from its start") << u"haz"_s << QList<qint64>{1};
    QTest::newRow("letter case aside") << u"SAFETY"_s << QList<qint64>{1, 2};
    QTest::newRow("a word of a note") << u"earth"_s << QList<qint64>{2};
    QTest::newRow("not inside a word") << u"zard"_s << QList<qint64>{};
    QTest::newRow("two words: both") << u"safety check"_s << QList<qint64>{2};
    QTest::newRow("two words, in either place") << u"hazards fuse"_s << QList<qint64>{1};
    QTest::newRow("a third word is ignored") << u"  safety   check  nothing "_s << QList<qint64>{2};
    QTest::newRow("an apostrophe, either kind") << u"ohm\u2019s"_s << QList<qint64>{3};
    QTest::newRow("spaces only") << u"   "_s << QList<qint64>{};
}

void TestLearnerLogic::bookmarksMatchTheSearchWords()
{
    QFETCH(QString, query);
    QFETCH(QList<qint64>, found);
    const QList<Bookmark> bookmarks{
        bookmark(1, u"kq020003.vxp"_s, u"Module 2 - Hazards"_s, u"Safety first; the fuse rating"_s),
        bookmark(2, u"kq020006.vxp"_s, u"Module 2 - Earthing"_s, u"Safety check before earthing"_s),
        bookmark(3, u"kq030003.vxp"_s, u"Module 3 - Ohm's law"_s),
    };
    QList<qint64> ids;
    for (const Bookmark &b : Learner::matchingBookmarks(bookmarks, query))
        ids << b.id;
    QCOMPARE(ids, found);
}

void TestLearnerLogic::exportKeepsTextAsText()
{
    const QList<Learner::BookmarkGroup> groups{
        {2,
         u"Module 2 - Safety & <care>"_s,
         {bookmark(1, u"kq020003.vxp"_s, u"*Hazards* [1](x) <b>"_s, u"- not a list\n# not a heading\n1. no number\n&amp;"_s)}}};
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(0);

    const QString markdown = Learner::bookmarksMarkdown(groups, Base, at);
    QVERIFY(markdown.contains(u"## Module 2 - Safety & \\<care\\>"_s));
    QVERIFY(markdown.contains(u"### [\\*Hazards\\* \\[1\\](x) \\<b\\>](<https://course.example/kq_cbt/kq/kq020003.vxp>)"_s));
    QVERIFY(markdown.contains(u"> \\- not a list\n> \\# not a heading\n> 1\\. no number\n> \\&amp;"_s));

    const QString html = Learner::bookmarksHtml(groups, Base, at);
    QVERIFY(html.contains(u"<h2>Module 2 - Safety &amp; &lt;care&gt;</h2>"_s));
    QVERIFY(html.contains(u"<a href=\"https://course.example/kq_cbt/kq/kq020003.vxp\">*Hazards* [1](x) &lt;b&gt;</a>"_s));
    QVERIFY(html.contains(u"<blockquote><p>- not a list<br>\n# not a heading<br>\n1. no number<br>\n&amp;amp;</p>"_s));
    QVERIFY(!html.contains(u"<b>"_s));

    QCOMPARE(Learner::exportFormatFor(u"/tmp/notes.HTML"_s), Learner::ExportFormat::Html);
    QCOMPARE(Learner::exportFormatFor(u"/tmp/notes.htm"_s), Learner::ExportFormat::Html);
    QCOMPARE(Learner::exportFormatFor(u"/tmp/notes.md"_s), Learner::ExportFormat::Markdown);
    QCOMPARE(Learner::exportFormatFor(u"/tmp/notes"_s), Learner::ExportFormat::Markdown);
}

void TestLearnerLogic::exportGroupsInCourseOrder()
{
    const QList<Bookmark> bookmarks{
        bookmark(1, u"kq020003.vxp"_s, u"Hazards"_s), bookmark(2, u"kqpracd.vxp"_s, u"Practice"_s),
        bookmark(3, u"kq010004.vxp"_s, u"Resource"_s), bookmark(4, u"kq010003.vxp"_s, u"What"_s),
        bookmark(5, u"kq010004.vxp"_s, u"Resource again"_s)};
    const QList<Learner::BookmarkGroup> groups = Learner::groupedByModule(bookmarks, demoCourse());
    QCOMPARE(groups.size(), 3);
    QCOMPARE(groups.at(0).heading, u"Module 1 - Introduction"_s);
    QList<qint64> order;
    for (const Learner::BookmarkGroup &group : groups) {
        for (const Bookmark &b : group.bookmarks)
            order << b.id;
    }
    QCOMPARE(order, (QList<qint64>{4, 3, 5, 1, 2}));
    QCOMPARE(groups.at(2).heading, u"Other pages"_s);
    QVERIFY(Learner::bookmarksMarkdown({}, Base, QDateTime::currentDateTime()).contains(u"No bookmarks yet."_s));
}

QTEST_GUILESS_MAIN(TestLearnerLogic)
#include "tst_learnerlogic.moc"
