// Runs the real tamberlyn-course-server binary on a fixture course folder and
// talks to it over TLS, trusting only the certificate it created.

#include "CourseFixture.h"
#include "HttpsTestClient.h"
#include "SelfSignedCertificate.h"
#include "ServerProcess.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSslConfiguration>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <openssl/ssl.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray sha256Fingerprint(const QByteArray &certificatePem)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromData(certificatePem, QSsl::Pem);
    return certificates.isEmpty() ? QByteArray()
                                  : certificates.first().digest(QCryptographicHash::Sha256).toHex(':').toUpper();
}

mode_t fileMode(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// Peak resident memory of a process, in KiB (VmHWM), or -1.
qint64 peakResidentKiB(qint64 pid)
{
    const QByteArray status = readFile(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// CPU time (user and system) a process has used so far, in seconds.
double cpuSeconds(qint64 pid)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    // The command name may hold spaces; the fields after it do not.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = static_cast<double>(fields.at(11).toLongLong() + fields.at(12).toLongLong());
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The descriptor a process's next open() or accept() would get, or -1.
// Against RLIMIT_NOFILE it is the number that counts, not how many are open:
// a process may hold descriptors above its limit from before it was set.
int lowestFreeDescriptor(qint64 pid)
{
    // Read directly: the entries are links to "socket:[...]", which QDir
    // takes for broken links.
    DIR *fds = ::opendir(QByteArray("/proc/" + QByteArray::number(pid) + "/fd").constData());
    if (fds == nullptr)
        return -1;
    QSet<int> used;
    while (const dirent *entry = ::readdir(fds)) {
        if (entry->d_name[0] != '.')
            used.insert(QByteArray(entry->d_name).toInt());
    }
    ::closedir(fds);
    int lowest = 0;
    while (used.contains(lowest))
        ++lowest;
    return lowest;
}

// Every file in a folder with its contents; empty when the folder is missing.
QMap<QString, QByteArray> snapshot(const QString &directory)
{
    QMap<QString, QByteArray> files;
    const QDir dir(directory);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        files.insert(name, readFile(dir.filePath(name)));
    return files;
}

enum class BadStart {
    PortInUse,
    MissingRoot,
    RootIsAFile,
    GarbageCertificate,
    CertificateWithoutKey,
    KeyOfAnotherCertificate,
    CertificateFolderNotCreatable,
    UnknownOption,
    NoConnectionsAllowed,
    HeaderTimeoutNotANumber,
};

// Clients that hold a connection without ever completing a request.
enum class SlowClient {
    TricklingHead,   // sends its request head a byte at a time, forever
    NoHandshake,     // connects and never starts TLS
    IdleAfterAnswer, // keeps the connection after a response, says nothing
};

} // namespace

Q_DECLARE_METATYPE(BadStart)
Q_DECLARE_METATYPE(SlowClient)

class CourseServerTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void announcesFingerprintOfItsOwnCertificate();
    void certificateFitsLoopbackUse_data();
    void certificateFitsLoopbackUse();
    void servesFiles_data();
    void servesFiles();
    void refusesPathsOutsideRootLinksAndHiddenFiles_data();
    void refusesPathsOutsideRootLinksAndHiddenFiles();
    void answersRanges_data();
    void answersRanges();
    void headSendsHeadersOnly();
    void headAnswersNeverCarryABody_data();
    void headAnswersNeverCarryABody();
    void answersPipelinedRequestsInOrderOnOneConnection();
    void rejectsBadRequests_data();
    void rejectsBadRequests();
    void logsOneSanitizedLinePerRequest();
    void stalledDownloadNeitherBlocksOthersNorFillsMemory();
    void worksWithQtHttpClient();
    void neverServesThroughASwappedInLink();
    void offersOnlyAeadSuitesWithoutTickets_data();
    void offersOnlyAeadSuitesWithoutTickets();
    void dropsClientsThatMissTheHeaderDeadline_data();
    void dropsClientsThatMissTheHeaderDeadline();
    void letsClientsWaitAtTheConnectionCapWhileAllAreBusy();
    void idleConnectionsNeverLockLearnersOut_data();
    void idleConnectionsNeverLockLearnersOut();
    void pipelinedAnswersWaitForTheClientToRead();
    void closesWhenTheClientEndsItsTlsSession_data();
    void closesWhenTheClientEndsItsTlsSession();
    void waitsCalmlyWhileOutOfFileHandles();

    void reusesCertificateOnLaterRuns();
    void defaultCertificateFolderFollowsXdgDataHome();
    void refusesToStart_data();
    void refusesToStart();
    void stopsCleanlyOnSignal_data();
    void stopsCleanlyOnSignal();

private:
    std::optional<HttpResponse> get(const QByteArray &target, const QByteArray &extraHeaderLines = {});
    // A server of its own on the fixture, for tests that change its limits.
    bool startOwnServer(ServerProcess &server, const QStringList &extraArguments);

    CourseFixture m_fixture;
    QTemporaryDir m_certificateDir;
    ServerProcess m_server;
    QSslCertificate m_trusted;
};

void CourseServerTest::initTestCase()
{
    QVERIFY2(m_fixture.error().isEmpty(), qPrintable(m_fixture.error()));
    QVERIFY(m_certificateDir.isValid());
    m_server.start({QStringLiteral("--root"), m_fixture.root(), QStringLiteral("--port"), QStringLiteral("0"),
                    QStringLiteral("--cert-dir"), m_certificateDir.path()});
    QVERIFY2(m_server.waitForListening(), m_server.standardError().constData());
    const QList<QSslCertificate> certificates =
        QSslCertificate::fromPath(m_certificateDir.filePath(QStringLiteral("cert.pem")));
    QCOMPARE(certificates.size(), 1);
    m_trusted = certificates.first();
}

std::optional<HttpResponse> CourseServerTest::get(const QByteArray &target, const QByteArray &extraHeaderLines)
{
    HttpsTestClient client(m_trusted);
    if (!client.connectTo(m_server.port())) {
        qWarning() << "TLS connection failed:" << client.errorString();
        return std::nullopt;
    }
    client.sendRequest("GET", target, extraHeaderLines);
    return client.readResponse();
}

bool CourseServerTest::startOwnServer(ServerProcess &server, const QStringList &extraArguments)
{
    server.start(QStringList{QStringLiteral("--root"), m_fixture.root(), QStringLiteral("--port"), QStringLiteral("0"),
                             QStringLiteral("--cert-dir"), m_certificateDir.path()}
                 + extraArguments);
    return server.waitForListening();
}

void CourseServerTest::announcesFingerprintOfItsOwnCertificate()
{
    const QList<QByteArray> lines = m_server.stdoutLines();
    QVERIFY(lines.size() >= 2);
    QCOMPARE(lines.at(0), "certificate SHA-256 fingerprint: " + m_server.fingerprint());
    QCOMPARE(lines.at(1), "listening on https://127.0.0.1:" + QByteArray::number(m_server.port()) + '/');
    QCOMPARE(m_server.fingerprint(), sha256Fingerprint(readFile(m_certificateDir.filePath(QStringLiteral("cert.pem")))));
}

void CourseServerTest::certificateFitsLoopbackUse_data()
{
    // The viewer may reach the server by any of these names; the certificate
    // must verify for each of them without exceptions.
    QTest::addColumn<QString>("peerName");
    QTest::newRow("IPv4 loopback") << QStringLiteral("127.0.0.1");
    QTest::newRow("localhost") << QStringLiteral("localhost");
}

void CourseServerTest::certificateFitsLoopbackUse()
{
    QFETCH(QString, peerName);
    HttpsTestClient client(m_trusted);
    QVERIFY2(client.connectTo(m_server.port(), peerName), qPrintable(client.errorString()));
    QVERIFY(client.socket().sessionProtocol() >= QSsl::TlsV1_2);

    QVERIFY(m_trusted.isSelfSigned());
    QCOMPARE(m_trusted.subjectInfo(QSslCertificate::CommonName), QStringList{QStringLiteral("127.0.0.1")});
    const auto names = m_trusted.subjectAlternativeNames();
    QVERIFY(names.contains(QSsl::IpAddressEntry, QStringLiteral("127.0.0.1")));
    QVERIFY(names.contains(QSsl::IpAddressEntry, QStringLiteral("0:0:0:0:0:0:0:1"))
            || names.contains(QSsl::IpAddressEntry, QStringLiteral("::1")));
    QVERIFY(names.contains(QSsl::DnsEntry, QStringLiteral("localhost")));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QVERIFY(m_trusted.effectiveDate() <= now);
    QVERIFY(m_trusted.expiryDate() > now.addYears(9));
}

void CourseServerTest::servesFiles_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body"); // null: not compared

    const QByteArray html("text/html");
    const QByteArray notFoundType("text/plain; charset=utf-8");
    QTest::newRow("course page") << QByteArray("/kq_cbt/kq/kqd.vxp") << 200 << html << CourseFixture::pageBody();
    // The viewer asks for media at this doubled-slash address.
    QTest::newRow("empty segment collapsed") << QByteArray("/kq_cbt/kq//kq/title.avi") << 200
                                             << QByteArray("video/x-msvideo") << CourseFixture::videoBody();
    QTest::newRow("audio") << QByteArray("/kq_cbt/kq/sound.wav") << 200 << QByteArray("audio/wav") << QByteArray();
    QTest::newRow("upper-case extension") << QByteArray("/kq_cbt/kq/PHOTO.JPG") << 200 << QByteArray("image/jpeg")
                                          << QByteArray();
    QTest::newRow("encoded space") << QByteArray("/kq_cbt/kq/two%20words.htm") << 200 << html
                                   << QByteArray("<p>two words</p>");
    QTest::newRow("unknown extension") << QByteArray("/kq_cbt/kq/notes.xyz") << 200
                                       << QByteArray("application/octet-stream") << QByteArray("opaque");
    QTest::newRow("query and fragment ignored") << QByteArray("/kq_cbt/kq/kqd.vxp?page=2#top") << 200 << html
                                                << CourseFixture::pageBody();
    QTest::newRow("exam folder, no redirect") << QByteArray("/practicestudent/exam/tamberlyn/slug") << 200 << html
                                              << CourseFixture::examBody();
    QTest::newRow("exam folder with slash") << QByteArray("/practicestudent/exam/tamberlyn/slug/") << 200 << html
                                            << CourseFixture::examBody();
    QTest::newRow("file larger than a chunk") << QByteArray("/kq_cbt/media/lesson.avi") << 200
                                              << QByteArray("video/x-msvideo") << CourseFixture::lessonBody();
    QTest::newRow("missing file") << QByteArray("/kq_cbt/kq/missing.vxp") << 404 << notFoundType << QByteArray();
    QTest::newRow("folder without index") << QByteArray("/kq_cbt/kq") << 404 << notFoundType << QByteArray();
    QTest::newRow("web root without index") << QByteArray("/") << 404 << notFoundType << QByteArray();
    QTest::newRow("FIFO is no file") << QByteArray("/kq_cbt/pipe") << 404 << notFoundType << QByteArray();
    // Decoding happens once: %252e is a literal "%2e", not a dot.
    QTest::newRow("double-encoded dots") << QByteArray("/%252e%252e/secret.txt") << 404 << notFoundType
                                         << QByteArray();
}

