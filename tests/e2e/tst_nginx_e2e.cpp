#include "e2eharness.h"
#include "pagevisits.h"
#include "nginxcourseserver.h"

#include "platform/certificatepins.h"
#include "platform/qt/pinnedmediastream.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPoint>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Tamberlyn::Platform::CertificatePins;
using Tamberlyn::Platform::PinnedMediaStream;

namespace {

// The engine's first start on a busy machine is slow; later pages are not.
constexpr int FirstPageTimeoutMs = 90000;
constexpr int PageTimeoutMs = 30000;

const QString Site = QStringLiteral(TAMBERLYN_DEMO_SITE);

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Answer
{
    int status = 0;
    QByteArray contentType;
    QByteArray contentRange;
    QByteArray body;
    QUrl url; // where it came from, after redirects
    bool http2 = false;
    QString error;
};

// One GET that trusts nothing but the given certificate.
Answer fetch(QNetworkAccessManager &network, const QSslCertificate &certificate, const QUrl &url,
             const QByteArray &range = {})
{
    QNetworkRequest request(url);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({certificate});
    request.setSslConfiguration(tls);
    if (!range.isEmpty())
        request.setRawHeader("Range", range);
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    Answer answer;
    if (!reply->isFinished() && !finished.wait(PageTimeoutMs)) {
        answer.error = u"no answer from "_s + url.toString();
        return answer;
    }
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.contentType = reply->rawHeader("Content-Type");
    answer.contentRange = reply->rawHeader("Content-Range");
    answer.body = reply->readAll();
    answer.url = reply->url();
    answer.http2 = reply->attribute(QNetworkRequest::Http2WasUsedAttribute).toBool();
    if (reply->error() != QNetworkReply::NoError && answer.status == 0)
        answer.error = reply->errorString();
    return answer;
}

// The settings file as a learner would write it.
bool writeSettings(const E2eHarness &harness, const QString &host, const QString &pin)
{
    const QString folder = harness.configHome() + u"/Marrowick"_s;
    QFile ini(folder + u"/Tamberlyn.ini"_s);
    return QDir().mkpath(folder) && ini.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && ini.write(u"[course]\nhost=%1\npin=%2\n"_s.arg(host, pin).toUtf8()) > 0 && ini.flush();
}

// The harness's viewer environment without the variables that would
// override the settings file.
QProcessEnvironment settingsOnlyEnvironment(const E2eHarness &harness)
{
    QProcessEnvironment env = harness.viewerEnvironment();
    for (const QString &name : env.keys()) {
        if (name.startsWith(u"TAMBERLYN_"_s))
            env.remove(name);
    }
    return env;
}

// Every page the page-load handler reported so far, in order.
QStringList handledPages(QProcess *viewer)
{
    return PageVisits::handledPages(E2eHarness::output(viewer));
}

bool waitForHandledPages(QProcess *viewer, const QStringList &expected, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (handledPages(viewer) != expected) {
        if (deadline.hasExpired() || viewer->state() == QProcess::NotRunning
            || handledPages(viewer).size() > expected.size())
            return false;
        viewer->waitForReadyRead(200);
    }
    return true;
}

// The demo course boxes each media link with an orange bar on its left.
constexpr QRgb MediaBar = qRgb(0xf5, 0xa6, 0x23);

bool isMediaBar(QRgb pixel)
{
    return qAbs(qRed(pixel) - qRed(MediaBar)) <= 8 && qAbs(qGreen(pixel) - qGreen(MediaBar)) <= 8
           && qAbs(qBlue(pixel) - qBlue(MediaBar)) <= 8;
}

// Screen position of the first media link on the page, the video's: beside
// the first media bar, half-way down. Nothing else on a content page has
// the bar's colour.
std::optional<QPoint> firstMediaLink(E2eHarness &harness)
{
    const QString shot = harness.dataHome() + u"/page.png"_s;
    const QDeadlineTimer deadline(10000);
    do {
        QImage screen;
        if (harness.runOnDisplay(u"import"_s, {u"-window"_s, u"root"_s, shot}, nullptr, 20000) && screen.load(shot)) {
            for (int y = 0; y < screen.height(); ++y) {
                for (int x = 0; x < screen.width(); ++x) {
                    if (!isMediaBar(screen.pixel(x, y)))
                        continue;
                    int bottom = y;
                    while (bottom + 1 < screen.height() && isMediaBar(screen.pixel(x, bottom + 1)))
                        ++bottom;
                    // The link fills the box's width; its middle is the link.
                    return QPoint(x + 60, (y + bottom) / 2);
                }
            }
        }
        QTest::qWait(200);
    } while (!deadline.hasExpired());
    return std::nullopt;
}

} // namespace

class TestNginxEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void servesPagesMediaRangesAndExams();
    void refusesLinksAndHiddenFiles();
    void mediaStreamHoldsBackAnHttp2Server();
    void viewerWalksToAVideoWithThePinFromItsSettings();
    void viewerRefusesTheServerUnderAnotherPin();

private:
    NginxCourseServer m_nginx;
    QString m_fileLocn;
};

void TestNginxEndToEnd::initTestCase()
{
    if (NginxCourseServer::program().isEmpty())
        QSKIP("nginx is not installed (Debian package nginx): the documented nginx configuration is not tested");
    QVERIFY2(m_nginx.start(QStringLiteral(TAMBERLYN_NGINX_CONFIG), Site), qPrintable(m_nginx.error()));
    m_fileLocn = u"https://"_s + m_nginx.host() + u"/kq_cbt/kq/"_s;
}

// What the viewer and the learner's browser need from the server, asked
// for directly.
void TestNginxEndToEnd::servesPagesMediaRangesAndExams()
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(m_nginx.certificateFile());
    QCOMPARE(certificates.size(), 1);
    // The fingerprint the documentation says to pin is the certificate's own.
    QCOMPARE(certificates.first().digest(QCryptographicHash::Sha256).toHex(':').toUpper(),
             m_nginx.fingerprint().toLatin1());
    QNetworkAccessManager network;
    const auto get = [&](const QString &address, const QByteArray &range = {}) {
        return fetch(network, certificates.first(), QUrl(address), range);
    };
    const QString course = Site + u"/kq_cbt/kq/"_s;

    // A course page is HTML to the browser pane, whatever its name ends in.
    const Answer page = get(m_fileLocn + u"kqd.vxp"_s);
    QVERIFY2(page.error.isEmpty(), qPrintable(page.error));
    QCOMPARE(page.status, 200);
    QCOMPARE(page.contentType, QByteArray("text/html"));
    QCOMPARE(page.body, fileBytes(course + u"kqd.vxp"_s));
    QVERIFY(page.http2);

    // A byte range of a video, although the client also accepts gzip (Qt
    // asks for it on every request).
    const QByteArray video = fileBytes(course + u"c01/fig01a.avi"_s);
    QVERIFY(video.size() > 300);
    const Answer part = get(m_fileLocn + u"c01/fig01a.avi"_s, "bytes=100-299");
    QCOMPARE(part.status, 206);
    QCOMPARE(part.contentRange, "bytes 100-299/" + QByteArray::number(video.size()));
    QCOMPARE(part.body, video.mid(100, 200));

    // The title video, at the address the viewer builds for it: two slashes.
    const Answer title = get(m_fileLocn + u"/kq/title.avi"_s);
    QCOMPARE(title.status, 200);
    QCOMPARE(title.body, fileBytes(course + u"kq/title.avi"_s));

    // A folder is no page and shows no listing; nor is anything outside the
    // course published.
    QCOMPARE(get(m_fileLocn + u"c01/"_s).status, 404);
    QCOMPARE(get(u"https://"_s + m_nginx.host() + u"/"_s).status, 404);

    // The practice exam address the viewer opens has no trailing slash; the
    // learner's browser is sent to the folder and gets its page.
    const Answer exam = get(u"https://"_s + m_nginx.host() + u"/practicestudent/exam/tamberlyn/safety"_s);
    QCOMPARE(exam.status, 200);
    QCOMPARE(exam.url.path(), u"/practicestudent/exam/tamberlyn/safety/"_s);
    QCOMPARE(exam.body, fileBytes(Site + u"/practicestudent/exam/tamberlyn/safety/index.html"_s));
}

