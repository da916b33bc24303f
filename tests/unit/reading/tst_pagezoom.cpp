#include "../common/fakes.h"

#include "reading/pagezoom.h"
#include "reading/zoomsteps.h"

#include <QTest>

using namespace Tamberlyn::Reading;
using namespace Qt::StringLiterals;

class TestPageZoom final : public QObject
{
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
    void setting_data();
    void setting();
    void levelGoesToThePaneAndTheSettings();
    void wheelTakesOneStepANotch();
};

void TestPageZoom::steps_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");

    QTest::newRow("as made") << 100 << 110 << 90;
    QTest::newRow("between steps") << 115 << 125 << 110;
    QTest::newRow("smallest stays") << 25 << 33 << 25;
    QTest::newRow("largest stays") << 500 << 500 << 400;
    QTest::newRow("a third") << 33 << 50 << 25;
}

void TestPageZoom::steps()
{
    QFETCH(int, from);
    QFETCH(int, in);
    QFETCH(int, out);
    QCOMPARE(zoomedIn(from), in);
    QCOMPARE(zoomedOut(from), out);
}

void TestPageZoom::setting_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("percent");
    QTest::addColumn<bool>("problem");

    QTest::newRow("none") << QString() << 100 << false;
    QTest::newRow("a step") << u"125"_s << 125 << false;
    QTest::newRow("no step, kept") << u"115"_s << 115 << false;
    QTest::newRow("with a percent sign and spaces") << u" 150 % "_s << 150 << false;
    QTest::newRow("too small") << u"10"_s << 25 << true;
    QTest::newRow("too large") << u"5000"_s << 500 << true;
    QTest::newRow("negative") << u"-100"_s << 25 << true;
    QTest::newRow("a factor") << u"1.25"_s << 100 << true;
    QTest::newRow("words") << u"large"_s << 100 << true;
    QTest::newRow("overflowing") << u"99999999999999999999"_s << 100 << true;
}

void TestPageZoom::setting()
{
    QFETCH(QString, value);
    QFETCH(int, percent);
    QFETCH(bool, problem);
    const ZoomSetting zoom = zoomFromSetting(value);
    QCOMPARE(zoom.percent, percent);
    QCOMPARE(!zoom.problem.isEmpty(), problem);
}

void TestPageZoom::levelGoesToThePaneAndTheSettings()
{
    QStringList events;
    Fakes::Pane pane(events);
    QList<int> stored;
    PageZoom zoom(pane, 125, [&stored](int percent) {
        stored << percent;
        return true;
    });
    // The level from the settings holds from the first page on; nothing is
    // written back for it.
    QCOMPARE(events, QStringList{u"zoom 1.25"_s});
    QVERIFY(stored.isEmpty());

    zoom.zoomIn();
    zoom.zoomOut();
    zoom.zoomOut();
    zoom.reset();
    QCOMPARE(stored, (QList<int>{150, 125, 110, 100}));
    QCOMPARE(pane.zoom, 1.0);
    events.clear();
    zoom.reset(); // no change: nothing to apply or write
    QVERIFY(events.isEmpty());
    QCOMPARE(stored.size(), 4);

    // At 100% nothing is asked of the pane at the start. A settings file
    // that cannot be written is told; the level still changes.
    QStringList quiet;
    Fakes::Pane fresh(quiet);
    PageZoom asMade(fresh, 100, [](int) { return false; });
    QVERIFY(quiet.isEmpty());
    QTest::ignoreMessage(QtWarningMsg, "the settings file did not take the zoom of 110%; it holds until the viewer ends");
    asMade.zoomIn();
    QCOMPARE(fresh.zoom, 1.1);
}

void TestPageZoom::wheelTakesOneStepANotch()
{
    QStringList events;
    Fakes::Pane pane(events);
    PageZoom zoom(pane, 100, nullptr);
    zoom.wheel(120);
    QCOMPARE(zoom.percent(), 110);
    zoom.wheel(240);
    QCOMPARE(zoom.percent(), 150);
    // A touchpad's small turns add up to a notch.
    zoom.wheel(-40);
    zoom.wheel(-40);
    QCOMPARE(zoom.percent(), 150);
    zoom.wheel(-40);
    QCOMPARE(zoom.percent(), 125);
    // Half a notch one way and then the other does not make a step.
    zoom.wheel(60);
    zoom.wheel(-60);
    zoom.wheel(60);
    QCOMPARE(zoom.percent(), 125);
}

QTEST_GUILESS_MAIN(TestPageZoom)
#include "tst_pagezoom.moc"