void CourseServerTest::servesFiles()
{
    QFETCH(QByteArray, target);
    QFETCH(int, status);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);

    const std::optional<HttpResponse> response = get(target);
    QVERIFY(response);
    QCOMPARE(response->status, status);
    QCOMPARE(response->header("content-type"), contentType);
    QCOMPARE(response->header("content-length"), QByteArray::number(response->body.size()));
    QVERIFY(!response->hasHeader("location"));
    if (status == 200)
        QCOMPARE(response->header("accept-ranges"), "bytes");
    if (!body.isNull())
        QCOMPARE(response->body, body);
}

void CourseServerTest::refusesPathsOutsideRootLinksAndHiddenFiles_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("dot-dot") << QByteArray("/../secret.txt");
    QTest::newRow("dot-dot after a folder") << QByteArray("/kq_cbt/../../etc/passwd");
    QTest::newRow("encoded dot-dot") << QByteArray("/%2e%2e/secret.txt");
    QTest::newRow("encoded dot-dot and slash") << QByteArray("/%2E%2e%2fsecret.txt");
    QTest::newRow("dot-dot, encoded slash") << QByteArray("/kq_cbt/..%2f..%2fsecret.txt");
    QTest::newRow("backslash") << QByteArray("/..\\secret.txt");
    QTest::newRow("encoded backslash") << QByteArray("/kq_cbt%5c..%5c..%5csecret.txt");
    QTest::newRow("NUL") << QByteArray("/kq_cbt/kq/kqd.vxp%00.png");
    QTest::newRow("absolute form") << QByteArray("https://127.0.0.1/../secret.txt");
    QTest::newRow("link to a file outside") << QByteArray("/link-out-file");
    QTest::newRow("link to a folder outside") << QByteArray("/link-out-dir/inner.txt");
    QTest::newRow("index of a folder outside") << QByteArray("/link-out-dir/");
    // Same answer whether or not the file exists out there: no probing.
    QTest::newRow("missing file behind a link outside") << QByteArray("/link-out-dir/missing.txt");
    QTest::newRow("index.html linking outside") << QByteArray("/kq_cbt/escaping-index/");
    // A link is never followed, even one that stays inside: it could be
    // pointed elsewhere the moment after it was checked.
    QTest::newRow("link staying inside") << QByteArray("/link-to-page.vxp");
    QTest::newRow("folder link staying inside") << QByteArray("/link-to-exam");
    QTest::newRow("hidden file") << QByteArray("/.htpasswd");
    QTest::newRow("hidden folder") << QByteArray("/kq_cbt/.git/config");
    QTest::newRow("encoded hidden file") << QByteArray("/%2Ehtpasswd");
}

void CourseServerTest::refusesPathsOutsideRootLinksAndHiddenFiles()
{
    QFETCH(QByteArray, target);
    const std::optional<HttpResponse> response = get(target);
    QVERIFY(response);
    QCOMPARE(response->status, 403);
    QVERIFY(!response->body.contains(CourseFixture::secretMarker()));
    QVERIFY(!response->body.contains("hidden:password"));
}