// Anyone who can write into the course folder can put a link there; one
// pointing out of it (ln -s /etc kq_cbt/kq/etc_link) must not publish what
// it points at. Hidden files (.htpasswd, .git) are not published either.
void TestNginxEndToEnd::refusesLinksAndHiddenFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.filePath(u"course"_s);
    const QString course = root + u"/kq_cbt/kq/"_s;
    const QString outside = dir.filePath(u"outside"_s);
    const QByteArray secret("outside the course folder\n");
    const QByteArray page("<html><body>contents</body></html>\n");
    const auto write = [](const QString &path, const QByteArray &contents) {
        QFile file(path);
        return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
               && file.write(contents) == contents.size();
    };
    QVERIFY(write(outside + u"/passwd"_s, secret));
    QVERIFY(write(course + u"kqd.vxp"_s, page));
    QVERIFY(write(course + u".htpasswd"_s, "learner:secret"));
    QVERIFY(write(course + u".git/config"_s, "[core]"));
    QVERIFY(QFile::link(outside, course + u"etc_link"_s));
    QVERIFY(QFile::link(outside + u"/passwd"_s, course + u"passwd.vxp"_s));
    QVERIFY(QFile::link(u"kqd.vxp"_s, course + u"same.vxp"_s));
    QVERIFY(write(outside + u"/index.html"_s, secret));
    QVERIFY(QDir().mkpath(root + u"/practicestudent/exam/tamberlyn"_s));
    QVERIFY(QFile::link(outside, root + u"/practicestudent/exam/tamberlyn/linked"_s));

    NginxCourseServer nginx;
    QVERIFY2(nginx.start(QStringLiteral(TAMBERLYN_NGINX_CONFIG), root), qPrintable(nginx.error()));
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(nginx.certificateFile());
    QCOMPARE(certificates.size(), 1);
    QNetworkAccessManager network;
    const QString base = u"https://"_s + nginx.host() + u"/"_s;

    // nginx answers a link as a file that is not there.
    const QList<std::pair<QString, int>> expected = {
        {u"kq_cbt/kq/kqd.vxp"_s, 200},
        {u"kq_cbt/kq/etc_link/passwd"_s, 404}, // a folder link out of the root
        {u"kq_cbt/kq/passwd.vxp"_s, 404},      // a file link out of the root
        {u"kq_cbt/kq/same.vxp"_s, 404},        // even inside: it can be re-pointed
        {u"practicestudent/exam/tamberlyn/linked/"_s, 404},
        {u"kq_cbt/kq/.htpasswd"_s, 404},
        {u"kq_cbt/kq/.git/config"_s, 404},
    };
    for (const auto &[path, status] : expected) {
        const Answer answer = fetch(network, certificates.first(), QUrl(base + path));
        QVERIFY2(answer.error.isEmpty(), qPrintable(answer.error));
        QVERIFY2(answer.status == status, qPrintable(u"%1: %2, expected %3"_s.arg(path).arg(answer.status).arg(status)));
        QVERIFY2(!answer.body.contains(secret), qPrintable(path));
        if (status == 200)
            QCOMPARE(answer.body, page);
    }
}

// nginx speaks HTTP/2, where a transfer does not stop by itself when its
// reader stops reading. A long video must still never sit in memory whole:
// unread, the stream holds about its read-ahead (1 MiB) and no more.
void TestNginxEndToEnd::mediaStreamHoldsBackAnHttp2Server()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(u"kq_cbt/kq/c01"_s));
    QList<quint32> words(4 * 1024 * 1024); // 16 MiB
    QRandomGenerator(42).fillRange(words.data(), words.size());
    const QByteArray video(reinterpret_cast<const char *>(words.constData()),
                           words.size() * qsizetype(sizeof(quint32)));
    QFile file(root.filePath(u"kq_cbt/kq/c01/long.avi"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(video) == video.size() && file.flush());

    NginxCourseServer nginx;
    QVERIFY2(nginx.start(QStringLiteral(TAMBERLYN_NGINX_CONFIG), root.path()), qPrintable(nginx.error()));
    CertificatePins pins;
    QVERIFY(pins.pin(nginx.host(), *CertificatePins::parseFingerprint(nginx.fingerprint())));
    QNetworkAccessManager network;
    PinnedMediaStream stream(network, pins, QUrl(u"https://"_s + nginx.host() + u"/kq_cbt/kq/c01/long.avi"_s));

    // Nothing is read until the server has gone quiet.
    constexpr qint64 Bound = 2 * 1024 * 1024;
    QSignalSpy arriving(&stream, &QIODevice::readyRead);
    while (arriving.wait(2000))
        QVERIFY2(stream.bytesAvailable() <= Bound, qPrintable(u"%1 bytes held"_s.arg(stream.bytesAvailable())));
    QVERIFY(!stream.hasFailed());
    QVERIFY(stream.bytesAvailable() > 0);

    // Reading lets the rest come, all of it, in order.
    QByteArray received = stream.readAll();
    connect(&stream, &QIODevice::readyRead, this, [&] { received += stream.readAll(); });
    QSignalSpy drained(&stream, &PinnedMediaStream::drained);
    QVERIFY(drained.wait(PageTimeoutMs));
    QCOMPARE(received.size(), video.size());
    QVERIFY(received == video);
}

