#include "shell/failuremessage.h"
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

class TestFailureMessage final : public QObject
{
    Q_OBJECT

private slots:
    void wording_data();
    void wording();
    void notices();
};

void TestFailureMessage::wording_data()
{
    QTest::addColumn<Platform::LoadFailure>("failure");
    QTest::addColumn<QString>("host");           // course/host, and the address's authority
    QTest::addColumn<QString>("pin");            // course/pin
    QTest::addColumn<QString>("timeout");        // course/timeout
    QTest::addColumn<QStringList>("fromEnvironment");
    QTest::addColumn<QStringList>("says");       // in the window's text
    QTest::addColumn<QStringList>("neverSays");  // not in the window's text
    QTest::addColumn<QStringList>("logSays");    // in the terminal's line
    QTest::addColumn<bool>("later");             // a page after the first

    const QStringList none;
    QTest::newRow("refused")
        << failure(Kind::Refused, -102, u"net::ERR_CONNECTION_REFUSED"_s) << u"127.0.0.1:8443"_s << QString()
        << QString() << none
        << QStringList{u"Nothing accepted a connection at 127.0.0.1:8443"_s, u"Is the course server running?"_s,
                       u"Are the host and port in course/host those of the course server? "
                       u"They are 127.0.0.1:8443 now."_s,
                       u"The settings are read from "_s + SettingsFile + u"."_s}
        << QStringList{u"IPv6"_s, u"Port 0"_s, u"environment"_s}
        << QStringList{u"connection refused"_s, u"is the course server running at 127.0.0.1:8443? check course/host"_s} << false;
    QTest::newRow("refused at port 0")
        << failure(Kind::Refused, -102) << u"127.0.0.1:0"_s << QString() << QString() << none
        << QStringList{u"Port 0 is no port a server can listen on"_s} << QStringList{u"IPv6"_s}
        << QStringList{u"connection refused"_s} << false;
    QTest::newRow("refused over IPv6")
        << failure(Kind::Refused, -102) << u"[::1]:8443"_s << QString() << QString() << none
        << QStringList{u"Nothing accepted a connection at [::1]:8443"_s, u"::1 is an IPv6 address"_s,
                       u"127.0.0.1"_s}
        << QStringList{u"Port 0"_s} << QStringList{u"[::1]:8443"_s} << false;
    QTest::newRow("host from the environment")
        << failure(Kind::Refused, -102) << u"127.0.0.1:1234"_s << QString() << QString()
        << QStringList{u"course/host"_s}
        << QStringList{u"Are the host and port in TAMBERLYN_COURSE_HOST those"_s,
                       u"TAMBERLYN_COURSE_HOST, set in the environment, takes the place of its course/host."_s}
        << QStringList{u"in course/host"_s} << QStringList{u"check TAMBERLYN_COURSE_HOST"_s} << false;
    QTest::newRow("host and pin from the environment")
        << failure(Kind::Certificate, -202, u"net::ERR_CERT_AUTHORITY_INVALID"_s, Fingerprint)
        << u"course.example"_s << QString(64, u'b') << QString() << QStringList{u"course/host"_s, u"course/pin"_s}
        << QStringList{u"TAMBERLYN_COURSE_HOST and TAMBERLYN_COURSE_PIN, set in the environment, take the place "
                       u"of its course/host and course/pin."_s,
                       u"TAMBERLYN_COURSE_PIN holds BB:BB:"_s}
        << none << QStringList{u"check TAMBERLYN_COURSE_PIN"_s} << false;
    QTest::newRow("host name not found")
        << failure(Kind::HostNotFound, -105, u"net::ERR_NAME_NOT_RESOLVED"_s) << u"no-such-host.invalid"_s
        << QString() << QString() << none
        << QStringList{u"The host name no-such-host.invalid could not be found"_s, u"spelled right"_s}
        << none << QStringList{u"host name not found"_s, u"check course/host"_s} << false;
    QTest::newRow("unreachable")
        << failure(Kind::Unreachable, -109, u"net::ERR_ADDRESS_UNREACHABLE"_s) << u"10.255.0.1:8443"_s << QString()
        << QString() << none
        << QStringList{u"10.255.0.1:8443 cannot be reached from this computer (net::ERR_ADDRESS_UNREACHABLE)"_s,
                       u"firewall"_s}
        << none << QStringList{u"host unreachable"_s} << false;
    QTest::newRow("no page within our wait")
        << failure(Kind::TimedOut) << u"127.0.0.1:8443"_s << QString() << u"12"_s << none
        << QStringList{u"No page came from 127.0.0.1:8443 within 12 seconds"_s, u"keeps waiting"_s,
                       u"course/timeout sets the wait in seconds (12 now)"_s, u"never answers"_s}
        << none << QStringList{u"no answer within 12 s"_s} << false;
    QTest::newRow("one second is one second")
        << failure(Kind::TimedOut) << u"127.0.0.1:8443"_s << QString() << u"1"_s << none
        << QStringList{u"within 1 second for"_s} << QStringList{u"1 seconds"_s} << QStringList{u"within 1 s"_s} << false;
    QTest::newRow("the engine's own time-out")
        << failure(Kind::TimedOut, -7, u"net::ERR_TIMED_OUT"_s) << u"127.0.0.1:8443"_s << QString() << QString()
        << none << QStringList{u"127.0.0.1:8443 did not answer in time (net::ERR_TIMED_OUT)"_s}
        << QStringList{u"keeps waiting"_s, u"course/timeout"_s} << QStringList{u"timed out (net::ERR_TIMED_OUT)"_s} << false;
    QTest::newRow("a port the engine never uses")
        << failure(Kind::BlockedAddress, -312, u"net::ERR_UNSAFE_PORT"_s) << u"127.0.0.1:1"_s << QString()
        << QString() << none
        << QStringList{u"does not connect to port 1"_s, u"it is 127.0.0.1:1 now"_s, u"127.0.0.1:8443"_s} << none
        << QStringList{u"the web engine does not connect to port 1"_s} << false;
    QTest::newRow("no pin")
        << failure(Kind::Certificate, -202, u"net::ERR_CERT_AUTHORITY_INVALID"_s, Fingerprint)
        << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"not signed by an authority this system trusts"_s, u"SHA-256 fingerprint\n"_s + Fingerprint,
                       u"No certificate is pinned: course/pin is not set."_s, u"--print-fingerprint"_s,
                       u"openssl x509 -noout -fingerprint -sha256"_s}
        << QStringList{u"another certificate"_s}
        << QStringList{u"certificate not trusted and not pinned (SHA-256 "_s + Fingerprint + u")"_s,
                       u"check course/pin"_s} << false;
    QTest::newRow("another certificate pinned")
        << failure(Kind::Certificate, -202, u"net::ERR_CERT_AUTHORITY_INVALID"_s, Fingerprint)
        << u"127.0.0.1:8443"_s << QString(64, u'a') << QString() << none
        << QStringList{u"course/pin holds AA:AA:AA:"_s, u"the fingerprint of another certificate"_s, Fingerprint}
        << QStringList{u"is not set"_s} << QStringList{u"check course/pin"_s} << false;
    QTest::newRow("certificate not seen")
        << failure(Kind::Certificate, -200, u"net::ERR_CERT_COMMON_NAME_INVALID"_s) << u"course.example"_s
        << QString() << QString() << none << QStringList{u"not the certificate pinned for course.example"_s}
        << QStringList{u"presented"_s} << QStringList{u"certificate not trusted and not pinned;"_s} << false;
    QTest::newRow("not found")
        << failure(Kind::HttpStatus, 404) << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"The server at 127.0.0.1:8443 answered 404 Not Found for https://127.0.0.1:8443"_s + Page,
                       u"kq_cbt/kq/ under the folder it serves"_s}
        << none << QStringList{u"HTTP status 404 Not Found"_s, u"does 127.0.0.1:8443 serve the course?"_s} << false;
    QTest::newRow("server error")
        << failure(Kind::HttpStatus, 500) << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"answered 500 Internal Server Error"_s, u"its log may say why"_s}
        << QStringList{u"kq_cbt/kq/ under"_s} << QStringList{u"HTTP status 500 Internal Server Error"_s} << false;
    QTest::newRow("status without a name")
        << failure(Kind::HttpStatus, 418) << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"answered 418 for"_s} << none << QStringList{u"HTTP status 418;"_s} << false;
    QTest::newRow("not an HTTPS server")
        << failure(Kind::SecureConnection, -107, u"net::ERR_SSL_PROTOCOL_ERROR"_s) << u"127.0.0.1:8080"_s
        << QString() << QString() << none
        << QStringList{u"No secure connection could be made with 127.0.0.1:8080 (net::ERR_SSL_PROTOCOL_ERROR)"_s,
                       u"an HTTPS server?"_s}
        << none << QStringList{u"no secure connection"_s} << false;
    QTest::newRow("connection closed")
        << failure(Kind::ConnectionLost, -324, u"net::ERR_EMPTY_RESPONSE"_s) << u"127.0.0.1:8443"_s << QString()
        << QString() << none << QStringList{u"closed the connection without sending"_s} << none
        << QStringList{u"connection closed without an answer (net::ERR_EMPTY_RESPONSE)"_s} << false;
    QTest::newRow("anything else")
        << failure(Kind::Other, -2, u"net::ERR_FAILED"_s) << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"could not be loaded (net::ERR_FAILED)"_s, u"Is the course server running?"_s} << none
        << QStringList{u"net::ERR_FAILED"_s} << false;

    // A later page: one the learner can step around, in a course that runs.
    QTest::newRow("later page missing")
        << failure(Kind::HttpStatus, 404) << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"answered 404 Not Found for"_s, u"This page is missing from the course on the server"_s,
                       u"Back returns to the page before, and <<, >> and Section still lead where they led"_s}
        << QStringList{u"Does the server serve the course?"_s}
        << QStringList{u"the page is missing from the course on 127.0.0.1:8443"_s} << true;
    QTest::newRow("later page, server stopped")
        << failure(Kind::Refused, -102, u"net::ERR_CONNECTION_REFUSED"_s) << u"127.0.0.1:8443"_s << QString()
        << QString() << none
        << QStringList{u"Nothing accepted a connection at 127.0.0.1:8443"_s, u"Is the course server running?"_s}
        << none << QStringList{u"connection refused"_s} << true;
    QTest::newRow("later page, certificate changed")
        << failure(Kind::Certificate, -202, u"net::ERR_CERT_AUTHORITY_INVALID"_s, Fingerprint)
        << u"127.0.0.1:8443"_s << QString(64, u'a') << QString() << none
        << QStringList{u"SHA-256 fingerprint\n"_s + Fingerprint, u"course/pin holds AA:AA:AA:"_s,
                       u"a certificate that differs may be someone else's"_s}
        << none << QStringList{u"check course/pin"_s} << true;
    QTest::newRow("first page stopped")
        << failure(Kind::Aborted, -3, u"stopped"_s) << u"127.0.0.1:8443"_s << QString() << QString() << none
        << QStringList{u"was stopped before the page came"_s, u"Retry loads it again"_s} << none
        << QStringList{u"stopped before the page came"_s} << false;
}