void CourseServerTest::answersRanges_data()
{
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentRange"); // empty: must be absent
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("length");

    const qint64 size = CourseFixture::lessonBody().size();
    const QByteArray total = '/' + QByteArray::number(size);
    QTest::newRow("first-last") << QByteArray("bytes=0-99") << 206 << "bytes 0-99" + total << qint64(0) << qint64(100);
    QTest::newRow("across send chunks") << QByteArray("bytes=65530-200000") << 206 << "bytes 65530-200000" + total
                                        << qint64(65530) << qint64(200000 - 65530 + 1);
    QTest::newRow("open end") << "bytes=" + QByteArray::number(size - 10) + '-' << 206
                              << "bytes " + QByteArray::number(size - 10) + '-' + QByteArray::number(size - 1) + total
                              << size - 10 << qint64(10);
    QTest::newRow("suffix") << QByteArray("bytes=-500") << 206
                            << "bytes " + QByteArray::number(size - 500) + '-' + QByteArray::number(size - 1) + total
                            << size - 500 << qint64(500);
    QTest::newRow("last clamped to the end") << QByteArray("bytes=100-999999999") << 206
                                             << "bytes 100-" + QByteArray::number(size - 1) + total << qint64(100)
                                             << size - 100;
    QTest::newRow("starts past the end") << "bytes=" + QByteArray::number(size) + '-' << 416 << "bytes */" + total.mid(1)
                                         << qint64(0) << qint64(-1);
    QTest::newRow("several ranges: whole file") << QByteArray("bytes=0-1,5-6") << 200 << QByteArray() << qint64(0)
                                                << size;
    QTest::newRow("malformed: whole file") << QByteArray("bytes=abc") << 200 << QByteArray() << qint64(0) << size;
    // The server has no validators, so no If-Range matches the file as it
    // is: the whole file, never a piece of it to splice onto an old one.
    QTest::newRow("If-Range with an entity tag: whole file")
        << QByteArray("bytes=6-\r\nIf-Range: \"old\"") << 200 << QByteArray() << qint64(0) << size;
    QTest::newRow("If-Range with a date: whole file")
        << QByteArray("bytes=0-99\r\nIf-Range: Sat, 01 Jan 2000 00:00:00 GMT") << 200 << QByteArray() << qint64(0)
        << size;
    QTest::newRow("If-Range past the end: whole file, not 416")
        << "bytes=" + QByteArray::number(size) + "-\r\nIf-Range: \"old\"" << 200 << QByteArray() << qint64(0) << size;
}

void CourseServerTest::answersRanges()
{
    QFETCH(QByteArray, range);
    QFETCH(int, status);
    QFETCH(QByteArray, contentRange);
    QFETCH(qint64, first);
    QFETCH(qint64, length);

    const std::optional<HttpResponse> response = get("/kq_cbt/media/lesson.avi", "Range: " + range + "\r\n");
    QVERIFY(response);
    QCOMPARE(response->status, status);
    QCOMPARE(response->hasHeader("content-range"), !contentRange.isEmpty());
    QCOMPARE(response->header("content-range"), contentRange);
    if (length >= 0) {
        QCOMPARE(response->header("content-length"), QByteArray::number(length));
        QVERIFY(response->body == CourseFixture::lessonBody().mid(first, length));
    }
}

void CourseServerTest::headSendsHeadersOnly()
{
    // All on one connection: a body sent after a HEAD answer would be read as
    // the start of the next response and break it.
    HttpsTestClient client(m_trusted);
    QVERIFY2(client.connectTo(m_server.port()), qPrintable(client.errorString()));

    client.sendRequest("HEAD", "/kq_cbt/media/lesson.avi");
    std::optional<HttpResponse> response = client.readResponse(true);
    QVERIFY(response);
    QCOMPARE(response->status, 200);
    QCOMPARE(response->header("content-length"), QByteArray::number(CourseFixture::lessonBody().size()));
    QCOMPARE(response->header("content-type"), "video/x-msvideo");

    client.sendRequest("HEAD", "/kq_cbt/media/lesson.avi", "Range: bytes=10-19\r\n");
    response = client.readResponse(true);
    QVERIFY(response);
    QCOMPARE(response->status, 206);
    QCOMPARE(response->header("content-length"), "10");

    client.sendRequest("HEAD", "/kq_cbt/kq/missing.vxp");
    response = client.readResponse(true);
    QVERIFY(response);
    QCOMPARE(response->status, 404);

    client.sendRequest("GET", "/kq_cbt/kq/kqd.vxp");
    response = client.readResponse();
    QVERIFY(response);
    QCOMPARE(response->status, 200);
    QCOMPARE(response->body, CourseFixture::pageBody());
}

void CourseServerTest::headAnswersNeverCarryABody_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");

    QTest::newRow("no Host") << QByteArray("HEAD /kq_cbt/kq/kqd.vxp HTTP/1.1\r\n\r\n") << 400;
    QTest::newRow("two Host fields") << QByteArray("HEAD /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n")
                                     << 400;
    QTest::newRow("malformed field") << QByteArray("HEAD / HTTP/1.1\r\nHost a\r\n\r\n") << 400;
    QTest::newRow("unknown version") << QByteArray("HEAD / HTTP/3.0\r\nHost: a\r\n\r\n") << 505;
    QTest::newRow("head over 16 KiB") << "HEAD / HTTP/1.1\r\nHost: a\r\nX-Filler: " + QByteArray(20 * 1024, 'x')
                                              + "\r\n\r\n"
                                       << 431;
    QTest::newRow("body announced") << QByteArray("HEAD /kq_cbt/kq/missing HTTP/1.1\r\nHost: a\r\nContent-Length: "
                                                  "3\r\n\r\nabc")
                                    << 404;
}

void CourseServerTest::headAnswersNeverCarryABody()
{
    // Every answer to HEAD is a head alone, errors included: a body after it
    // would be read as the start of the next answer. These close the
    // connection, and nothing comes before the close.
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    HttpsTestClient client(m_trusted);
    QVERIFY2(client.connectTo(m_server.port()), qPrintable(client.errorString()));
    client.send(request);
    const std::optional<HttpResponse> response = client.readResponse(true);
    QVERIFY(response);
    QCOMPARE(response->status, status);
    QVERIFY(response->header("content-length").toInt() > 0);
    QVERIFY(client.waitForServerClose());
}

void CourseServerTest::answersPipelinedRequestsInOrderOnOneConnection()
{
    HttpsTestClient client(m_trusted);
    QVERIFY2(client.connectTo(m_server.port()), qPrintable(client.errorString()));
    client.send("GET /kq_cbt/media/lesson.avi HTTP/1.1\r\nHost: a\r\n\r\n"
                "GET /kq_cbt/kq/missing HTTP/1.1\r\nHost: a\r\n\r\n"
                "GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\n\r\n");
    std::optional<HttpResponse> response = client.readResponse();
    QVERIFY(response);
    QCOMPARE(response->status, 200);
    QVERIFY(response->body == CourseFixture::lessonBody());
    QCOMPARE(response->header("connection"), "keep-alive");
    response = client.readResponse();
    QVERIFY(response);
    QCOMPARE(response->status, 404);
    response = client.readResponse();
    QVERIFY(response);
    QCOMPARE(response->body, CourseFixture::pageBody());

    // Still open afterwards.
    client.sendRequest("GET", "/practicestudent/exam/tamberlyn/slug");
    response = client.readResponse();
    QVERIFY(response);
    QCOMPARE(response->body, CourseFixture::examBody());
}