// Contents page, module page, content pages, then the content page's video:
// all from nginx, trusted through the pin in the settings file.
void TestNginxEndToEnd::viewerWalksToAVideoWithThePinFromItsSettings()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY(writeSettings(harness, m_nginx.host(), m_nginx.fingerprint()));
    QProcess *viewer = harness.startViewer({}, settingsOnlyEnvironment(harness));

    QVERIFY2(E2eHarness::waitForOutput(viewer, u"document complete: "_s + m_fileLocn + u"kqd.vxp"_s,
                                       FirstPageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    const QString window = harness.findWindow(u"^Tamberlyn"_s);
    QVERIFY(!window.isEmpty());

    // 1280x1024 is size class 4: the "d" variants. Next from the contents
    // opens module 1, whose stub and objectives stub lead to sized pages.
    QStringList expected{u"kqd.vxp"_s};
    const QList<QStringList> nextSteps = {
        {u"kq010001.vxp"_s, u"mod01d.vxp"_s},
        {u"kq010002.vxp"_s, u"obj01d.vxp"_s},
        {u"kq010003.vxp"_s},
        {u"kq010004.vxp"_s},
        {u"kq010005.vxp"_s},
    };
    for (const QStringList &pages : nextSteps) {
        QVERIFY2(harness.clickBarButton(window, 5), qPrintable(harness.error())); // Next
        expected += pages;
        QVERIFY2(waitForHandledPages(viewer, expected, PageTimeoutMs),
                 qPrintable(u"expected pages %1\n%2"_s.arg(expected.join(u' '), E2eHarness::output(viewer))));
    }
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"document complete: "_s + m_fileLocn + u"kq010005.vxp"_s,
                                       PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));

    const std::optional<QPoint> link = firstMediaLink(harness);
    QVERIFY2(link, "no media link on the content page's screen");
    QVERIFY2(harness.runOnDisplay(u"xdotool"_s, {u"mousemove"_s, QString::number(link->x()), QString::number(link->y()),
                                                 u"click"_s, u"1"_s}),
             qPrintable(harness.error()));

    // The whole video streams through the viewer's pinned fetch and plays to
    // its end.
    const QString video = m_fileLocn + u"c01/fig01a.avi"_s;
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"tamberlyn.media: playing "_s + video, PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"tamberlyn.media: not playing "_s + video, PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    QVERIFY2(!E2eHarness::output(viewer).contains(u"cannot fetch"_s), qPrintable(E2eHarness::output(viewer)));
    // nginx logs a request once its answer is sent: all of the file, once.
    const QRegularExpression served(u"\"GET /kq_cbt/kq/c01/fig01a\\.avi HTTP/[0-9.]+\" 200 "_s
                                    + QString::number(QFileInfo(Site + u"/kq_cbt/kq/c01/fig01a.avi"_s).size()) + u' ');
    const QDeadlineTimer logged(5000);
    while (!m_nginx.accessLog().contains(served) && !logged.hasExpired())
        QTest::qWait(100);
    QVERIFY2(m_nginx.accessLog().count(served) == 1, qPrintable(m_nginx.accessLog()));
}

// A certificate other than the pinned one is refused before any page is
// asked for.
void TestNginxEndToEnd::viewerRefusesTheServerUnderAnotherPin()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}), qPrintable(harness.error()));
    const qsizetype logged = m_nginx.accessLog().size();
    QVERIFY(writeSettings(harness, m_nginx.host(), QString(64, u'0')));
    QProcess *viewer = harness.startViewer({}, settingsOnlyEnvironment(harness));

    QVERIFY2(E2eHarness::waitForOutput(viewer, u"rejected certificate"_s, FirstPageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"load failed:"_s, PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    QVERIFY(!E2eHarness::output(viewer).contains(u"document complete"_s));
    const QString since = m_nginx.accessLog().mid(logged);
    QVERIFY2(!since.contains(u"/kq_cbt/kq/"_s), qPrintable(since));
}

QTEST_GUILESS_MAIN(TestNginxEndToEnd)
#include "tst_nginx_e2e.moc"
