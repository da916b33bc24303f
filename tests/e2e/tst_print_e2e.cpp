#include "e2eharness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int PageTimeoutMs = 90000;

// The centre of button `index` of the main window's bar.
QStringList buttonCentre(int index)
{
    return {QString::number(3 + 66 * index + 32), u"11"_s};
}

bool waitForFile(const QString &path, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!(QFile::exists(path) && QFileInfo(path).size() > 0)) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(100);
    }
    QTest::qWait(300); // the writer closes the file right after its last page
    return true;
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestPrintEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void pageAndHelpImageToPdf();
};

// No printer is installed here, so both go to PDF files in the documents
// folder, the page through the print dialog and the help image without one.
void TestPrintEndToEnd::pageAndHelpImageToPdf()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    const QString home = harness.dataHome() + u"/../home"_s;
    QVERIFY(QDir().mkpath(home));
    QProcessEnvironment env = harness.viewerEnvironment();
    env.insert(u"HOME"_s, QDir(home).canonicalPath());
    QProcess *viewer = harness.startViewer({}, env);
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"document complete: "_s + harness.fileLocn() + u"kqd.vxp"_s,
                                       PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));

    QString window;
    const QDeadlineTimer found(10000);
    while (window.isEmpty() && !found.hasExpired()) {
        harness.runOnDisplay(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Tamberlyn"_s}, &window);
        window = window.section(u'\n', 0, 0).trimmed();
    }
    QVERIFY(!window.isEmpty());
    const QString documents = QDir(home).canonicalPath() + u"/Documents/"_s;

    // The page: Print, then accept the print dialog.
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, QStringList{u"mousemove"_s, u"--window"_s, window} + buttonCentre(1)
                                                  + QStringList{u"click"_s, u"1"_s}));
    QString dialog;
    const QDeadlineTimer shown(15000);
    while (dialog.isEmpty() && !shown.hasExpired()) {
        harness.runOnDisplay(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Print"_s}, &dialog);
        dialog = dialog.section(u'\n', 0, 0).trimmed();
        QTest::qWait(100);
    }
    QVERIFY2(!dialog.isEmpty(), "no print dialog");
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, dialog, u"Return"_s}));
    const QString page = documents + u"Tamberlyn page.pdf"_s;
    QVERIFY2(waitForFile(page, 30000), qPrintable(E2eHarness::output(viewer)));
    const QString text = run(u"pdftotext"_s, {page, u"-"_s});
    QVERIFY2(text.contains(u"Contents"_s) && text.contains(u"Module 1"_s), qPrintable(text.left(500)));

    // The help image: Help, then Print; no dialog.
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, QStringList{u"mousemove"_s, u"--window"_s, window} + buttonCentre(8)
                                                  + QStringList{u"click"_s, u"1"_s}));
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, QStringList{u"mousemove"_s, u"--window"_s, window} + buttonCentre(1)
                                                  + QStringList{u"click"_s, u"1"_s}));
    const QString help = documents + u"Tamberlyn help.pdf"_s;
    QVERIFY2(waitForFile(help, 30000), qPrintable(E2eHarness::output(viewer)));
    const QString images = run(u"pdfimages"_s, {u"-list"_s, help});
    QVERIFY2(images.contains(u" 780 "_s) && images.contains(u" 590 "_s), qPrintable(images));
    const QString info = run(u"pdfinfo"_s, {help});
    QVERIFY2(QRegularExpression(u"Pages:\\s+1\\b"_s).match(info).hasMatch(), qPrintable(info));
}

QTEST_GUILESS_MAIN(TestPrintEndToEnd)
#include "tst_print_e2e.moc"
