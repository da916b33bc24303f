#pragma once

#include "ConnectionLimits.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>

struct ServerOptions
{
    QString root;
    QHostAddress listenAddress{QHostAddress::LocalHost};
    quint16 port = 8443;
    QString certificateDirectory;
    bool printFingerprintOnly = false;
    ConnectionLimits limits;
};

// Parses the command line. --help and --version print and exit the process;
// invalid input returns nullopt with *error set.
std::optional<ServerOptions> parseServerOptions(const QStringList &arguments, QString *error);