void CourseServerTest::rejectsBadRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("closes");

    QTest::newRow("POST") << QByteArray("POST /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\n\r\n") << 405 << false;
    QTest::newRow("unknown method") << QByteArray("BREW /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\n\r\n") << 405
                                    << false;
    // The body is never read, so the connection cannot continue after it.
    QTest::newRow("PUT with body") << QByteArray("PUT /x HTTP/1.1\r\nHost: a\r\nContent-Length: 5\r\n\r\nhello")
                                   << 405 << true;
    QTest::newRow("garbage") << QByteArray("GARBAGE\r\n\r\n") << 400 << true;
    QTest::newRow("header without colon") << QByteArray("GET / HTTP/1.1\r\nHost a\r\n\r\n") << 400 << true;
    QTest::newRow("relative target") << QByteArray("GET kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\n\r\n") << 400
                                     << true;
    QTest::newRow("bad percent escape") << QByteArray("GET /kq_cbt/%zz HTTP/1.1\r\nHost: a\r\n\r\n") << 400 << true;
    QTest::newRow("conflicting lengths")
        << QByteArray("GET / HTTP/1.1\r\nHost: a\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n") << 400 << true;
    QTest::newRow("HTTP/2 preface") << QByteArray("PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n") << 505 << true;
    QTest::newRow("header block over 16 KiB")
        << "GET / HTTP/1.1\r\nHost: a\r\nX-Filler: " + QByteArray(20 * 1024, 'x') + "\r\n\r\n" << 431 << true;
    QTest::newRow("HTTP/1.0 closes by default") << QByteArray("GET /kq_cbt/kq/kqd.vxp HTTP/1.0\r\n\r\n") << 200
                                                << true;
    QTest::newRow("HTTP/1.0 keep-alive")
        << QByteArray("GET /kq_cbt/kq/kqd.vxp HTTP/1.0\r\nConnection: keep-alive\r\n\r\n") << 200 << false;
    QTest::newRow("Connection: close")
        << QByteArray("GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n") << 200 << true;
    QTest::newRow("bare LF line ends") << QByteArray("GET /kq_cbt/kq/kqd.vxp HTTP/1.1\nHost: a\n\n") << 200 << false;
    // Exactly one Host in HTTP/1.1; two in any version could make a proxy
    // and this server disagree about which host was asked.
    QTest::newRow("HTTP/1.1 without Host") << QByteArray("GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\n\r\n") << 400 << true;
    QTest::newRow("two Host fields")
        << QByteArray("GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n") << 400 << true;
    QTest::newRow("HTTP/1.0 with two Host fields")
        << QByteArray("GET /kq_cbt/kq/kqd.vxp HTTP/1.0\r\nHost: a\r\nHost: a\r\n\r\n") << 400 << true;
    QTest::newRow("Host that is no host") << QByteArray("GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a b/c\r\n\r\n")
                                          << 400 << true;
    QTest::newRow("HTTP/1.1 Host with port")
        << QByteArray("GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: [::1]:8443\r\n\r\n") << 200 << false;
}

void CourseServerTest::rejectsBadRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(bool, closes);

    HttpsTestClient client(m_trusted);
    QVERIFY2(client.connectTo(m_server.port()), qPrintable(client.errorString()));
    client.send(request);
    const std::optional<HttpResponse> response = client.readResponse();
    QVERIFY(response);
    QCOMPARE(response->status, status);
    QCOMPARE(response->header("connection"), closes ? "close" : "keep-alive");
    if (status == 405)
        QCOMPARE(response->header("allow"), "GET, HEAD");

    if (closes) {
        QVERIFY(client.waitForServerClose());
    } else {
        client.sendRequest("GET", "/kq_cbt/kq/kqd.vxp");
        const std::optional<HttpResponse> next = client.readResponse();
        QVERIFY(next);
        QCOMPARE(next->body, CourseFixture::pageBody());
    }
}

void CourseServerTest::logsOneSanitizedLinePerRequest()
{
    HttpsTestClient client(m_trusted);
    QVERIFY2(client.connectTo(m_server.port()), qPrintable(client.errorString()));
    client.sendRequest("GET", "/kq_cbt/kq/kqd.vxp?from=log-test");
    QVERIFY(client.readResponse());
    client.sendRequest("HEAD", "/kq_cbt/kq/kqd.vxp?from=log-test");
    QVERIFY(client.readResponse(true));
    client.sendRequest("GET", "/%2e%2e/log-test");
    QVERIFY(client.readResponse());

    // Control characters in a request must not start a line of their own or
    // reach a terminal as escape sequences.
    HttpsTestClient injector(m_trusted);
    QVERIFY2(injector.connectTo(m_server.port()), qPrintable(injector.errorString()));
    injector.send("GET /log-test\rGET /forged 200\x1b[2J HTTP/1.1\r\nHost: a\r\n\r\n");
    QVERIFY(injector.readResponse());

    QVERIFY(m_server.waitForStdoutLine("GET /kq_cbt/kq/kqd.vxp?from=log-test 200"));
    QVERIFY(m_server.waitForStdoutLine("HEAD /kq_cbt/kq/kqd.vxp?from=log-test 200"));
    QVERIFY(m_server.waitForStdoutLine("GET /%2e%2e/log-test 403"));
    QVERIFY(m_server.waitForStdoutLine("GET /log-test%0DGET 400"));

    static const QRegularExpression shape(QStringLiteral("^[!-~]+ [!-~]+ \\d{3}$"));
    const QList<QByteArray> lines = m_server.stdoutLines().mid(2);
    for (const QByteArray &line : lines) {
        QVERIFY2(shape.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        QVERIFY(!line.startsWith("GET /forged"));
    }
}

void CourseServerTest::stalledDownloadNeitherBlocksOthersNorFillsMemory()
{
    // A client that stops reading half way through a large video (as a paused
    // player does) must neither hold up other clients nor make the server
    // buffer the rest of the file.
    HttpsTestClient stalled(m_trusted);
    QVERIFY2(stalled.connectTo(m_server.port()), qPrintable(stalled.errorString()));
    stalled.sendRequest("GET", "/kq_cbt/huge.avi");
    const std::optional<HttpResponse> head = stalled.readResponse(true);
    QVERIFY(head);
    QCOMPARE(head->status, 200);
    QCOMPARE(head->header("content-length"), QByteArray::number(CourseFixture::hugeSize()));
    QCOMPARE(stalled.readRaw(1024 * 1024), QByteArray(1024 * 1024, '\0'));

    for (int i = 0; i < 3; ++i) {
        const std::optional<HttpResponse> other = get("/kq_cbt/media/lesson.avi");
        QVERIFY(other);
        QVERIFY(other->body == CourseFixture::lessonBody());
    }

    QTest::qWait(300); // time enough to read far ahead, if it were going to
    const qint64 peakKiB = peakResidentKiB(m_server.processId());
    QVERIFY(peakKiB > 0);
    QVERIFY2(peakKiB < 160 * 1024, qPrintable(QStringLiteral("peak resident memory %1 KiB").arg(peakKiB)));
}

void CourseServerTest::worksWithQtHttpClient()
{
    // A full client stack (ALPN, HTTP/2 offered first, keep-alive pool).
    QNetworkAccessManager manager;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({m_trusted});

    QNetworkRequest request(QUrl(QStringLiteral("https://127.0.0.1:%1/kq_cbt/media/lesson.avi").arg(m_server.port())));
    request.setSslConfiguration(tls);
    request.setRawHeader("Range", "bytes=1000-1999");
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();

    QVERIFY(reply->isFinished());
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 206);
    QVERIFY(!reply->attribute(QNetworkRequest::Http2WasUsedAttribute).toBool());
    QVERIFY(reply->readAll() == CourseFixture::lessonBody().mid(1000, 1000));
    reply->deleteLater();
}

