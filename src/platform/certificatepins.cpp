#include "certificatepins.h"

#include <QCryptographicHash>
#include <QSslCertificate>
#include <QUrl>

namespace Tamberlyn::Platform {

std::optional<QByteArray> CertificatePins::parseFingerprint(const QString &text)
{
    QString hex = text.trimmed();
    hex.remove(QLatin1Char(':'));
    if (hex.size() != 64)
        return std::nullopt;
    for (const QChar c : hex) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const QChar lower = c.toLower();
        const bool letter = lower >= QLatin1Char('a') && lower <= QLatin1Char('f');
        if (!digit && !letter)
            return std::nullopt;
    }
    return QByteArray::fromHex(hex.toLatin1());
}

QString CertificatePins::formatFingerprint(const QByteArray &sha256)
{
    return QString::fromLatin1(sha256.toHex(':').toUpper());
}

QByteArray CertificatePins::fingerprintOf(const QSslCertificate &certificate)
{
    return certificate.digest(QCryptographicHash::Sha256);
}

bool CertificatePins::pin(const QString &authority, const QByteArray &sha256)
{
    if (sha256.size() != 32)
        return false;
    const QUrl url(QStringLiteral("https://") + authority + QLatin1Char('/'), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty()
        || url.path() != QLatin1String("/")) {
        return false;
    }
    m_pins.insert(keyOf(url), sha256);
    return true;
}

bool CertificatePins::accepts(const QUrl &url, const QSslCertificate &leaf) const
{
    if (url.scheme() != QLatin1String("https") || leaf.isNull())
        return false;
    const auto it = m_pins.constFind(keyOf(url));
    return it != m_pins.cend() && *it == fingerprintOf(leaf);
}

QString CertificatePins::keyOf(const QUrl &url)
{
    return url.host().toLower() + QLatin1Char(':') + QString::number(url.port(443));
}

} // namespace Tamberlyn::Platform
