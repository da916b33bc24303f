#pragma once

#include <QWebEnginePage>

namespace Tamberlyn::Platform {

class CertificatePins;

// A web page that settles certificate errors by the pins alone: accepted
// when the server's certificate is the one pinned for its host, rejected
// otherwise. Valid certificates never reach this point.
class PinnedWebPage final : public QWebEnginePage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PinnedWebPage)

public:
    PinnedWebPage(const CertificatePins &pins, QObject *parent = nullptr);

    // The fingerprint of the certificate last rejected for `url`'s host and
    // port, formatted as pins are; empty when none was. Lets a failed load
    // tell the learner which certificate the server presented.
    QString rejectedFingerprint(const QUrl &url) const;

signals:
    // The learner followed a link in the page shown (a click, or Enter on
    // a focused link): a command of theirs, like a button of the bar.
    void linkFollowed(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    void onCertificateError(const QWebEngineCertificateError &error);

    const CertificatePins &m_pins;
    QString m_rejectedAuthority;
    QString m_rejectedFingerprint;
};

} // namespace Tamberlyn::Platform
