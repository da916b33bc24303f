#include "e2eharness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int PageTimeoutMs = 90000;

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

    const QString window = harness.findWindow(u"^Tamberlyn"_s);
    QVERIFY(!window.isEmpty());
    const QString documents = QDir(home).canonicalPath() + u"/Documents/"_s;

    // The page: Print, then accept the print dialog.
    QVERIFY(harness.clickBarButton(window, 1));
    const QString dialog = harness.findWindow(u"^Print"_s, 15000);
    QVERIFY2(!dialog.isEmpty(), "no print dialog");
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, dialog, u"Return"_s}));
    const QString page = documents + u"Tamberlyn page.pdf"_s;
    QVERIFY2(waitForFile(page, 30000), qPrintable(E2eHarness::output(viewer)));
    const QString text = run(u"pdftotext"_s, {page, u"-"_s});
    QVERIFY2(text.contains(u"Contents"_s) && text.contains(u"Module 1"_s), qPrintable(text.left(500)));

    // The help image: Help, then Print; no dialog.
    QVERIFY(harness.clickBarButton(window, 8));
    QVERIFY(harness.clickBarButton(window, 1));
    const QString help = documents + u"Tamberlyn help.pdf"_s;
    QVERIFY2(waitForFile(help, 30000), qPrintable(E2eHarness::output(viewer)));
    const QString images = run(u"pdfimages"_s, {u"-list"_s, help});
    // The help image's size (shell/helpimage.h).
    QVERIFY2(images.contains(u" 780 "_s) && images.contains(u" 604 "_s), qPrintable(images));
    const QString info = run(u"pdfinfo"_s, {help});
    QVERIFY2(QRegularExpression(u"Pages:\\s+1\\b"_s).match(info).hasMatch(), qPrintable(info));
}

QTEST_GUILESS_MAIN(TestPrintEndToEnd)
#include "tst_print_e2e.moc"
