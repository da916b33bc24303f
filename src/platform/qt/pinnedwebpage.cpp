#include "pinnedwebpage.h"

#include "platform/certificatepins.h"

#include <QLoggingCategory>
#include <QWebEngineCertificateError>

namespace Tamberlyn::Platform {

Q_LOGGING_CATEGORY(lcTls, "tamberlyn.tls", QtInfoMsg)

namespace {

QString authorityOf(const QUrl &url)
{
    return url.host().toLower() + QLatin1Char(':') + QString::number(url.port(443));
}

} // namespace

PinnedWebPage::PinnedWebPage(const CertificatePins &pins, QObject *parent)
    : QWebEnginePage(parent)
    , m_pins(pins)
{
    connect(this, &QWebEnginePage::certificateError, this, &PinnedWebPage::onCertificateError);
}

void PinnedWebPage::onCertificateError(const QWebEngineCertificateError &error)
{
    // The engine hands us a copy; settling that copy settles the request.
    QWebEngineCertificateError pending = error;
    const QList<QSslCertificate> chain = pending.certificateChain();
    const QSslCertificate leaf = chain.isEmpty() ? QSslCertificate() : chain.first();
    if (pending.isOverridable() && m_pins.accepts(pending.url(), leaf)) {
        qCInfo(lcTls) << "accepted pinned certificate for" << pending.url().host();
        pending.acceptCertificate();
        return;
    }
    const QString fingerprint = CertificatePins::formatFingerprint(CertificatePins::fingerprintOf(leaf));
    qCWarning(lcTls).noquote() << "rejected certificate for" << pending.url().toDisplayString()
                               << "-" << pending.description() << "- SHA-256" << fingerprint;
    m_rejectedAuthority = authorityOf(pending.url());
    m_rejectedFingerprint = leaf.isNull() ? QString() : fingerprint;
    pending.rejectCertificate();
}

bool PinnedWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (type == NavigationTypeLinkClicked && isMainFrame)
        emit linkFollowed(url);
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

QString PinnedWebPage::rejectedFingerprint(const QUrl &url) const
{
    return authorityOf(url) == m_rejectedAuthority ? m_rejectedFingerprint : QString();
}

} // namespace Tamberlyn::Platform