void CourseServerTest::neverServesThroughASwappedInLink()
{
    // Someone with write access inside the root swaps a served file for a
    // link to a file outside it, over and over, while it is asked for. A
    // check of the path followed by an open of the path can be raced; an
    // open that refuses links on the way cannot.
    const QString folder = m_fixture.root() + QStringLiteral("/race");
    QVERIFY(QDir().mkpath(folder));
    const QByteArray inside("inside the root\n");
    const QByteArray target = QFile::encodeName(folder + QStringLiteral("/target.txt"));
    QVERIFY(writeFile(QFile::decodeName(target), inside));

    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const QByteArray link = QFile::encodeName(folder + QStringLiteral("/.swap-link"));
        const QByteArray file = QFile::encodeName(folder + QStringLiteral("/.swap-file"));
        const QByteArray secret = QFile::encodeName(m_fixture.secretPath());
        while (!stop.load()) {
            ::unlink(link.constData());
            if (::symlink(secret.constData(), link.constData()) == 0)
                ::rename(link.constData(), target.constData());
            const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd >= 0) {
                const bool written = ::write(fd, inside.constData(), size_t(inside.size())) == inside.size();
                ::close(fd);
                if (written)
                    ::rename(file.constData(), target.constData());
            }
        }
    });
    const auto joinSwapper = qScopeGuard([&] {
        stop = true;
        swapper.join();
    });

    // The old check-then-open let about one request in 200 through.
    constexpr int kRequests = 5000;
    HttpsTestClient client(m_trusted);
    QVERIFY2(client.connectTo(m_server.port()), qPrintable(client.errorString()));
    int served = 0;
    int refused = 0;
    int leaked = 0;
    for (int i = 0; i < kRequests; ++i) {
        // The server logs every request to its stdout: keep that pipe
        // drained, or the server blocks writing to it.
        if (i % 100 == 0)
            QCoreApplication::processEvents();
        client.sendRequest("GET", "/race/target.txt");
        const std::optional<HttpResponse> response = client.readResponse();
        QVERIFY(response);
        if (response->body.contains(CourseFixture::secretMarker()))
            ++leaked;
        else if (response->status == 200 && response->body == inside)
            ++served;
        else if (response->status == 403)
            ++refused;
        else
            QFAIL(qPrintable(QStringLiteral("unexpected answer %1: %2")
                                 .arg(response->status)
                                 .arg(QString::fromUtf8(response->body))));
    }
    qInfo("%d requests: %d served from inside, %d refused as a link, %d with bytes from outside", kRequests, served,
          refused, leaked);
    QCOMPARE(leaked, 0);
    // Both states were really met, or the race proved nothing.
    QVERIFY(served > 0);
    QVERIFY(refused > 0);
}

void CourseServerTest::offersOnlyAeadSuitesWithoutTickets_data()
{
    QTest::addColumn<QStringList>("clientOptions");
    QTest::addColumn<QByteArray>("agreedSuite"); // empty: the handshake must fail

    const auto tls12 = [](const char *suite) {
        return QStringList{QStringLiteral("-tls1_2"), QStringLiteral("-cipher"), QString::fromLatin1(suite)};
    };
    const auto tls13 = [](const char *suite) {
        return QStringList{QStringLiteral("-tls1_3"), QStringLiteral("-ciphersuites"), QString::fromLatin1(suite)};
    };
    // Forward-secret AEAD suites only, as the documented nginx setup.
    for (const char *suite : {"ECDHE-ECDSA-AES128-GCM-SHA256", "ECDHE-ECDSA-AES256-GCM-SHA384",
                              "ECDHE-ECDSA-CHACHA20-POLY1305"})
        QTest::addRow("TLS 1.2 %s", suite) << tls12(suite) << QByteArray(suite);
    // CBC with HMAC: padding-oracle prone, and nothing needs them.
    for (const char *suite : {"ECDHE-ECDSA-AES128-SHA", "ECDHE-ECDSA-AES256-SHA", "ECDHE-ECDSA-AES128-SHA256",
                              "ECDHE-ECDSA-AES256-SHA384"})
        QTest::addRow("TLS 1.2 %s", suite) << tls12(suite) << QByteArray();
    for (const char *suite : {"TLS_AES_128_GCM_SHA256", "TLS_AES_256_GCM_SHA384", "TLS_CHACHA20_POLY1305_SHA256"})
        QTest::addRow("TLS 1.3 %s", suite) << tls13(suite) << QByteArray(suite);
    // The client is told to allow anything, so a refusal is the server's.
    for (const char *version : {"-tls1", "-tls1_1"}) {
        QTest::addRow("%s", version) << QStringList{QString::fromLatin1(version), QStringLiteral("-cipher"),
                                                   QStringLiteral("DEFAULT@SECLEVEL=0")}
                                     << QByteArray();
    }
}

