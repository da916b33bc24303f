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

private:
    void onCertificateError(const QWebEngineCertificateError &error);

    const CertificatePins &m_pins;
};

} // namespace Tamberlyn::Platform
