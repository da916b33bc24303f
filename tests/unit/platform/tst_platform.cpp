#include "platform/certificatepins.h"
#include "platform/posix/flockinstancelock.h"
#include "platform/qt/engineloadfailure.h"
#include "platform/qt/systemclock.h"
#include "platform/tickcount.h"
#include "platform/workarea.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace Tamberlyn::Platform;
using namespace Qt::StringLiterals;

namespace {

// Fingerprint of data/pinned-cert.pem as `openssl x509 -fingerprint -sha256` prints it.
const QString PinnedFingerprint =
    u"A2:E8:28:81:D0:32:88:36:F1:34:F5:63:B5:FC:73:FA:FC:12:1B:98:65:62:70:0F:3F:1B:47:92:67:9B:8F:0C"_s;

QSslCertificate pinnedCertificate()
{
    QFile file(QFINDTESTDATA("data/pinned-cert.pem"));
    if (!file.open(QIODevice::ReadOnly))
        return QSslCertificate();
    return QSslCertificate(file.readAll(), QSsl::Pem);
}

} // namespace

class TestPlatform final : public QObject
{
    Q_OBJECT

private slots:
    void tickFolding_data();
    void tickFolding();
    void insideWorkArea_data();
    void insideWorkArea();
    void waitSecondKeepsEventsFlowing();
    void fingerprintParsing_data();
    void fingerprintParsing();
    void pinsAcceptOnlyTheirHost_data();
    void pinsAcceptOnlyTheirHost();
    void engineFailuresSorted_data();
    void engineFailuresSorted();
    void instanceLockTellsFirstFromSecond();
    void instanceLockSurvivesACrash();
    void instanceLockUnavailable();
};

void TestPlatform::tickFolding_data()
{
    QTest::addColumn<qint32>("counter");
    QTest::addColumn<double>("tick");

    QTest::newRow("positive") << qint32(12345) << 12345.0;
    QTest::newRow("largest") << qint32(2147483647) << 2147483647.0;
    QTest::newRow("zero gives 2^31") << qint32(0) << 2147483648.0;
    QTest::newRow("top bit set") << qint32(-2147483647 - 1) << 0.0;
    QTest::newRow("minus one") << qint32(-1) << 2147483647.0;
}

void TestPlatform::tickFolding()
{
    QFETCH(qint32, counter);
    QFETCH(double, tick);
    QCOMPARE(tickNowFromCounter(counter), tick);
    QVERIFY(tickNowFromCounter(counter) >= 0);
}

void TestPlatform::waitSecondKeepsEventsFlowing()
{
    SystemClock clock;
    bool ranDuringWait = false;
    QTimer::singleShot(50, this, [&ranDuringWait] { ranDuringWait = true; });
    QElapsedTimer elapsed;
    elapsed.start();
    clock.waitSecond();
    QVERIFY(ranDuringWait);
    QVERIFY2(elapsed.elapsed() >= 990, qPrintable(QString::number(elapsed.elapsed())));
}

void TestPlatform::fingerprintParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("colons, upper case") << PinnedFingerprint << true;
    QTest::newRow("plain lower case") << PinnedFingerprint.toLower().remove(u':') << true;
    QTest::newRow("surrounding blanks") << u"  "_s + PinnedFingerprint + u"\n"_s << true;
    QTest::newRow("one digit short") << PinnedFingerprint.chopped(1) << false;
    QTest::newRow("not hex") << QString(64, u'g') << false;
    QTest::newRow("SHA-1 length") << QString(40, u'a') << false;
    QTest::newRow("empty") << QString() << false;
}

void TestPlatform::fingerprintParsing()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto parsed = CertificatePins::parseFingerprint(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(CertificatePins::formatFingerprint(*parsed), PinnedFingerprint);
}

void TestPlatform::pinsAcceptOnlyTheirHost_data()
{
    QTest::addColumn<QString>("pinnedFor");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("same host and port") << u"127.0.0.1:8443"_s << u"https://127.0.0.1:8443/kq_cbt/kq/kqd.vxp"_s << true;
    QTest::newRow("host letter case") << u"Course.Example"_s << u"https://course.example/x"_s << true;
    QTest::newRow("default port") << u"course.example:443"_s << u"https://course.example/x"_s << true;
    QTest::newRow("other port") << u"127.0.0.1:8443"_s << u"https://127.0.0.1:9443/x"_s << false;
    QTest::newRow("other host") << u"127.0.0.1:8443"_s << u"https://localhost:8443/x"_s << false;
    QTest::newRow("plain http never") << u"127.0.0.1:8443"_s << u"http://127.0.0.1:8443/x"_s << false;
}

