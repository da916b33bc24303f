#include "navigation/coursemap.h"

#include <QTest>

using namespace Tamberlyn::Navigation;
using namespace Qt::StringLiterals;

namespace {
const QString Base = QStringLiteral("https://course.example:8443/kq_cbt/kq/");
}

class TestCourseMap final : public QObject
{
    Q_OBJECT

private slots:
    void pageName_data();
    void pageName();
    void sizedAddresses_data();
    void sizedAddresses();
    void moduleNumber_data();
    void moduleNumber();
    void mediaAddress_data();
    void mediaAddress();
    void examAddresses_data();
    void examAddresses();
};

void TestCourseMap::pageName_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("isPage");
    QTest::addColumn<QString>("name");

    QTest::newRow("contents") << Base + QStringLiteral("kqd.vxp") << true << QStringLiteral("kqd.vxp");
    QTest::newRow("upper-case stays as it is")
        << Base + QStringLiteral("KQ010001.VXP") << true << QStringLiteral("KQ010001.VXP");
    QTest::newRow("second kq/ belongs to the name")
        << Base + QStringLiteral("/kq/title.avi") << true << QStringLiteral("/kq/title.avi");
    QTest::newRow("fragment kept") << Base + QStringLiteral("kq030017.vxp#top") << true
                                   << QStringLiteral("kq030017.vxp#top");
    QTest::newRow("query kept") << Base + QStringLiteral("kq030017.vxp?a=1") << true
                                << QStringLiteral("kq030017.vxp?a=1");
    QTest::newRow("marker is case-sensitive") << QStringLiteral("https://h/kq_cbt/KQ/kqd.vxp") << false
                                              << QString();
    QTest::newRow("no marker") << QStringLiteral("https://exams.example/practicestudent/x") << false
                               << QString();
    QTest::newRow("empty") << QString() << false << QString();
    QTest::newRow("name is empty after the base") << Base << true << QString();
}

void TestCourseMap::pageName()
{
    QFETCH(QString, address);
    QFETCH(bool, isPage);
    QFETCH(QString, name);
    const auto result = pageNameOf(address);
    QCOMPARE(result.has_value(), isPage);
    if (isPage)
        QCOMPARE(*result, name);
}

void TestCourseMap::sizedAddresses_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("sizeClass");
    QTest::addColumn<bool>("fallback");
    QTest::addColumn<QString>("expected"); // empty: no variant

    QTest::newRow("contents class 1") << u"kq"_s << 1 << true << Base + u"kqa.vxp"_s;
    QTest::newRow("contents class 4") << u"kq"_s << 4 << true << Base + u"kqd.vxp"_s;
    QTest::newRow("contents class 11") << u"kq"_s << 11 << true << Base + u"kqk.vxp"_s;
    QTest::newRow("contents unassigned") << u"kq"_s << 0 << true << Base + u"kqa.vxp"_s;
    QTest::newRow("contents out of range") << u"kq"_s << 12 << true << Base + u"kqa.vxp"_s;
    QTest::newRow("alternate contents class 7") << u"kqcr"_s << 7 << true << Base + u"kqcrg.vxp"_s;
    QTest::newRow("module 1 class 1") << u"mod01"_s << 1 << false << Base + u"mod01a.vxp"_s;
    QTest::newRow("objectives class 9") << u"obj05"_s << 9 << false << Base + u"obj05i.vxp"_s;
    QTest::newRow("module unassigned: no variant") << u"mod01"_s << 0 << false << QString();
    QTest::newRow("practice negative: no variant") << u"kqprac"_s << -1 << false << QString();
    QTest::newRow("practice class 3") << u"kqprac"_s << 3 << false << Base + u"kqpracc.vxp"_s;
}

void TestCourseMap::sizedAddresses()
{
    QFETCH(QString, prefix);
    QFETCH(int, sizeClass);
    QFETCH(bool, fallback);
    QFETCH(QString, expected);
    const auto address = sizedAddress(Base, prefix, sizeClass,
                                      fallback ? SizeFallback::ToFirstVariant : SizeFallback::NoVariant);
    QCOMPARE(address.value_or(QString()), expected);
    if (prefix == QLatin1String("kq"))
        QCOMPARE(Base + contentsPageName(sizeClass), expected);
}

