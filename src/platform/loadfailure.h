#pragma once

#include <QMetaType>
#include <QString>

namespace Tamberlyn::Platform {

// Why a main-frame load brought no page, in terms the viewer can explain to
// the learner: each kind points at a different thing to check.
struct LoadFailure
{
    enum class Kind {
        Refused,          // nothing listens at that host and port
        HostNotFound,     // the host name does not resolve
        Unreachable,      // no route to the host, or no network
        TimedOut,         // no page within the wait, the engine's or ours
        BlockedAddress,   // the engine will not even try: a port kept for other services, a malformed address
        Certificate,      // the server's certificate is neither trusted nor pinned
        SecureConnection, // no TLS could be agreed: not an HTTPS server, or no common protocol
        ConnectionLost,   // the server closed the connection without an answer
        HttpStatus,       // the server answered with an error status
        Aborted,          // replaced by a newer load or stopped: says nothing about the server
        Other,
    };

    Kind kind = Kind::Other;
    // The HTTP status for HttpStatus, else the engine's error number; 0 when
    // there is none (our own time-out).
    int code = 0;
    // The engine's own name for the error ("net::ERR_CONNECTION_REFUSED"),
    // for the log and for kinds we have no words of our own for.
    QString engineText;
    // For Certificate: the SHA-256 fingerprint of the certificate the server
    // presented, formatted as pins are, when the pane saw it.
    QString certificateFingerprint;
};

} // namespace Tamberlyn::Platform

Q_DECLARE_METATYPE(Tamberlyn::Platform::LoadFailure)