void CourseServerTest::offersOnlyAeadSuitesWithoutTickets()
{
    QFETCH(QStringList, clientOptions);
    QFETCH(QByteArray, agreedSuite);
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        QSKIP("the openssl command (Debian package openssl) is not installed");

    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(openssl, QStringList{QStringLiteral("s_client"), QStringLiteral("-connect"),
                                      QStringLiteral("127.0.0.1:%1").arg(m_server.port()), QStringLiteral("-ign_eof")}
                              + clientOptions);
    QVERIFY(client.waitForStarted());
    // The server answers an HTTP/1.0 request and closes, which ends s_client
    // after it has read everything, tickets included.
    client.write("GET /kq_cbt/kq/kqd.vxp HTTP/1.0\r\n\r\n");
    client.closeWriteChannel();
    QVERIFY(client.waitForFinished(20000));
    const QByteArray output = client.readAll();

    static const QRegularExpression agreed(QStringLiteral("^New, (\\S+), Cipher is (\\S+)$"),
                                           QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = agreed.match(QString::fromLatin1(output));
    QVERIFY2(match.hasMatch(), output.constData());
    if (agreedSuite.isEmpty()) {
        QCOMPARE(match.captured(2), QStringLiteral("(NONE)"));
        return;
    }
    QCOMPARE(match.captured(2).toLatin1(), agreedSuite);
    QVERIFY2(output.contains("HTTP/1.1 200 OK"), output.constData());
    // TLS 1.2 tickets carry the session sealed under a key that lives as
    // long as the server: none are issued.
    if (clientOptions.contains(QStringLiteral("-tls1_2")))
        QVERIFY2(!output.contains("session ticket"), output.constData());
}

void CourseServerTest::dropsClientsThatMissTheHeaderDeadline_data()
{
    QTest::addColumn<SlowClient>("client");
    QTest::addColumn<bool>("answered"); // 408 before closing

    QTest::newRow("request head trickling in") << SlowClient::TricklingHead << true;
    QTest::newRow("no TLS handshake") << SlowClient::NoHandshake << false;
    QTest::newRow("idle after an answer") << SlowClient::IdleAfterAnswer << false;
}

void CourseServerTest::dropsClientsThatMissTheHeaderDeadline()
{
    QFETCH(SlowClient, client);
    QFETCH(bool, answered);
    constexpr int kDeadlineMs = 2000;
    // Generous: the machine may be busy, and a server that never drops the
    // client still fails by a wide margin.
    constexpr int kSlackMs = 3000;

    ServerProcess server;
    QVERIFY(startOwnServer(server, {QStringLiteral("--header-timeout"), QString::number(kDeadlineMs / 1000)}));

    QElapsedTimer elapsed;
    if (client == SlowClient::NoHandshake) {
        QTcpSocket plain;
        plain.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(plain.waitForConnected());
        elapsed.start();
        if (plain.state() != QAbstractSocket::UnconnectedState)
            QVERIFY(plain.waitForDisconnected(kDeadlineMs + kSlackMs));
        QCOMPARE(plain.readAll(), QByteArray());
    } else {
        HttpsTestClient tls(m_trusted);
        QVERIFY2(tls.connectTo(server.port()), qPrintable(tls.errorString()));
        if (client == SlowClient::IdleAfterAnswer) {
            tls.sendRequest("GET", "/kq_cbt/kq/kqd.vxp");
            const std::optional<HttpResponse> response = tls.readResponse();
            QVERIFY(response);
            QCOMPARE(response->status, 200);
            elapsed.start();
            QVERIFY(tls.waitForServerClose(kDeadlineMs + kSlackMs));
        } else {
            elapsed.start();
            // One byte every 100 ms: each would have restarted an idle timer.
            tls.send("GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\nX-Slow: ");
            while (!tls.socket().waitForReadyRead(100) && elapsed.elapsed() < kDeadlineMs + kSlackMs)
                tls.send("x");
            const std::optional<HttpResponse> response = tls.readResponse();
            QVERIFY(response);
            QCOMPARE(response->status, 408);
            QCOMPARE(response->header("connection"), "close");
            QVERIFY(tls.waitForServerClose());
        }
    }
    const qint64 took = elapsed.elapsed();
    QVERIFY2(took >= kDeadlineMs - 500 && took < kDeadlineMs + kSlackMs,
             qPrintable(QStringLiteral("dropped after %1 ms").arg(took)));
    QCOMPARE(server.waitForStdoutLine("GET /kq_cbt/kq/kqd.vxp 408", 1000), answered);
}

void CourseServerTest::letsClientsWaitAtTheConnectionCapWhileAllAreBusy()
{
    // Two downloads in progress, both paused by their players: at a cap of
    // two a third client waits in the listen queue, neither refused nor
    // served, until one of them closes.
    ServerProcess server;
    QVERIFY(startOwnServer(server, {QStringLiteral("--max-connections"), QStringLiteral("2")}));
    std::vector<std::unique_ptr<HttpsTestClient>> downloads;
    for (int i = 0; i < 2; ++i) {
        downloads.push_back(std::make_unique<HttpsTestClient>(m_trusted));
        QVERIFY2(downloads.back()->connectTo(server.port()), qPrintable(downloads.back()->errorString()));
        downloads.back()->sendRequest("GET", "/kq_cbt/huge.avi");
        QVERIFY(downloads.back()->readResponse(true));
    }

    HttpsTestClient third(m_trusted);
    QVERIFY(!third.connectTo(server.port(), QStringLiteral("127.0.0.1"), 1500));
    QVERIFY(third.socket().state() == QAbstractSocket::ConnectedState);
    QVERIFY(server.waitForStandardError("the most allowed"));

    QElapsedTimer sinceClose;
    sinceClose.start();
    downloads.front()->socket().abort();
    QVERIFY2(third.socket().waitForEncrypted(5000), qPrintable(third.errorString()));
    third.sendRequest("GET", "/kq_cbt/kq/kqd.vxp");
    const std::optional<HttpResponse> response = third.readResponse();
    QVERIFY(response);
    QCOMPARE(response->status, 200);
    QVERIFY2(sinceClose.elapsed() < 1000, qPrintable(QStringLiteral("served %1 ms after a close")
                                                         .arg(sinceClose.elapsed())));
}

void CourseServerTest::idleConnectionsNeverLockLearnersOut_data()
{
    QTest::addColumn<SlowClient>("client");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("arguments");

    // The default cap, and more idle clients than it: without a place for
    // them all, the newest wait in the listen queue before the learner.
    QTest::newRow("256 connections that say nothing") << SlowClient::NoHandshake << 256 << QStringList();
    QTest::newRow("300 connections that say nothing") << SlowClient::NoHandshake << 300 << QStringList();
    QTest::newRow("request heads trickling in, at a cap of 8")
        << SlowClient::TricklingHead << 8 << QStringList{QStringLiteral("--max-connections"), QStringLiteral("8")};
    QTest::newRow("idle after an answer, at a cap of 8")
        << SlowClient::IdleAfterAnswer << 8 << QStringList{QStringLiteral("--max-connections"), QStringLiteral("8")};
}

void CourseServerTest::idleConnectionsNeverLockLearnersOut()
{
    // Connections that ask nothing fill the cap; a learner who comes after
    // them is served at once all the same (the oldest idle one makes room),
    // not after their header deadline, a minute later.
    QFETCH(SlowClient, client);
    QFETCH(int, count);
    QFETCH(QStringList, arguments);
    ServerProcess server;
    QVERIFY(startOwnServer(server, arguments));

    std::vector<std::unique_ptr<QTcpSocket>> plain;
    std::vector<std::unique_ptr<HttpsTestClient>> tls;
    for (int i = 0; i < count; ++i) {
        if (client == SlowClient::NoHandshake) {
            plain.push_back(std::make_unique<QTcpSocket>());
            plain.back()->connectToHost(QHostAddress::LocalHost, server.port());
            QVERIFY(plain.back()->waitForConnected());
            continue;
        }
        tls.push_back(std::make_unique<HttpsTestClient>(m_trusted));
        QVERIFY2(tls.back()->connectTo(server.port()), qPrintable(tls.back()->errorString()));
        if (client == SlowClient::TricklingHead) {
            tls.back()->send("GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\nX-Slow: ");
            tls.back()->socket().waitForBytesWritten(1000);
        } else {
            tls.back()->sendRequest("GET", "/kq_cbt/kq/kqd.vxp");
            QVERIFY(tls.back()->readResponse());
        }
    }
    // Past the grace a slow connection gets before it may make room.
    QTest::qWait(1200);

    for (int learner = 0; learner < 3; ++learner) {
        QElapsedTimer served;
        served.start();
        HttpsTestClient learnerClient(m_trusted);
        QVERIFY2(learnerClient.connectTo(server.port(), QStringLiteral("127.0.0.1"), 10000),
                 qPrintable(QStringLiteral("learner %1 not let in: %2").arg(learner).arg(learnerClient.errorString())));
        learnerClient.sendRequest("GET", "/kq_cbt/kq/kqd.vxp");
        const std::optional<HttpResponse> response = learnerClient.readResponse();
        QVERIFY(response);
        QCOMPARE(response->status, 200);
        qInfo("learner %d served in %lld ms", learner, served.elapsed());
    }
}

void CourseServerTest::pipelinedAnswersWaitForTheClientToRead()
{
    // A client pipelines HEAD requests and reads nothing. The server answers
    // until what waits to be sent reaches a small bound, then reads no more
    // (TCP holds the client back), and drops the client once it has taken
    // nothing for the send deadline. Its memory stays where it was.
    constexpr int kSendTimeoutS = 2;
    ServerProcess server;
    QVERIFY(startOwnServer(server, {QStringLiteral("--send-timeout"), QString::number(kSendTimeoutS)}));
    HttpsTestClient client(m_trusted);
    QVERIFY2(client.connectTo(server.port()), qPrintable(client.errorString()));
    client.sendRequest("GET", "/kq_cbt/kq/kqd.vxp"); // the server's buffers as they are in use
    QVERIFY(client.readResponse());
    const auto residentKiB = [&] {
        const QByteArray status = readFile(QStringLiteral("/proc/%1/status").arg(server.processId()));
        for (const QByteArray &line : status.split('\n')) {
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
        return qint64(-1);
    };
    const qint64 before = residentKiB();

    const QByteArray batch = QByteArray("HEAD /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\n\r\n").repeated(1000);
    constexpr int kRequests = 200'000;
    QSslSocket &socket = client.socket();
    // The client's socket must not read on its own either: it would take
    // the answers off the server as they come.
    socket.setReadBufferSize(4096);
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    QElapsedTimer stalled;
    stalled.start();
    qint64 queued = -1; // in the client, not yet taken by the kernel
    bool tookEverything = false;
    int sent = 0;
    while (socket.state() == QAbstractSocket::ConnectedState) {
        if (sent < kRequests && socket.bytesToWrite() < 4 * batch.size()) {
            socket.write(batch);
            sent += 1000;
        }
        socket.waitForBytesWritten(50);
        server.drain();
        const qint64 pending = socket.bytesToWrite() + socket.encryptedBytesToWrite();
        if (pending == 0 && sent >= kRequests) {
            tookEverything = true;
            break;
        }
        if (pending != queued) {
            queued = pending;
            stalled.restart();
        } else if (stalled.elapsed() > 1000) {
            break; // the server reads no more
        }
    }
    const qint64 grown = residentKiB() - before;
    qInfo("%d of %d requests written before the server stopped reading (or dropped the client); its memory grew "
          "by %lld KiB",
          sent, kRequests, grown);
    QVERIFY2(!tookEverything, "the server read every request while none of its answers was taken");
    QVERIFY2(before > 0 && grown < 16 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(grown)));

    // Still reading nothing, not even through Qt, which would take the
    // answers in: the kernel says when the server has gone.
    const auto established = [fd = int(socket.socketDescriptor())] {
        tcp_info info{};
        socklen_t size = sizeof info;
        return ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 && info.tcpi_state == TCP_ESTABLISHED;
    };
    QElapsedTimer dropped;
    dropped.start();
    while (established() && dropped.elapsed() < (kSendTimeoutS + 8) * 1000) {
        QTest::qWait(100);
        server.drain();
    }
    QVERIFY2(!established(), "never dropped");
    qInfo("dropped %lld ms after that", dropped.elapsed());
    QVERIFY(residentKiB() - before < 16 * 1024);
}

void CourseServerTest::closesWhenTheClientEndsItsTlsSession_data()
{
    QTest::addColumn<int>("version");
    QTest::newRow("TLS 1.2") << TLS1_2_VERSION;
    QTest::newRow("TLS 1.3") << TLS1_3_VERSION;
}

void CourseServerTest::closesWhenTheClientEndsItsTlsSession()
{
    // A client that sends close_notify and keeps TCP open: the server ends
    // the connection at once, as nginx does, instead of holding it until
    // the client closes TCP or the idle deadline passes.
    QFETCH(int, version);
    // A plain socket: Qt's would read the TLS records itself.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QVERIFY(fd >= 0);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_server.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    QVERIFY(context);
    SSL_CTX_set_min_proto_version(context.get(), version);
    SSL_CTX_set_max_proto_version(context.get(), version);
    const std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context.get()), SSL_free);
    QVERIFY(ssl && SSL_set_fd(ssl.get(), fd) == 1);
    QCOMPARE(SSL_connect(ssl.get()), 1); // blocking
    const QByteArray request = "GET /kq_cbt/kq/kqd.vxp HTTP/1.1\r\nHost: a\r\n\r\n";
    QCOMPARE(SSL_write(ssl.get(), request.constData(), int(request.size())), int(request.size()));
    QByteArray answer(4096, '\0');
    QVERIFY(SSL_read(ssl.get(), answer.data(), int(answer.size())) > 0);
    QVERIFY(answer.startsWith("HTTP/1.1 200 OK"));

    QElapsedTimer closed;
    closed.start();
    QVERIFY(SSL_shutdown(ssl.get()) >= 0); // close_notify, and TCP stays open
    char byte = 0;
    ssize_t read = -1;
    // The server's own close_notify, if it sends one, then the end of TCP.
    while (closed.elapsed() < 3000) {
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, 50) <= 0)
            continue;
        read = ::recv(fd, &byte, 1, 0);
        if (read <= 0)
            break;
    }
    QVERIFY2(read == 0 || (read < 0 && errno == ECONNRESET),
             qPrintable(QStringLiteral("still open %1 ms after close_notify").arg(closed.elapsed())));
    qInfo("closed %lld ms after the client's close_notify", closed.elapsed());
    QVERIFY(closed.elapsed() < 1000);
}

