#include "shell/firstpagemessage.h"
#include "shell/settings.h"

#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Kind = Platform::LoadFailure::Kind;

namespace {

const QString Page = u"/kq_cbt/kq/kqd.vxp"_s;
const QString SettingsFile = u"/home/learner/.config/Marrowick/Tamberlyn.ini"_s;
const QString Fingerprint =
    u"74:AD:A9:F9:01:4E:A8:96:B4:5D:4F:6B:2E:A6:3C:E4:B8:E4:10:8A:14:D7:45:7D:A0:76:D1:94:3D:1D:A2:17"_s;

Platform::LoadFailure failure(Kind kind, int code = 0, const QString &engineText = {},
                              const QString &fingerprint = {})
{
    return {kind, code, engineText, fingerprint};
}

} // namespace

class TestFirstPageMessage final : public QObject
{
    Q_OBJECT

private slots:
    void wording_data();
    void wording();
};

void TestFirstPageMessage::wording_data()
{
    QTest::addColumn<Platform::LoadFailure>("failure");
    QTest::addColumn<QString>("host");           // course/host, and the address's authority
    QTest::addColumn<QString>("pin");            // course/pin
    QTest::addColumn<QString>("timeout");        // course/timeout
    QTest::addColumn<QStringList>("fromEnvironment");
    QTest::addColumn<QStringList>("says");       // in the window's text
    QTest::addColumn<QStringList>("neverSays");  // not in the window's text
    QTest::addColumn<QStringList>("logSays");    // in the terminal's line

    const QStringList none;
    QTest::newRow("refused")
        << failure(Kind::Refused, -102, u"net::ERR_CONNECTION_REFUSED"_s) << u"127.0.0.1:8443"_s << QString()
        << QString() << none
        << QStringList{u"Nothing accepted a connection at 127.0.0.1:8443"_s, u"Is the course server running?"_s,
                       u"Are the host and port in course/host those of the course server? "
                       u"They are 127.0.0.1:8443 now."_s,
                       u"The settings are read from "_s + SettingsFile + u"."_s}
        << QStringList{u"IPv6"_s, u"Port 0"_s, u"environment"_s}
        << QStringList{u"connection refused"_s, u"is the course server running at 127.0.0.1:8443? check course/host"_s};
    QTest::newRow("refused at port 0")
        << failure(Kind::Refused, -102) << u"127.0.0.1:0"_s << QString() << QString() << none
        << QStringList{u"Port 0 is no port a server can listen on"_s} << QStringList{u"IPv6"_s}
        << QStringList{u"connection refused"_s};
    QTest::newRow("refused over IPv6")
        << failure(Kind::Refused, -102) << u"[::1]:8443"_s << QString() << QString() << none
        << QStringList{u"Nothing accepted a connection at [::1]:8443"_s, u"::1 is an IPv6 address"_s,
                       u"127.0.0.1"_s}
        << QStringList{u"Port 0"_s} << QStringList{u"[::1]:8443"_s};
    QTest::newRow("host from the environment")
        << failure(Kind::Refused, -102) << u"127.0.0.1:1234"_s << QString() << QString()
        << QStringList{u"course/host"_s}
        << QStringList{u"Are the host and port in TAMBERLYN_COURSE_HOST those"_s,
                       u"TAMBERLYN_COURSE_HOST, set in the environment, takes the place of its course/host."_s}
        << QStringList{u"in course/host"_s} << QStringList{u"check TAMBERLYN_COURSE_HOST"_s};
    QTest::newRow("host and pin from the environment")
        << failure(Kind::Certificate, -202, u"net::ERR_CERT_AUTHORITY_INVALID"_s, Fingerprint)
        << u"course.example"_s << QString(64, u'b') << QString() << QStringList{u"course/host"_s, u"course/pin"_s}
        << QStringList{u"TAMBERLYN_COURSE_HOST and TAMBERLYN_COURSE_PIN, set in the environment, take the place "
                       u"of its course/host and course/pin."_s,
                       u"TAMBERLYN_COURSE_PIN holds BB:BB:"_s}
        << none << QStringList{u"check TAMBERLYN_COURSE_PIN"_s};
    QTest::newRow("host name not found")
        << failure(Kind::HostNotFound, -105, u"net::ERR_NAME_NOT_RESOLVED"_s) << u"no-such-host.invalid"_s
        << QString() << QString() << none
        << QStringList{u"The host name no-such-host.invalid could not be found"_s, u"spelled right"_s}
        << none << QStringList{u"host name not found"_s, u"check course/host"_s};
    QTest::newRow("unreachable")
        << failure(Kind::Unreachable, -109, u"net::ERR_ADDRESS_UNREACHABLE"_s) << u"10.255.0.1:8443"_s << QString()
        << QString() << none
        << QStringList{u"10.255.0.1:8443 cannot be reached from this computer (net::ERR_ADDRESS_UNREACHABLE)"_s,
                       u"firewall"_s}
        << none << QStringList{u"host unreachable"_s};
    QTest::newRow("no page within our wait")
        << failure(Kind::TimedOut) << u"127.0.0.1:8443"_s << QString() << u"12"_s << none
        << QStringList{u"No page came from 127.0.0.1:8443 within 12 seconds"_s, u"keeps waiting"_s,
                       u"course/timeout sets the wait in seconds (12 now)"_s, u"never answers"_s}
        << none << QStringList{u"no answer within 12 s"_s};
    QTest::newRow("one second is one second")
        << failure(Kind::TimedOut) << u"127.0.0.1:8443"_s << QString() << u"1"_s << none
        << QStringList{u"within 1 second for"_s} << QStringList{u"1 seconds"_s} << QStringList{u"within 1 s"_s};
    QTest::newRow("the engine's own time-out")
        << failure(Kind::TimedOut, -7, u"net::ERR_TIMED_OUT"_s) << u"127.0.0.1:8443"_s << QString() << QString()
        << none << QStringList{u"127.0.0.1:8443 did not answer in time (net::ERR_TIMED_OUT)"_s}
        << QStringList{u"keeps waiting"_s, u"course/timeout"_s} << QStringList{u"timed out (net::ERR_TIMED_OUT)"_s};
    QTest::newRow("a port the engine never uses")
        << failure(Kind::BlockedAddress, -312, u"net::ERR_UNSAFE_PORT"_s) << u"127.0.0.1:1"_s << QString()
        << QString() << none
        << QStringList{u"does not connect to port 1"_s, u"it is 127.0.0.1:1 now"_s, u"127.0.0.1:8443"_s} << none
        << QStringList{u"the web engine does not connect to port 1"_s};
    QTest::newRow("no pin")
        << failure(Kind::Certificate, -202, u"net::ERR_CERT_AUTHORITY_INVALID"_s, Fingerprint)
        << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"not signed by an authority this system trusts"_s, u"SHA-256 fingerprint\n"_s + Fingerprint,
                       u"No certificate is pinned: course/pin is not set."_s, u"--print-fingerprint"_s,
                       u"openssl x509 -noout -fingerprint -sha256"_s}
        << QStringList{u"another certificate"_s}
        << QStringList{u"certificate not trusted and not pinned (SHA-256 "_s + Fingerprint + u")"_s,
                       u"check course/pin"_s};
    QTest::newRow("another certificate pinned")
        << failure(Kind::Certificate, -202, u"net::ERR_CERT_AUTHORITY_INVALID"_s, Fingerprint)
        << u"127.0.0.1:8443"_s << QString(64, u'a') << QString() << none
        << QStringList{u"course/pin holds AA:AA:AA:"_s, u"the fingerprint of another certificate"_s, Fingerprint}
        << QStringList{u"is not set"_s} << QStringList{u"check course/pin"_s};
    QTest::newRow("certificate not seen")
        << failure(Kind::Certificate, -200, u"net::ERR_CERT_COMMON_NAME_INVALID"_s) << u"course.example"_s
        << QString() << QString() << none << QStringList{u"not the certificate pinned for course.example"_s}
        << QStringList{u"presented"_s} << QStringList{u"certificate not trusted and not pinned;"_s};
    QTest::newRow("not found")
        << failure(Kind::HttpStatus, 404) << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"The server at 127.0.0.1:8443 answered 404 Not Found for https://127.0.0.1:8443"_s + Page,
                       u"kq_cbt/kq/ under the folder it serves"_s}
        << none << QStringList{u"HTTP status 404 Not Found"_s, u"does 127.0.0.1:8443 serve the course?"_s};
    QTest::newRow("server error")
        << failure(Kind::HttpStatus, 500) << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"answered 500 Internal Server Error"_s, u"its log may say why"_s}
        << QStringList{u"kq_cbt/kq/ under"_s} << QStringList{u"HTTP status 500 Internal Server Error"_s};
    QTest::newRow("status without a name")
        << failure(Kind::HttpStatus, 418) << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"answered 418 for"_s} << none << QStringList{u"HTTP status 418;"_s};
    QTest::newRow("not an HTTPS server")
        << failure(Kind::SecureConnection, -107, u"net::ERR_SSL_PROTOCOL_ERROR"_s) << u"127.0.0.1:8080"_s
        << QString() << QString() << none
        << QStringList{u"No secure connection could be made with 127.0.0.1:8080 (net::ERR_SSL_PROTOCOL_ERROR)"_s,
                       u"an HTTPS server?"_s}
        << none << QStringList{u"no secure connection"_s};
    QTest::newRow("connection closed")
        << failure(Kind::ConnectionLost, -324, u"net::ERR_EMPTY_RESPONSE"_s) << u"127.0.0.1:8443"_s << QString()
        << QString() << none << QStringList{u"closed the connection without sending"_s} << none
        << QStringList{u"connection closed without an answer (net::ERR_EMPTY_RESPONSE)"_s};
    QTest::newRow("anything else")
        << failure(Kind::Other, -2, u"net::ERR_FAILED"_s) << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"could not be loaded (net::ERR_FAILED)"_s, u"Is the course server running?"_s} << none
        << QStringList{u"net::ERR_FAILED"_s};
}

