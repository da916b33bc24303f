#pragma once

// Owning handles for the OpenSSL objects the certificate code makes, so
// every early return frees what was made so far.

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace OpenSsl {

template<auto Free>
struct Deleter
{
    template<typename T>
    void operator()(T *p) const { Free(p); }
};

using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free_all>>;
using BignumPtr = std::unique_ptr<BIGNUM, Deleter<BN_free>>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509_free>>;

} // namespace OpenSsl