void CourseServerTest::waitsCalmlyWhileOutOfFileHandles()
{
    // Out of file handles, accept() fails at once and the connection stays
    // queued; a server that simply asks again spins at full CPU. This one
    // must wait quietly and serve the queued client once handles are free.
    constexpr int kFileLimit = 64;
    ServerProcess server;
    server.setOpenFileLimit(kFileLimit);
    // A cap well above what the handles allow: they run out first.
    QVERIFY(startOwnServer(server, {QStringLiteral("--max-connections"), QStringLiteral("1000")}));
    const qint64 pid = server.processId();
    const int idle = lowestFreeDescriptor(pid);
    QVERIFY(idle > 0 && idle < kFileLimit - 4);
    {
        HttpsTestClient warmUp(m_trusted);
        QVERIFY2(warmUp.connectTo(server.port()), qPrintable(warmUp.errorString()));
        warmUp.sendRequest("GET", "/kq_cbt/kq/kqd.vxp");
        QVERIFY(warmUp.readResponse());
    }
    // Its connection closed on the server's side too, so no handle is freed
    // later by surprise.
    QTRY_COMPARE(lowestFreeDescriptor(pid), idle);

    // Plain connections that never say anything, until every handle is taken.
    std::vector<std::unique_ptr<QTcpSocket>> held;
    while (lowestFreeDescriptor(pid) < kFileLimit) {
        QVERIFY(held.size() < size_t(kFileLimit));
        const int before = lowestFreeDescriptor(pid);
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(socket->waitForConnected());
        held.push_back(std::move(socket));
        QTRY_VERIFY_WITH_TIMEOUT(lowestFreeDescriptor(pid) > before, 5000);
    }

    // This client queues: accepting it fails, and keeps failing while no
    // handle is freed.
    const double cpuBefore = cpuSeconds(pid);
    QElapsedTimer starved;
    starved.start();
    HttpsTestClient waiting(m_trusted);
    QVERIFY(!waiting.connectTo(server.port(), QStringLiteral("127.0.0.1"), 1500));
    QVERIFY(waiting.socket().state() == QAbstractSocket::ConnectedState);
    const double cpu = cpuSeconds(pid) - cpuBefore;
    const double wall = static_cast<double>(starved.elapsed()) / 1000.0;
    qInfo("while starved: %.2f s CPU in %.2f s", cpu, wall);
    // A busy loop takes whatever CPU it can get; waiting takes next to none.
    QVERIFY2(cpuBefore >= 0 && cpu < 0.1 * wall, qPrintable(QStringLiteral("%1 s CPU in %2 s").arg(cpu).arg(wall)));
    QVERIFY2(server.waitForStandardError("out of file handles"), server.standardError().constData());

    // Two handles freed: one for the waiting client's socket, one for the
    // file it asks for.
    QElapsedTimer sinceFreed;
    sinceFreed.start();
    held.pop_back();
    held.pop_back();
    QVERIFY2(waiting.socket().waitForEncrypted(5000), qPrintable(waiting.errorString()));
    waiting.sendRequest("GET", "/kq_cbt/kq/kqd.vxp");
    const std::optional<HttpResponse> response = waiting.readResponse();
    QVERIFY(response);
    QCOMPARE(response->status, 200);
    QCOMPARE(response->body, CourseFixture::pageBody());
    qInfo("served %lld ms after two handles were freed", sinceFreed.elapsed());
    QVERIFY2(sinceFreed.elapsed() < 1000,
             qPrintable(QStringLiteral("served %1 ms after handles were freed").arg(sinceFreed.elapsed())));
    QVERIFY(server.waitForStandardError("accepting connections again"));
    // Said once, not once per retry.
    QCOMPARE(server.standardError().count("out of file handles"), 1);
}

