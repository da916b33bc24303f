// The page-load handler's own cost per page turn, without the browser
// engine: the real main window (offscreen) over a pane that reports loads
// at once. The baseline is the same pane reporting to nobody, in the same
// run, so the difference is what the handler adds. Beside them a second
// main window with the learner record on (its writes go to a record on
// disk from their own thread): the difference between the two windows is
// what the record adds to a page turn on the user-interface thread.
#include "../tests/unit/common/fakes.h"

#include "learner/learneraids.h"
#include "navigation/pageloadhandler.h"
#include "reading/pagelook.h"
#include "shell/frmvk.h"
#include "shell/settings.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace Tamberlyn;
using Clock = std::chrono::steady_clock;

namespace {

const QString Base = QStringLiteral("https://127.0.0.1:8443/kq_cbt/kq/");

const QStringList Walk = {
    QStringLiteral("kqd.vxp"),      QStringLiteral("kq010001.vxp"), QStringLiteral("kq010003.vxp"),
    QStringLiteral("kq010004.vxp"), QStringLiteral("kq010005.vxp"), QStringLiteral("kqcrd.vxp"),
    QStringLiteral("kq020002.vxp"), QStringLiteral("kq020003.vxp"), QStringLiteral("kqpracd.vxp"),
    QStringLiteral("mod03d.vxp"),
};

void prepareLinks(Fakes::Pane &pane)
{
    for (const QString &name : Walk) {
        QStringList links;
        for (int i = 0; i < 8; ++i)
            links << Base + name + QStringLiteral("#l%1").arg(i);
        pane.linksOf.insert(Base + name, links);
    }
}

// Median nanoseconds per page turn over `rounds` rounds of the walk.
double measure(Fakes::Pane &pane, int rounds)
{
    std::vector<double> samples;
    for (int round = 0; round < rounds; ++round) {
        const auto start = Clock::now();
        for (const QString &name : Walk) {
            pane.navigate(Base + name);
            pane.deliverAll();
        }
        const auto elapsed = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        samples.push_back(elapsed / double(Walk.size()));
        // The fake pane keeps every page in its back history; start afresh.
        pane.history.clear();
        pane.current = -1;
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 200;

    QStringList events;
    Fakes::Shell shell(events);
    Fakes::Clock clock(events);
    Fakes::WindowSystem windows(events);
    Fakes::Channel channel(events);
    Fakes::Dialogs dialogs;
    Fakes::Printing printing(events);
    Shell::Settings settings;
    QTemporaryDir data;

    Fakes::Pane *pane = nullptr;
    Shell::FrmVK window(
        [&](QWidget *parent) {
            pane = new Fakes::Pane(events);
            pane->setParent(parent);
            return pane;
        },
        {shell, clock, windows, channel, settings, dialogs, printing});
    window.state().FileLocn = Base;
    window.state().DornDir = data.path() + QLatin1Char('/');
    window.state().ScreenWidth = 1280;
    window.state().ScreenHeight = 1024;
    window.state().ScreenSize = 4;
    window.web1();
    prepareLinks(*pane);

    Fakes::Pane bare(events);
    prepareLinks(bare);

    // The same main window with the learner record, on the demo course's page list.
    QTemporaryDir learnerData;
    QFile pageList(learnerData.filePath(QStringLiteral("files.vxp")));
    if (!pageList.open(QIODevice::WriteOnly))
        return 2;
    for (int module = 1, line = 1; module <= 7; ++module) {
        for (int n = 1; n <= 6; ++n, ++line)
            pageList.write(QStringLiteral("%1\tkq%2%3.vxp\tPage %3 of module %2\r\n")
                               .arg(line)
                               .arg(module, 2, 10, QLatin1Char('0'))
                               .arg(n, 4, 10, QLatin1Char('0'))
                               .toLatin1());
    }
    pageList.close();
    Fakes::Pane *learnerPane = nullptr;
    Shell::FrmVK withRecord(
        [&](QWidget *parent) {
            learnerPane = new Fakes::Pane(events);
            learnerPane->setParent(parent);
            return learnerPane;
        },
        {shell, clock, windows, channel, settings, dialogs, printing});
    withRecord.state() = window.state();
    withRecord.state().DornDir = learnerData.path() + QLatin1Char('/');
    withRecord.enableLearnerRecord(pageList.fileName());
    withRecord.web1();
    prepareLinks(*learnerPane);
    // What a page would answer when asked where the learner is on it.
    learnerPane->scriptResult = QVariantMap{{QStringLiteral("title"), QStringLiteral("A page")},
                                            {QStringLiteral("quote"), QStringLiteral("The first words")},
                                            {QStringLiteral("fraction"), 0.25}};
    QSignalSpy opened(&withRecord.learnerAids()->record(), &Learner::LearnerRecord::opened);
    if (!opened.wait(20000))
        return 2;
    // The same window in the dark look: what the look adds to a page turn on
    // the viewer's side (the page's own recolouring is the engine's work,
    // measured by bench/looks/contrast_report.py).
    Fakes::Pane *darkPane = nullptr;
    Shell::FrmVK darkWindow(
        [&](QWidget *parent) {
            darkPane = new Fakes::Pane(events);
            darkPane->setParent(parent);
            return darkPane;
        },
        {shell, clock, windows, channel, settings, dialogs, printing});
    darkWindow.state() = window.state();
    darkWindow.web1();
    new Reading::PageLook(*darkPane, Reading::Look::Dark, darkPane);
    prepareLinks(*darkPane);

    // Warm up both, then alternate so machine noise hits both alike.
    measure(*pane, 5);
    measure(bare, 5);
    measure(*learnerPane, 5);
    measure(*darkPane, 5);
    std::vector<double> handled;
    std::vector<double> baseline;
    std::vector<double> recorded;
    std::vector<double> dark;
    for (int i = 0; i < 5; ++i) {
        handled.push_back(measure(*pane, rounds / 5));
        baseline.push_back(measure(bare, rounds / 5));
        recorded.push_back(measure(*learnerPane, rounds / 5));
        dark.push_back(measure(*darkPane, rounds / 5));
        events.clear();
        learnerPane->scripts.clear();
        darkPane->scripts.clear();
    }
    std::sort(handled.begin(), handled.end());
    std::sort(baseline.begin(), baseline.end());
    std::sort(recorded.begin(), recorded.end());
    std::sort(dark.begin(), dark.end());
    const double withHandler = handled[2] / 1000.0;
    const double without = baseline[2] / 1000.0;
    const double withRecordUs = recorded[2] / 1000.0;
    const double inDark = dark[2] / 1000.0;
    const bool written = withRecord.learnerAids()->finishWrites(60000);
    std::printf("page turns measured: %d x %lld pages\n", rounds, static_cast<long long>(Walk.size()));
    std::printf("baseline (pane reports, no handler): %8.2f us per page turn\n", without);
    std::printf("with the page-load handler:          %8.2f us per page turn\n", withHandler);
    std::printf("handler's own cost:                  %8.2f us per page turn (goal: well under 1000 us)\n",
                withHandler - without);
    std::printf("with the learner record as well:     %8.2f us per page turn\n", withRecordUs);
    std::printf("learner record's own cost:           %8.2f us per page turn (goal: under 1000 us)%s\n",
                withRecordUs - withHandler, written ? "" : " -- its writes did not finish");
    std::printf("with the handler, in the dark look:  %8.2f us per page turn (the look's own: %+.2f us)\n", inDark,
                inDark - withHandler);
    return withHandler - without < 1000.0 && withRecordUs - withHandler < 1000.0 ? 0 : 1;
}