void TestFirstPageMessage::wording()
{
    QFETCH(Platform::LoadFailure, failure);
    QFETCH(QString, host);
    QFETCH(QString, pin);
    QFETCH(QString, timeout);
    QFETCH(QStringList, fromEnvironment);
    QFETCH(QStringList, says);
    QFETCH(QStringList, neverSays);
    QFETCH(QStringList, logSays);

    Shell::Settings settings;
    settings.courseHost = host;
    settings.coursePin = pin;
    settings.courseTimeout = timeout;
    settings.fileName = SettingsFile;
    settings.fromEnvironment = fromEnvironment;
    const QString address = u"https://"_s + host + Page;
    const Shell::FirstPageMessage message = Shell::firstPageMessage(failure, address, settings);

    QCOMPARE(message.heading, u"The course could not be loaded"_s);
    // Every message names the address, what to check, and where the settings are.
    for (const QString &text : QStringList{address, u"What to check:\n\u2022 "_s, SettingsFile,
                                           u"take effect when the viewer starts again"_s,
                                           u"\"Pointing the viewer at a course server\""_s} + says)
        QVERIFY2(message.text.contains(text), qPrintable(u"missing: "_s + text + u"\nin:\n"_s + message.text));
    for (const QString &text : neverSays)
        QVERIFY2(!message.text.contains(text), qPrintable(u"unwanted: "_s + text + u"\nin:\n"_s + message.text));

    QVERIFY2(message.logLine.startsWith(u"tamberlyn: cannot load the course from "_s + address + u": "_s),
             qPrintable(message.logLine));
    QVERIFY(!message.logLine.contains(u'\n'));
    for (const QString &text : logSays)
        QVERIFY2(message.logLine.contains(text), qPrintable(u"missing: "_s + text + u"\nin: "_s + message.logLine));
}

QTEST_APPLESS_MAIN(TestFirstPageMessage)
#include "tst_firstpagemessage.moc"
