#include "KeyPairCheck.h"

#include "OpenSslHandles.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

namespace {

using namespace OpenSsl;

BioPtr readOnlyBio(const QByteArray &data)
{
    return BioPtr(BIO_new_mem_buf(data.constData(), static_cast<int>(data.size())));
}

// Refuses to prompt on the terminal for a pass phrase: the server runs
// unattended, so an encrypted key is simply reported as unusable.
int noPassword(char *, int, int, void *)
{
    return -1;
}

} // namespace

std::optional<QSsl::KeyAlgorithm> checkKeyPair(const QByteArray &certificatePem,
                                               const QByteArray &keyPem, QString *error)
{
    ERR_clear_error();
    const BioPtr certificateBio = readOnlyBio(certificatePem);
    const BioPtr keyBio = readOnlyBio(keyPem);
    if (!certificateBio || !keyBio) {
        *error = QStringLiteral("out of memory");
        return std::nullopt;
    }
    const X509Ptr certificate(PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    const PkeyPtr key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, noPassword, nullptr));
    ERR_clear_error();
    if (!certificate) {
        *error = QStringLiteral("the certificate file holds no PEM certificate");
        return std::nullopt;
    }
    if (!key) {
        *error = QStringLiteral("the key file holds no unencrypted PEM private key");
        return std::nullopt;
    }
    if (X509_check_private_key(certificate.get(), key.get()) != 1) {
        ERR_clear_error();
        *error = QStringLiteral("the private key does not belong to the certificate");
        return std::nullopt;
    }
    switch (EVP_PKEY_get_base_id(key.get())) {
    case EVP_PKEY_EC:
        return QSsl::Ec;
    case EVP_PKEY_RSA:
        return QSsl::Rsa;
    case EVP_PKEY_DSA:
        return QSsl::Dsa;
    default:
        *error = QStringLiteral("the private key type is not supported (use EC or RSA)");
        return std::nullopt;
    }
}
