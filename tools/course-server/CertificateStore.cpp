#include "CertificateStore.h"

#include "KeyPairCheck.h"
#include "SelfSignedCertificate.h"
#include "ServerLogging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace {

// A dangling symbolic link is a file the user put there too.
bool pathExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

CertificateStore::CertificateStore(QString directory)
    : m_directory(std::move(directory))
{
}

QString CertificateStore::certificatePath() const
{
    return m_directory + QStringLiteral("/cert.pem");
}

QString CertificateStore::keyPath() const
{
    return m_directory + QStringLiteral("/key.pem");
}

QByteArray CertificateStore::fingerprint() const
{
    if (m_chain.isEmpty())
        return {};
    return m_chain.first().digest(QCryptographicHash::Sha256).toHex(':').toUpper();
}

bool CertificateStore::fail(const QString &message)
{
    m_error = message;
    return false;
}

bool CertificateStore::ensure()
{
    const bool haveCertificate = pathExists(certificatePath());
    const bool haveKey = pathExists(keyPath());
    if (!haveCertificate && !haveKey)
        return create() && load();
    if (haveCertificate != haveKey) {
        const QString present = haveCertificate ? certificatePath() : keyPath();
        const QString absent = haveCertificate ? keyPath() : certificatePath();
        return fail(QStringLiteral("%1 exists but %2 does not; supply both files, or remove %1 "
                                   "to have a new self-signed pair created")
                        .arg(present, absent));
    }
    return load();
}

bool CertificateStore::createDirectory()
{
    const QFileInfo info(m_directory);
    if (info.isDir())
        return true;
    if (pathExists(m_directory))
        return fail(QStringLiteral("cannot create certificate folder %1: a file of that name exists")
                        .arg(m_directory));
    const QString parent = info.absolutePath();
    if (!QDir().mkpath(parent))
        return fail(QStringLiteral("cannot create certificate folder %1").arg(parent));
    // The folder holds a private key: only its owner may list or enter it.
    if (::mkdir(QFile::encodeName(m_directory).constData(), 0700) != 0 && errno != EEXIST)
        return fail(QStringLiteral("cannot create certificate folder %1: %2").arg(m_directory, systemError()));
    return true;
}

bool CertificateStore::writeNewFile(const QString &path, const QByteArray &contents, int mode)
{
    // Written under a temporary name and renamed, so an interrupted run never
    // leaves a truncated file behind that the next run would refuse. The key
    // is created with its final mode: there is no moment it is readable by
    // anybody else.
    const QByteArray finalName = QFile::encodeName(path);
    const QByteArray temporaryName = finalName + ".new";
    ::unlink(temporaryName.constData());
    const int fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          static_cast<mode_t>(mode));
    if (fd < 0)
        return fail(QStringLiteral("cannot create %1: %2").arg(path, systemError()));

    const char *data = contents.constData();
    auto remaining = static_cast<size_t>(contents.size());
    while (remaining > 0) {
        const ssize_t written = ::write(fd, data, remaining);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const QString reason = systemError();
            ::close(fd);
            ::unlink(temporaryName.constData());
            return fail(QStringLiteral("cannot write %1: %2").arg(path, reason));
        }
        data += written;
        remaining -= static_cast<size_t>(written);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const QString reason = systemError();
        ::unlink(temporaryName.constData());
        return fail(QStringLiteral("cannot write %1: %2").arg(path, reason));
    }
    if (::rename(temporaryName.constData(), finalName.constData()) != 0) {
        const QString reason = systemError();
        ::unlink(temporaryName.constData());
        return fail(QStringLiteral("cannot create %1: %2").arg(path, reason));
    }
    return true;
}

bool CertificateStore::create()
{
    if (!createDirectory())
        return false;
    QString error;
    const std::optional<PemPair> pair = generateSelfSignedCertificate(&error);
    if (!pair)
        return fail(QStringLiteral("cannot create a self-signed certificate: %1").arg(error));
    // Key first: a run interrupted in between leaves key.pem without cert.pem,
    // which is reported rather than silently paired with a new certificate.
    if (!writeNewFile(keyPath(), pair->privateKey, 0600) || !writeNewFile(certificatePath(), pair->certificate, 0644))
        return false;
    qCInfo(lcServer).noquote() << "created a self-signed certificate in" << m_directory;
    return true;
}

bool CertificateStore::load()
{
    QFile certificateFile(certificatePath());
    if (!certificateFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(certificatePath(), certificateFile.errorString()));
    const QByteArray certificatePem = certificateFile.readAll();

    QFile keyFile(keyPath());
    if (!keyFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(keyPath(), keyFile.errorString()));
    const QByteArray keyPem = keyFile.readAll();
    if (keyFile.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther))
        qCWarning(lcServer).noquote() << keyPath() << "is readable by other users; consider chmod 600";

    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificatePem, QSsl::Pem);
    if (chain.isEmpty() || chain.first().isNull())
        return fail(QStringLiteral("%1 is not a PEM certificate (remove it and %2 to have a new pair created)")
                        .arg(certificatePath(), keyPath()));

    QString error;
    const std::optional<QSsl::KeyAlgorithm> algorithm = checkKeyPair(certificatePem, keyPem, &error);
    if (!algorithm)
        return fail(QStringLiteral("cannot use %1 with %2: %3").arg(keyPath(), certificatePath(), error));
    const QSslKey key(keyPem, *algorithm, QSsl::Pem, QSsl::PrivateKey);
    if (key.isNull())
        return fail(QStringLiteral("the TLS backend cannot load the key in %1").arg(keyPath()));

    m_chain = chain;
    m_key = key;
    return true;
}