void TestCourseMap::moduleNumber_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("module"); // -1: none

    QTest::newRow("content page") << u"kq030017.vxp"_s << 3;
    QTest::newRow("opening stub") << u"kq070001.vxp"_s << 7;
    QTest::newRow("module page") << u"mod04e.vxp"_s << 4;
    QTest::newRow("objectives page") << u"obj06k.vxp"_s << 6;
    QTest::newRow("contents page: b. is no number") << u"kqb.vxp"_s << -1;
    QTest::newRow("alternate contents: cr is no number") << u"kqcrb.vxp"_s << -1;
    QTest::newRow("practice page") << u"kqpracd.vxp"_s << -1;
    QTest::newRow("upper case is no module") << u"KQ010001.VXP"_s << -1;
    QTest::newRow("too short") << u"kq1"_s << -1;
    QTest::newRow("blank and digit") << u"kq 5x.vxp"_s << 5;
    QTest::newRow("ordinary page") << u"title.vxp"_s << -1;
    QTest::newRow("module 12") << u"kq120001.vxp"_s << 12;
}

void TestCourseMap::moduleNumber()
{
    QFETCH(QString, name);
    QFETCH(int, module);
    QCOMPARE(moduleNumberOf(name).value_or(-1), module);
}

void TestCourseMap::mediaAddress_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("video");
    QTest::addColumn<QString>("address"); // empty: not a media page

    QTest::newRow("title video keeps both slashes") << u"title.vxp"_s << true << Base + u"/kq/title.avi"_s;
    QTest::newRow("figure video") << u"fig01a.vxp"_s << true << Base + u"c01/fig01a.avi"_s;
    QTest::newRow("figure cut at first .vxp") << u"fig0203.vxp.vxp"_s << true << Base + u"c02/fig0203.avi"_s;
    QTest::newRow("sound") << u"v0101.vxp"_s << false << Base + u"c01/v0101.wav"_s;
    QTest::newRow("video.vxp is a sound page") << u"video.vxp"_s << false << Base + u"cid/video.wav"_s;
    QTest::newRow("fig without .vxp") << u"fig01a.htm"_s << true << QString();
    QTest::newRow("ordinary page") << u"kq010003.vxp"_s << true << QString();
    QTest::newRow("upper-case V is not a sound page") << u"V0101.vxp"_s << false << QString();
}

void TestCourseMap::mediaAddress()
{
    QFETCH(QString, name);
    QFETCH(bool, video);
    QFETCH(QString, address);
    const auto media = mediaAddressOf(Base, name);
    QCOMPARE(media.has_value(), !address.isEmpty());
    if (media) {
        QCOMPARE(media->address, address);
        QCOMPARE(media->kind == MediaAddress::Kind::Video, video);
    }
}

void TestCourseMap::examAddresses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path"); // empty: none

    const QString prefix = QStringLiteral("/practicestudent/exam/tamberlyn/");
    QTest::newRow("pe01") << u"pe01.vxp"_s << prefix + u"introduction-to-solar-pv-systems"_s;
    QTest::newRow("pe02") << u"pe02.vxp"_s << prefix + u"safety"_s;
    QTest::newRow("pe03") << u"pe03.vxp"_s << prefix + u"dc-and-ac-circuits"_s;
    QTest::newRow("pe04") << u"pe04.vxp"_s << prefix + u"power-electronics"_s;
    QTest::newRow("pe05 double hyphen") << u"pe05.vxp"_s << prefix + u"solar-pv-panels--arrays"_s;
    QTest::newRow("pe06") << u"pe06.vxp"_s << prefix + u"solar-pv-system-sizing"_s;
    QTest::newRow("pe07 double hyphen") << u"pe07.vxp"_s << prefix + u"installation--maintenance"_s;
    QTest::newRow("pe08") << u"pe08.vxp"_s << QString();
    QTest::newRow("with fragment") << u"pe01.vxp#x"_s << QString();
}

void TestCourseMap::examAddresses()
{
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(examPathOf(name).value_or(QString()), path);
    if (!path.isEmpty())
        QCOMPARE(examAddress(QStringLiteral("exams.example"), path), QStringLiteral("https://exams.example") + path);
}

QTEST_APPLESS_MAIN(TestCourseMap)
#include "tst_coursemap.moc"
