#pragma once

#include <QByteArray>
#include <QSsl>
#include <QString>

#include <optional>

// Checks that keyPem holds an unencrypted private key that belongs to the
// first certificate in certificatePem, so a wrong or mixed-up key.pem is
// reported at start-up instead of as failing TLS handshakes later. Returns
// the key's algorithm (for QSslKey), or nullopt with *error set.
std::optional<QSsl::KeyAlgorithm> checkKeyPair(const QByteArray &certificatePem,
                                               const QByteArray &keyPem, QString *error);