void TestFailureMessage::wording()
{
    QFETCH(Platform::LoadFailure, failure);
    QFETCH(QString, host);
    QFETCH(QString, pin);
    QFETCH(QString, timeout);
    QFETCH(QStringList, fromEnvironment);
    QFETCH(QStringList, says);
    QFETCH(QStringList, neverSays);
    QFETCH(QStringList, logSays);
    QFETCH(bool, later);

    Shell::Settings settings;
    settings.courseHost = host;
    settings.coursePin = pin;
    settings.courseTimeout = timeout;
    settings.fileName = SettingsFile;
    settings.fromEnvironment = fromEnvironment;
    const QString address = u"https://"_s + host + Page;
    const Shell::FailureMessage message = Shell::failureMessage(
        failure, address, settings, later ? Shell::FailedPage::Later : Shell::FailedPage::First);

    QCOMPARE(message.heading, later ? u"This page could not be loaded"_s : u"The course could not be loaded"_s);
    // Every message names the address, what to check, and where the settings are.
    for (const QString &text : QStringList{address, u"What to check:\n\u2022 "_s, SettingsFile,
                                           u"take effect when the viewer starts again"_s,
                                           u"\"Pointing the viewer at a course server\""_s} + says)
        QVERIFY2(message.text.contains(text), qPrintable(u"missing: "_s + text + u"\nin:\n"_s + message.text));
    for (const QString &text : neverSays)
        QVERIFY2(!message.text.contains(text), qPrintable(u"unwanted: "_s + text + u"\nin:\n"_s + message.text));

    QVERIFY2(message.logLine.startsWith((later ? u"tamberlyn: cannot load "_s
                                               : u"tamberlyn: cannot load the course from "_s)
                                        + address + u": "_s),
             qPrintable(message.logLine));
    QVERIFY(!message.logLine.contains(u'\n'));
    for (const QString &text : logSays)
        QVERIFY2(message.logLine.contains(text), qPrintable(u"missing: "_s + text + u"\nin: "_s + message.logLine));
}

// What a video or sound that will not play and a history that cannot be
// written are told as: what, why, and that the course goes on.
void TestFailureMessage::notices()
{
    QCOMPARE(Shell::mediaFailureNotice(Shell::MediaKind::Video, u"https://h:1/kq_cbt/kq//kq/title.avi"_s,
                                       u"the server answered 404 Not Found"_s),
             u"The video kq/title.avi could not be played: the server answered 404 Not Found."_s);
    QCOMPARE(Shell::mediaFailureNotice(Shell::MediaKind::Sound, u"https://h:1/kq_cbt/kq/c01/v0101.wav"_s, {}),
             u"The sound c01/v0101.wav could not be played: no reason given."_s);
    const QString history = Shell::historyNotSavedNotice(u"/data/KQ/history.vxp"_s, u"No space left on device"_s);
    for (const QString &text : {u"/data/KQ/history.vxp cannot be written (No space left on device)"_s,
                                u"The course goes on"_s, u"History window"_s})
        QVERIFY2(history.contains(text), qPrintable(history));
}

QTEST_APPLESS_MAIN(TestFailureMessage)
#include "tst_failuremessage.moc"