void CourseServerTest::reusesCertificateOnLaterRuns()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString dir = base.filePath(QStringLiteral("certs"));
    const QStringList arguments{QStringLiteral("--print-fingerprint"), QStringLiteral("--cert-dir"), dir};

    QByteArray fingerprintLine;
    QByteArray firstCertificate;
    for (int run = 0; run < 2; ++run) {
        ServerProcess process;
        process.start(arguments);
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.process().exitCode(), 0);
        const QList<QByteArray> lines = process.stdoutLines();
        QCOMPARE(lines.size(), 1);
        if (run == 0) {
            fingerprintLine = lines.first();
            firstCertificate = readFile(dir + QStringLiteral("/cert.pem"));
        } else {
            QCOMPARE(lines.first(), fingerprintLine);
            QCOMPARE(readFile(dir + QStringLiteral("/cert.pem")), firstCertificate);
        }
    }
    QCOMPARE(fingerprintLine, "certificate SHA-256 fingerprint: " + sha256Fingerprint(firstCertificate));
    QCOMPARE(fileMode(dir), mode_t(0700));
    QCOMPARE(fileMode(dir + QStringLiteral("/key.pem")), mode_t(0600));
}

void CourseServerTest::defaultCertificateFolderFollowsXdgDataHome()
{
    QTemporaryDir dataHome;
    QVERIFY(dataHome.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());

    ServerProcess process;
    process.start({QStringLiteral("--print-fingerprint")}, environment);
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.process().exitCode(), 0);
    const QByteArray certificate = readFile(dataHome.filePath(QStringLiteral("tamberlyn-course-server/cert.pem")));
    QVERIFY(!certificate.isEmpty());
    QCOMPARE(process.stdoutLines(), {"certificate SHA-256 fingerprint: " + sha256Fingerprint(certificate)});
}

void CourseServerTest::refusesToStart_data()
{
    QTest::addColumn<BadStart>("situation");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("port in use") << BadStart::PortInUse << QByteArray("in use");
    QTest::newRow("missing root") << BadStart::MissingRoot << QByteArray("does not exist");
    QTest::newRow("root is a file") << BadStart::RootIsAFile << QByteArray("is not a folder");
    QTest::newRow("garbage cert.pem") << BadStart::GarbageCertificate << QByteArray("cert.pem is not a PEM certificate");
    QTest::newRow("cert.pem without key.pem") << BadStart::CertificateWithoutKey
                                              << QByteArray("key.pem does not");
    QTest::newRow("key of another certificate") << BadStart::KeyOfAnotherCertificate
                                                << QByteArray("does not belong to the certificate");
    QTest::newRow("certificate folder not creatable") << BadStart::CertificateFolderNotCreatable
                                                      << QByteArray("cannot create certificate folder");
    QTest::newRow("unknown option") << BadStart::UnknownOption << QByteArray("Unknown option");
    QTest::newRow("no connections allowed") << BadStart::NoConnectionsAllowed
                                            << QByteArray("invalid --max-connections: 0");
    QTest::newRow("header timeout not a number") << BadStart::HeaderTimeoutNotANumber
                                                 << QByteArray("invalid --header-timeout: 1m");
}

void CourseServerTest::refusesToStart()
{
    QFETCH(BadStart, situation);
    QFETCH(QByteArray, message);

    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    QString root = m_fixture.root();
    QString certificateDir = scratch.filePath(QStringLiteral("certs"));
    QStringList extra;
    QList<QByteArray> expectedInMessage{message};
    QTcpServer occupier;

    const auto copyWorkingPair = [&] {
        return QDir().mkpath(certificateDir)
            && QFile::copy(m_certificateDir.filePath(QStringLiteral("cert.pem")), certificateDir + QStringLiteral("/cert.pem"))
            && QFile::copy(m_certificateDir.filePath(QStringLiteral("key.pem")), certificateDir + QStringLiteral("/key.pem"));
    };
    switch (situation) {
    case BadStart::PortInUse:
        QVERIFY(copyWorkingPair());
        QVERIFY(occupier.listen(QHostAddress::LocalHost, 0));
        extra = QStringList{QStringLiteral("--port"), QString::number(occupier.serverPort())};
        expectedInMessage.append(QByteArray::number(occupier.serverPort()));
        break;
    case BadStart::MissingRoot:
        root = scratch.filePath(QStringLiteral("no-such-course"));
        break;
    case BadStart::RootIsAFile:
        root = scratch.filePath(QStringLiteral("file"));
        QVERIFY(writeFile(root, "not a folder"));
        break;
    case BadStart::GarbageCertificate:
        QVERIFY(QDir().mkpath(certificateDir));
        QVERIFY(writeFile(certificateDir + QStringLiteral("/cert.pem"), "garbage"));
        QVERIFY(writeFile(certificateDir + QStringLiteral("/key.pem"), "more garbage"));
        break;
    case BadStart::CertificateWithoutKey:
        QVERIFY(copyWorkingPair());
        QVERIFY(QFile::remove(certificateDir + QStringLiteral("/key.pem")));
        break;
    case BadStart::KeyOfAnotherCertificate: {
        QVERIFY(copyWorkingPair());
        QString error;
        const std::optional<PemPair> other = generateSelfSignedCertificate(&error);
        QVERIFY2(other, qPrintable(error));
        QVERIFY(writeFile(certificateDir + QStringLiteral("/key.pem"), other->privateKey));
        break;
    }
    case BadStart::CertificateFolderNotCreatable:
        QVERIFY(writeFile(scratch.filePath(QStringLiteral("file")), "in the way"));
        certificateDir = scratch.filePath(QStringLiteral("file/certs"));
        break;
    case BadStart::UnknownOption:
        extra = QStringList{QStringLiteral("--no-such-option")};
        break;
    case BadStart::NoConnectionsAllowed:
        extra = QStringList{QStringLiteral("--max-connections"), QStringLiteral("0")};
        break;
    case BadStart::HeaderTimeoutNotANumber:
        extra = QStringList{QStringLiteral("--header-timeout"), QStringLiteral("1m")};
        break;
    }
    const QMap<QString, QByteArray> before = snapshot(certificateDir);

    ServerProcess process;
    process.start(QStringList{QStringLiteral("--root"), root, QStringLiteral("--port"), QStringLiteral("0"),
                              QStringLiteral("--cert-dir"), certificateDir}
                  + extra);
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.process().exitStatus(), QProcess::NormalExit);
    QVERIFY(process.process().exitCode() != 0);
    const QByteArray standardError = process.standardError();
    for (const QByteArray &fragment : std::as_const(expectedInMessage))
        QVERIFY2(standardError.contains(fragment), standardError.constData());
    for (const QByteArray &line : process.stdoutLines())
        QVERIFY(!line.startsWith("listening on"));
    // Whatever is in the certificate folder may be the user's: never touched.
    QCOMPARE(snapshot(certificateDir), before);
}

void CourseServerTest::stopsCleanlyOnSignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void CourseServerTest::stopsCleanlyOnSignal()
{
    QFETCH(int, signalNumber);
    ServerProcess process;
    process.start({QStringLiteral("--root"), m_fixture.root(), QStringLiteral("--port"), QStringLiteral("0"),
                   QStringLiteral("--cert-dir"), m_certificateDir.path()});
    QVERIFY(process.waitForListening());
    // With a connection open, as there usually is one.
    HttpsTestClient client(m_trusted);
    QVERIFY2(client.connectTo(process.port()), qPrintable(client.errorString()));

    QCOMPARE(::kill(static_cast<pid_t>(process.processId()), signalNumber), 0);
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.process().exitCode(), 0);
}

QTEST_MAIN(CourseServerTest)
#include "tst_course_server.moc"