void TestPlatform::pinsAcceptOnlyTheirHost()
{
    QFETCH(QString, pinnedFor);
    QFETCH(QString, address);
    QFETCH(bool, accepted);
    const QSslCertificate certificate = pinnedCertificate();
    QVERIFY(!certificate.isNull());
    QCOMPARE(CertificatePins::formatFingerprint(CertificatePins::fingerprintOf(certificate)), PinnedFingerprint);

    CertificatePins pins;
    QVERIFY(pins.pin(pinnedFor, *CertificatePins::parseFingerprint(PinnedFingerprint)));
    QCOMPARE(pins.accepts(QUrl(address), certificate), accepted);

    // The same host with another certificate's fingerprint is never accepted.
    CertificatePins otherPin;
    QVERIFY(otherPin.pin(pinnedFor, QByteArray(32, '\x11')));
    QVERIFY(!otherPin.accepts(QUrl(address), certificate));
    QVERIFY(!pins.accepts(QUrl(address), QSslCertificate()));
}

void TestPlatform::engineFailuresSorted_data()
{
    using Kind = LoadFailure::Kind;
    using Info = QWebEngineLoadingInfo;
    QTest::addColumn<int>("domain");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("errorString");
    QTest::addColumn<LoadFailure::Kind>("kind");

    // As the engine reported them for the viewer's first page.
    QTest::newRow("nothing listens") << int(Info::ConnectionErrorDomain) << -102
                                     << u"net::ERR_CONNECTION_REFUSED"_s << Kind::Refused;
    QTest::newRow("name not resolved") << int(Info::ConnectionErrorDomain) << -105
                                       << u"net::ERR_NAME_NOT_RESOLVED"_s << Kind::HostNotFound;
    QTest::newRow("port 1") << int(Info::HttpErrorDomain) << -312 << u"net::ERR_UNSAFE_PORT"_s
                            << Kind::BlockedAddress;
    QTest::newRow("no pin") << int(Info::CertificateErrorDomain) << -202 << u"net::ERR_CERT_AUTHORITY_INVALID"_s
                            << Kind::Certificate;
    QTest::newRow("handshake never answered") << int(Info::ConnectionErrorDomain) << -7 << u"net::ERR_TIMED_OUT"_s
                                              << Kind::TimedOut;
    QTest::newRow("not an HTTPS server") << int(Info::ConnectionErrorDomain) << -107
                                         << u"net::ERR_SSL_PROTOCOL_ERROR"_s << Kind::SecureConnection;
    QTest::newRow("404") << int(Info::HttpStatusCodeDomain) << 404
                         << u"No webpage was found for the web address: <strong jscontent=\"failedUrl\">"_s
                         << Kind::HttpStatus;
    // Sorted by what they are, not by a list of numbers.
    QTest::newRow("any DNS error") << int(Info::DnsErrorDomain) << -806 << u"net::ERR_DNS_SERVER_FAILED"_s
                                   << Kind::HostNotFound;
    QTest::newRow("any TLS error") << int(Info::ConnectionErrorDomain) << -150
                                   << u"net::ERR_SSL_PINNED_KEY_NOT_IN_CERT_CHAIN"_s << Kind::SecureConnection;
    QTest::newRow("a success in the status domain") << int(Info::HttpStatusCodeDomain) << 200 << QString()
                                                    << Kind::Other;
    QTest::newRow("replaced by a newer load") << int(Info::ConnectionErrorDomain) << -3 << u"net::ERR_ABORTED"_s
                                              << Kind::Aborted;
    QTest::newRow("unknown") << int(Info::InternalErrorDomain) << -2 << u"net::ERR_FAILED"_s << Kind::Other;
}

