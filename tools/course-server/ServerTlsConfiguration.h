#pragma once

#include <QSslConfiguration>

class CertificateStore;

// What the server offers in the TLS handshake: TLS 1.2 or later; in TLS 1.2
// only forward-secret AEAD suites (ECDHE with AES-GCM or ChaCha20-Poly1305,
// as the nginx configuration in docs/nginx); TLS 1.3 suites, all AEAD, as
// OpenSSL has them. No session tickets and no resumption at all: Qt gives
// every connection an OpenSSL context of its own, so a ticket or a cached
// session could never be resumed anyway, and a ticket key would only
// weaken forward secrecy.
QSslConfiguration serverTlsConfiguration(const CertificateStore &store);

// The TLS 1.2 suites offered, by OpenSSL name, most preferred first.
QStringList serverTls12CipherNames();
