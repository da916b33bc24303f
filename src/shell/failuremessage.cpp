#include "failuremessage.h"

#include "settings.h"

#include "navigation/coursemap.h"
#include "platform/certificatepins.h"

#include <QStringList>
#include <QUrl>

namespace Tamberlyn::Shell {

namespace {

using Kind = Platform::LoadFailure::Kind;

const QString Bullet = QStringLiteral("\u2022 ");

// A setting by the name it is changed under: the environment variable when
// it gave the value (it hides the file's), else the key in the settings file.
QString settingName(const Settings &settings, const QString &key)
{
    return settings.fromEnvironment.contains(key) ? Settings::environmentVariableFor(key) : key;
}

// Where the course settings come from, said once after the checks.
QString settingsSources(const Settings &settings)
{
    QStringList variables;
    QStringList keys;
    for (const QString &key : settings.fromEnvironment) {
        if (key.startsWith(QLatin1String("course/"))) {
            variables << Settings::environmentVariableFor(key);
            keys << key;
        }
    }
    QString text = QStringLiteral("The settings are read from %1").arg(settings.fileName);
    if (!variables.isEmpty()) {
        text += QStringLiteral("; %1, set in the environment, take%2 the place of its %3")
                    .arg(variables.join(QStringLiteral(" and ")),
                         variables.size() == 1 ? QStringLiteral("s") : QString(), keys.join(QStringLiteral(" and ")));
    }
    // Retry loads the same address with the same pin; new settings need a new start.
    return text + QStringLiteral(". Changed settings take effect when the viewer starts again. The README "
                                 "describes them under \"Pointing the viewer at a course server\".");
}

QString statusReason(int status)
{
    struct Reason
    {
        int status;
        const char *text;
    };
    static const Reason reasons[] = {
        {400, "Bad Request"}, {401, "Unauthorized"},          {403, "Forbidden"},
        {404, "Not Found"},   {410, "Gone"},                  {500, "Internal Server Error"},
        {502, "Bad Gateway"}, {503, "Service Unavailable"},   {504, "Gateway Timeout"},
    };
    for (const Reason &reason : reasons) {
        if (reason.status == status)
            return QLatin1String(reason.text);
    }
    return {};
}

QString engineWords(const Platform::LoadFailure &failure)
{
    return failure.engineText.isEmpty() ? QStringLiteral("no reason given") : failure.engineText;
}

struct Wording
{
    QString what;          // the paragraph that says what failed
    QStringList checks;    // what to look at, most likely first
    QString shortReason;   // for the terminal
    QString shortCheck;    // for the terminal
};

Wording wordingFor(const Platform::LoadFailure &failure, const QString &address, const Settings &settings,
                   FailedPage page)
{
    const QUrl url(address);
    const QString server = url.authority().isEmpty() ? settings.courseHost : url.authority();
    const QString host = url.host().isEmpty() ? settings.courseHost : url.host();
    const QString hostName = settingName(settings, QStringLiteral("course/host"));
    const QString hostCheck = QStringLiteral("Are the host and port in %1 those of the course server? They are %2 now.")
                                  .arg(hostName, settings.courseHost);
    const QString serverRunning = QStringLiteral("Is the course server running? When it starts it prints the "
                                                 "address it listens on, \"listening on https://HOST:PORT/\".");
    Wording w;
    switch (failure.kind) {
    case Kind::Refused:
        w.what = QStringLiteral("Nothing accepted a connection at %1 (the connection was refused), so %2 could "
                                "not be loaded.")
                     .arg(server, address);
        w.checks << serverRunning;
        if (url.port() == 0) {
            w.checks << QStringLiteral("Port 0 is no port a server can listen on: put the course server's port "
                                       "into %1.")
                            .arg(hostName);
        }
        if (host.contains(QLatin1Char(':'))) {
            w.checks << QStringLiteral("%1 is an IPv6 address. A server that listens on an IPv4 address, such as "
                                       "127.0.0.1, cannot be reached there.")
                            .arg(host);
        }
        w.checks << hostCheck;
        w.shortReason = QStringLiteral("connection refused");
        w.shortCheck = QStringLiteral("is the course server running at %1? check %2").arg(server, hostName);
        break;
    case Kind::HostNotFound:
        w.what = QStringLiteral("The host name %1 could not be found, so %2 could not be loaded.").arg(host, address);
        w.checks << QStringLiteral("Is the host name in %1 spelled right? It is %2 now.")
                        .arg(hostName, settings.courseHost)
                 << QStringLiteral("Is this computer connected to the network where that name is known?");
        w.shortReason = QStringLiteral("host name not found");
        w.shortCheck = QStringLiteral("check %1").arg(hostName);
        break;
    case Kind::Unreachable:
        w.what = QStringLiteral("%1 cannot be reached from this computer (%2), so %3 could not be loaded.")
                     .arg(server, engineWords(failure), address);
        w.checks << QStringLiteral("Is this computer connected to the network, and does no firewall stand between "
                                   "it and the course server?")
                 << hostCheck;
        w.shortReason = QStringLiteral("host unreachable (%1)").arg(engineWords(failure));
        w.shortCheck = QStringLiteral("check the network and %1").arg(hostName);
        break;
    case Kind::TimedOut: {
        const auto seconds = settings.firstPageWait().count();
        if (failure.code == 0) {
            // Our own wait: the load goes on, and the course still shows if it comes.
            const QString wait = seconds == 1 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(seconds);
            w.what = QStringLiteral("No page came from %1 within %2 for %3. The viewer keeps waiting and shows the "
                                    "course as soon as it comes.")
                         .arg(server, wait, address);
            w.shortReason = QStringLiteral("no answer within %1 s").arg(seconds);
        } else {
            w.what = QStringLiteral("%1 did not answer in time (%2), so %3 could not be loaded.")
                         .arg(server, engineWords(failure), address);
            w.shortReason = QStringLiteral("timed out (%1)").arg(engineWords(failure));
        }
        w.checks << QStringLiteral("Is the course server running and answering? A program that accepts "
                                   "connections and never answers (another program on that port, a server that "
                                   "hangs or is overloaded) looks like this.")
                 << hostCheck;
        if (failure.code == 0) {
            w.checks << QStringLiteral("On a slow connection, wait longer: %1 sets the wait in seconds (%2 now).")
                            .arg(settingName(settings, QStringLiteral("course/timeout")), QString::number(seconds));
        }
        w.shortCheck = QStringLiteral("is the course server at %1 answering? check %2").arg(server, hostName);
        break;
    }
    case Kind::BlockedAddress:
        if (failure.engineText.contains(QLatin1String("UNSAFE_PORT"))) {
            w.what = QStringLiteral("The viewer's web engine does not connect to port %1: that port is kept for "
                                    "other services and never used for web pages. So %2 was not loaded.")
                         .arg(QString::number(url.port()), address);
            w.shortReason = QStringLiteral("the web engine does not connect to port %1").arg(url.port());
        } else {
            w.what = QStringLiteral("%1 is not an address the web engine can load (%2).")
                         .arg(address, engineWords(failure));
            w.shortReason = QStringLiteral("address refused by the web engine (%1)").arg(engineWords(failure));
        }
        w.checks << QStringLiteral("Put the course server's host and port into %1; it is %2 now. The demo course "
                                   "server listens on 127.0.0.1:8443 unless told otherwise.")
                        .arg(hostName, settings.courseHost);
        w.shortCheck = QStringLiteral("check %1").arg(hostName);
        break;
    case Kind::Certificate: {
        const QString pinName = settingName(settings, QStringLiteral("course/pin"));
        w.what = QStringLiteral("The certificate of the server at %1 is not signed by an authority this system "
                                "trusts, and it is not the certificate pinned for %1. The viewer shows no course "
                                "over a connection it cannot trust, so %2 was not loaded.")
                     .arg(server, address);
        if (!failure.certificateFingerprint.isEmpty()) {
            w.what += QStringLiteral("\n\nThe server presented the certificate with the SHA-256 fingerprint\n%1")
                          .arg(failure.certificateFingerprint);
        }
        if (settings.coursePin.isEmpty()) {
            w.checks << QStringLiteral("No certificate is pinned: %1 is not set.").arg(pinName);
        } else {
            const auto pinned = Platform::CertificatePins::parseFingerprint(settings.coursePin);
            w.checks << QStringLiteral("%1 holds %2, the fingerprint of another certificate.")
                            .arg(pinName, pinned ? Platform::CertificatePins::formatFingerprint(*pinned)
                                                  : settings.coursePin);
        }
        w.checks << QStringLiteral("If %1 is your course server, compare the fingerprint above with the one the "
                                   "server gives (tamberlyn-course-server prints it when it starts, and with "
                                   "--print-fingerprint; for another server: openssl x509 -noout -fingerprint "
                                   "-sha256 -in CERT), then put it into %2. Pin nothing you cannot compare: a "
                                   "certificate that differs may be someone else's.")
                        .arg(server, pinName)
                 << hostCheck;
        w.shortReason = failure.certificateFingerprint.isEmpty()
                            ? QStringLiteral("certificate not trusted and not pinned")
                            : QStringLiteral("certificate not trusted and not pinned (SHA-256 %1)")
                                  .arg(failure.certificateFingerprint);
        w.shortCheck = QStringLiteral("check %1").arg(pinName);
        break;
    }
    case Kind::SecureConnection:
        w.what = QStringLiteral("No secure connection could be made with %1 (%2), so %3 was not loaded.")
                     .arg(server, engineWords(failure), address);
        w.checks << QStringLiteral("Is the program at %1 an HTTPS server? The viewer reads the course over HTTPS "
                                   "only.")
                        .arg(server)
                 << hostCheck;
        w.shortReason = QStringLiteral("no secure connection (%1)").arg(engineWords(failure));
        w.shortCheck = QStringLiteral("is %1 an HTTPS server? check %2").arg(server, hostName);
        break;
    case Kind::ConnectionLost:
        w.what = QStringLiteral("%1 closed the connection without sending %2 (%3).")
                     .arg(server, address, engineWords(failure));
        w.checks << QStringLiteral("Is the course server working? Its log may say why it closed the connection.")
                 << hostCheck;
        w.shortReason = QStringLiteral("connection closed without an answer (%1)").arg(engineWords(failure));
        w.shortCheck = QStringLiteral("is the course server at %1 working?").arg(server);
        break;
    case Kind::HttpStatus: {
        const QString reason = statusReason(failure.code);
        const QString status = reason.isEmpty() ? QString::number(failure.code)
                                                : QString::number(failure.code) + QLatin1Char(' ') + reason;
        w.what = QStringLiteral("The server at %1 answered %2 for %3.").arg(server, status, address);
        if (page == FailedPage::Later && (failure.code == 404 || failure.code == 410)) {
            // The server serves the course, or the pages before would not
            // have come: this one page is missing from it.
            w.checks << QStringLiteral("This page is missing from the course on the server; the others still "
                                       "come. Back returns to the page before, and <<, >> and Section still lead "
                                       "where they led from it.")
                     << QStringLiteral("Is the course on the server whole? Its pages must all be in kq_cbt/kq/ "
                                       "under the folder it serves.");
        } else if (failure.code == 404 || failure.code == 410) {
            w.checks << QStringLiteral("Does the server serve the course? Its pages must be in kq_cbt/kq/ under the "
                                       "folder it serves (tamberlyn-course-server --root FOLDER).");
        } else if (failure.code == 401 || failure.code == 403) {
            w.checks << QStringLiteral("The server refuses to hand out the page: can it read the course folder, and "
                                       "does it ask for nothing more?");
        } else if (failure.code >= 500) {
            w.checks << QStringLiteral("The server failed to answer: its log may say why.");
        }
        w.checks << QStringLiteral("Is %1 the course server, and not another web server? It is set by %2.")
                        .arg(server, hostName);
        w.shortReason = QStringLiteral("HTTP status ") + status;
        w.shortCheck = page == FailedPage::Later && (failure.code == 404 || failure.code == 410)
                           ? QStringLiteral("the page is missing from the course on %1").arg(server)
                           : QStringLiteral("does %1 serve the course? check %2").arg(server, hostName);
        break;
    }
    case Kind::Aborted:
        if (failure.engineText == QLatin1String("stopped")) {
            w.what = QStringLiteral("Loading %1 was stopped before the page came.").arg(address);
            w.checks << QStringLiteral("Retry loads it again. Over a slow connection a page may take a while; "
                                       "Esc stops it again.")
                     << serverRunning;
            w.shortReason = QStringLiteral("stopped before the page came");
            w.shortCheck = QStringLiteral("retry when ready");
            break;
        }
        [[fallthrough]];
    case Kind::Other:
        w.what = QStringLiteral("%1 could not be loaded (%2).").arg(address, engineWords(failure));
        w.checks << serverRunning << hostCheck;
        w.shortReason = engineWords(failure);
        w.shortCheck = QStringLiteral("is the course server running at %1? check %2").arg(server, hostName);
        break;
    }
    return w;
}

} // namespace

FailureMessage failureMessage(const Platform::LoadFailure &failure, const QString &address, const Settings &settings,
                              FailedPage page)
{
    const Wording w = wordingFor(failure, address, settings, page);
    FailureMessage message;
    message.heading = page == FailedPage::First ? QStringLiteral("The course could not be loaded")
                                                : QStringLiteral("This page could not be loaded");
    QStringList checks;
    for (const QString &check : w.checks)
        checks << Bullet + check;
    message.text = w.what + QStringLiteral("\n\nWhat to check:\n") + checks.join(QLatin1Char('\n'))
                   + QStringLiteral("\n\n") + settingsSources(settings);
    message.logLine = (page == FailedPage::First ? QStringLiteral("tamberlyn: cannot load the course from %1: %2; %3")
                                                 : QStringLiteral("tamberlyn: cannot load %1: %2; %3"))
                          .arg(address, w.shortReason, w.shortCheck)
                          .simplified();
    return message;
}

QString loadingCourseHeading(const Settings &settings)
{
    return QStringLiteral("Loading the course from %1\u2026").arg(settings.courseHost);
}

namespace {

// The media's own part of its address, "c01/fig0105.avi": the rest is the
// course's, and the learner knows it.
QString mediaName(const QString &address)
{
    QString name = Navigation::pageNameOf(address).value_or(address);
    while (name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    return name;
}

} // namespace

QString mediaFailureNotice(MediaKind kind, const QString &address, const QString &reason)
{
    return QStringLiteral("The %1 %2 could not be played: %3.")
        .arg(kind == MediaKind::Video ? QStringLiteral("video") : QStringLiteral("sound"), mediaName(address),
             reason.isEmpty() ? QStringLiteral("no reason given") : reason);
}

QString historyNotSavedNotice(const QString &historyFile, const QString &reason)
{
    return QStringLiteral("The pages you see are not being recorded: %1 cannot be written (%2). The course goes "
                          "on, but the History window will not list the pages seen from now on. Free some space "
                          "or make that folder writable; recording starts again by itself.")
        .arg(historyFile, reason.isEmpty() ? QStringLiteral("no reason given") : reason);
}

} // namespace Tamberlyn::Shell
