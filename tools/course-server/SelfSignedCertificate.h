#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

struct PemPair
{
    QByteArray certificate;
    QByteArray privateKey; // unencrypted PKCS#8
};

// Creates a fresh EC P-256 key and a self-signed certificate for it that is
// valid for the addresses this server is reached at: CN=127.0.0.1 with
// subjectAltName IP:127.0.0.1, IP:::1 and DNS:localhost, a random serial,
// SHA-256 signature, valid for ten years. Returns nullopt and sets *error when
// libcrypto fails.
std::optional<PemPair> generateSelfSignedCertificate(QString *error);