void TestPlatform::engineFailuresSorted()
{
    QFETCH(int, domain);
    QFETCH(int, code);
    QFETCH(QString, errorString);
    QFETCH(LoadFailure::Kind, kind);
    const LoadFailure failure =
        engineLoadFailure(static_cast<QWebEngineLoadingInfo::ErrorDomain>(domain), code, errorString);
    QCOMPARE(failure.kind, kind);
    QCOMPARE(failure.code, code);
    // A status comes with a page template for a text, which is nobody's words.
    QCOMPARE(failure.engineText,
             domain == QWebEngineLoadingInfo::HttpStatusCodeDomain ? QString() : errorString);
    QVERIFY(failure.certificateFingerprint.isEmpty());
}

void TestPlatform::instanceLockTellsFirstFromSecond()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"tamberlyn.lock"_s);
    {
        FlockInstanceLock first;
        QCOMPARE(first.tryAcquire(path), FlockInstanceLock::Outcome::Acquired);
        FlockInstanceLock second;
        QCOMPARE(second.tryAcquire(path), FlockInstanceLock::Outcome::HeldByAnother);
    }
    // The first instance has ended: the lock file is still there, yet free.
    QVERIFY(QFile::exists(path));
    FlockInstanceLock next;
    QCOMPARE(next.tryAcquire(path), FlockInstanceLock::Outcome::Acquired);
}

void TestPlatform::instanceLockSurvivesACrash()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"tamberlyn.lock"_s);
    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        FlockInstanceLock lock;
        const char state = lock.tryAcquire(path) == FlockInstanceLock::Outcome::Acquired ? 'y' : 'n';
        (void)!::write(ready[1], &state, 1);
        ::pause(); // killed by the parent, never unlocks by itself
        ::_exit(0);
    }
    ::close(ready[1]);
    char state = 0;
    QCOMPARE(::read(ready[0], &state, 1), ssize_t(1));
    ::close(ready[0]);
    QCOMPARE(state, 'y');

    FlockInstanceLock whileRunning;
    QCOMPARE(whileRunning.tryAcquire(path), FlockInstanceLock::Outcome::HeldByAnother);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    FlockInstanceLock afterCrash;
    QCOMPARE(afterCrash.tryAcquire(path), FlockInstanceLock::Outcome::Acquired);
}

void TestPlatform::instanceLockUnavailable()
{
    FlockInstanceLock lock;
    QCOMPARE(lock.tryAcquire(u"/nonexistent-folder/for/tamberlyn.lock"_s), FlockInstanceLock::Outcome::Unavailable);
    QVERIFY(!lock.errorString().isEmpty());
}


void TestPlatform::insideWorkArea_data()
{
    QTest::addColumn<QRect>("client");
    QTest::addColumn<QRect>("expected");
    // A work area of 1280 x 1000 below a 24-pixel panel; frames of 1, 20, 1, 5.
    QTest::newRow("inside stays") << QRect(100, 100, 968, 741) << QRect(100, 100, 968, 741);
    QTest::newRow("touching every edge stays") << QRect(1, 44, 1278, 975) << QRect(1, 44, 1278, 975);
    QTest::newRow("over the right edge") << QRect(300, 100, 1278, 800) << QRect(1, 100, 1278, 800);
    QTest::newRow("over the bottom edge") << QRect(10, 258, 968, 800) << QRect(10, 219, 968, 800);
    QTest::newRow("title bar above the top") << QRect(10, 5, 968, 741) << QRect(10, 44, 968, 741);
    QTest::newRow("left of the screen") << QRect(-50, 100, 968, 741) << QRect(1, 100, 968, 741);
    QTest::newRow("too wide: shrunk") << QRect(0, 100, 1280, 800) << QRect(1, 100, 1278, 800);
    QTest::newRow("too big both ways") << QRect(-10, -10, 1400, 1100) << QRect(1, 44, 1278, 975);
}

// A window handed a place where it would overhang the work area comes back
// inside it with its frame, moved, and made smaller only where it must.
void TestPlatform::insideWorkArea()
{
    QFETCH(QRect, client);
    QFETCH(QRect, expected);
    const QRect workArea(0, 24, 1280, 1000);
    const QMargins frame(1, 20, 1, 5);
    const QRect inside = Tamberlyn::Platform::insideWorkArea(client, frame, workArea);
    QCOMPARE(inside, expected);
    QVERIFY(workArea.contains(inside.marginsAdded(frame)));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
