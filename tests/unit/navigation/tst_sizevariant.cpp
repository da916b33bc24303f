#include "navigation/pagedispatch.h"
#include "navigation/sizevariant.h"

#include <QTest>

using namespace Tamberlyn::Navigation;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Tamberlyn::Navigation::PageReaction)

namespace {
const QString Base = u"https://course.example/kq_cbt/kq/"_s;
}

class TestSizeVariant final : public QObject
{
    Q_OBJECT

private slots:
    void reloadAddress_data();
    void reloadAddress();
    void dispatchOrder_data();
    void dispatchOrder();
};

void TestSizeVariant::reloadAddress_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("sizeClass");
    QTest::addColumn<QString>("reloaded");

    QTest::newRow("module page c to g") << Base + u"mod03c.vxp"_s << 7 << Base + u"mod03g.vxp"_s;
    QTest::newRow("objectives page") << Base + u"obj06a.vxp"_s << 11 << Base + u"obj06k.vxp"_s;
    QTest::newRow("module page, no class: unchanged") << Base + u"mod03c.vxp"_s << 0 << Base + u"mod03c.vxp"_s;
    QTest::newRow("practice page") << Base + u"kqpracd.vxp"_s << 2 << Base + u"kqpracb.vxp"_s;
    QTest::newRow("practice page, no class") << Base + u"kqpracd.vxp"_s << 0 << Base + u"kqpracd.vxp"_s;
    QTest::newRow("contents page") << Base + u"kqd.vxp"_s << 9 << Base + u"kqi.vxp"_s;
    QTest::newRow("contents page, no class: a") << Base + u"kqd.vxp"_s << 0 << Base + u"kqa.vxp"_s;
    QTest::newRow("contents page with a fragment") << Base + u"kqd.vxp#x"_s << 3 << Base + u"kqc.vxp"_s;
    QTest::newRow("alternate contents stays") << Base + u"kqcrd.vxp"_s << 9 << Base + u"kqcrd.vxp"_s;
    QTest::newRow("content page reloads as it is") << Base + u"kq030017.vxp"_s << 7 << Base + u"kq030017.vxp"_s;
    QTest::newRow("mod anywhere in the address") << Base + u"kq010003.vxp?see=mod05"_s << 4 << Base + u"mod05d.vxp"_s;
    QTest::newRow("nothing shown yet") << QString() << 4 << QString();
}

void TestSizeVariant::reloadAddress()
{
    QFETCH(QString, shown);
    QFETCH(int, sizeClass);
    QFETCH(QString, reloaded);
    QCOMPARE(sizeVariantAddress(shown, Base, sizeClass), reloaded);
}

void TestSizeVariant::dispatchOrder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<PageReaction>("reaction");
    QTest::addColumn<QString>("label");

    // Earlier rows win: "video…" is a sound page before anything else.
    QTest::newRow("fig before v") << u"fig.vxp"_s << PageReaction::VideoTrigger << QString();
    QTest::newRow("v") << u"vmod.vxp"_s << PageReaction::SoundTrigger << QString();
    QTest::newRow("mod") << u"modern.vxp"_s << PageReaction::BindLinks << QString();
    QTest::newRow("pe07") << u"pe07.vxp"_s << PageReaction::ExamTrigger << QString();
    QTest::newRow("pe00") << u"pe00.vxp"_s << PageReaction::Ordinary << QString();
    QTest::newRow("kqk") << u"kqk.vxp"_s << PageReaction::Contents << QString();
    QTest::newRow("kql") << u"kql.vxp"_s << PageReaction::Ordinary << QString();
    QTest::newRow("kqcra") << u"kqcra.vxp"_s << PageReaction::AlternateContents << QString();
    QTest::newRow("stub 1") << u"kq010001.vxp"_s << PageReaction::ModuleStub << u"mod01"_s;
    QTest::newRow("stub 7 objectives") << u"kq070002.vxp"_s << PageReaction::ModuleStub << u"obj07"_s;
    QTest::newRow("third page") << u"kq070003.vxp"_s << PageReaction::Ordinary << QString();
    QTest::newRow("hist") << u"hist.vxp"_s << PageReaction::HistoryTrigger << QString();
    QTest::newRow("index") << u"index.vxp"_s << PageReaction::IndexTrigger << QString();
}

void TestSizeVariant::dispatchOrder()
{
    QFETCH(QString, name);
    QFETCH(PageReaction, reaction);
    QFETCH(QString, label);
    const PageDispatch dispatch = dispatchFor(name);
    QCOMPARE(dispatch.reaction, reaction);
    QCOMPARE(dispatch.moduleLabel, label);
}

QTEST_APPLESS_MAIN(TestSizeVariant)
#include "tst_sizevariant.moc"
