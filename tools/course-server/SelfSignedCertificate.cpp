#include "SelfSignedCertificate.h"

#include "OpenSslHandles.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

using namespace OpenSsl;

constexpr long kValidityDays = 3653; // ten years, leap days included
// A little slack for a clock that is slightly behind the one that made the
// certificate (e.g. after copying the folder to another machine).
constexpr long kBackdateSeconds = 60L * 60L;

QString openSslError(const char *step)
{
    QString message = QString::fromLatin1(step);
    char buffer[256];
    for (unsigned long code = ERR_get_error(); code != 0; code = ERR_get_error()) {
        ERR_error_string_n(code, buffer, sizeof buffer);
        message += QStringLiteral(": ") + QString::fromLatin1(buffer);
    }
    return message;
}

PkeyPtr generateKey()
{
    PkeyCtxPtr context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!context || EVP_PKEY_keygen_init(context.get()) <= 0
        || EVP_PKEY_CTX_set_group_name(context.get(), "P-256") <= 0)
        return nullptr;
    EVP_PKEY *key = nullptr;
    if (EVP_PKEY_generate(context.get(), &key) <= 0)
        return nullptr;
    return PkeyPtr(key);
}

bool setRandomSerial(X509 *certificate)
{
    // 159 random bits with the top bit set: positive, non-zero and within the
    // 20 octets a serial number may have.
    BignumPtr serial(BN_new());
    return serial && BN_rand(serial.get(), 159, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) == 1
        && BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate)) != nullptr;
}

bool addExtension(X509 *certificate, int nid, const char *value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    ExtensionPtr extension(X509V3_EXT_nconf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

bool setSubjectAndIssuer(X509 *certificate)
{
    X509_NAME *name = X509_get_subject_name(certificate);
    const auto commonName = reinterpret_cast<const unsigned char *>("127.0.0.1");
    return X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, commonName, -1, -1, 0) == 1
        && X509_set_issuer_name(certificate, name) == 1;
}

std::optional<QByteArray> bioContents(const BioPtr &bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    if (size <= 0 || data == nullptr)
        return std::nullopt;
    return QByteArray(data, static_cast<qsizetype>(size));
}

} // namespace

std::optional<PemPair> generateSelfSignedCertificate(QString *error)
{
    ERR_clear_error();
    PkeyPtr key = generateKey();
    if (!key) {
        *error = openSslError("cannot generate an EC P-256 key");
        return std::nullopt;
    }

    X509Ptr certificate(X509_new());
    if (!certificate || X509_set_version(certificate.get(), X509_VERSION_3) != 1
        || !setRandomSerial(certificate.get())
        || X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -kBackdateSeconds) == nullptr
        || X509_time_adj_ex(X509_getm_notAfter(certificate.get()), kValidityDays, 0, nullptr) == nullptr
        || X509_set_pubkey(certificate.get(), key.get()) != 1
        || !setSubjectAndIssuer(certificate.get())) {
        *error = openSslError("cannot fill in the certificate");
        return std::nullopt;
    }

    // No keyUsage extension: with one that lacks keyCertSign, OpenSSL would no
    // longer treat the certificate as self-signed, and a client that trusts
    // exactly this certificate could not verify it.
    if (!addExtension(certificate.get(), NID_basic_constraints, "critical,CA:FALSE")
        || !addExtension(certificate.get(), NID_subject_key_identifier, "hash")
        || !addExtension(certificate.get(), NID_ext_key_usage, "serverAuth")
        || !addExtension(certificate.get(), NID_subject_alt_name, "IP:127.0.0.1,IP:::1,DNS:localhost")) {
        *error = openSslError("cannot add the certificate extensions");
        return std::nullopt;
    }

    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) <= 0) {
        *error = openSslError("cannot sign the certificate");
        return std::nullopt;
    }

    BioPtr certificateBio(BIO_new(BIO_s_mem()));
    BioPtr keyBio(BIO_new(BIO_s_mem()));
    if (!certificateBio || !keyBio || PEM_write_bio_X509(certificateBio.get(), certificate.get()) != 1
        || PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        *error = openSslError("cannot encode the certificate and key as PEM");
        return std::nullopt;
    }
    std::optional<QByteArray> certificatePem = bioContents(certificateBio);
    std::optional<QByteArray> keyPem = bioContents(keyBio);
    if (!certificatePem || !keyPem) {
        *error = QStringLiteral("cannot read back the PEM encoding");
        return std::nullopt;
    }
    return PemPair{*certificatePem, *keyPem};
}
