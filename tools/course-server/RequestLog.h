#pragma once

#include <QByteArray>
#include <QByteArrayView>

// One line per answered request on stdout, "METHOD PATH STATUS", flushed at
// once so a script or test following the output sees it immediately.
//
// The method and path are the client's own bytes; control characters, spaces
// and non-ASCII bytes are percent-encoded so a request can neither forge an
// extra log line nor send escape sequences to a terminal.
QByteArray formatRequestLogLine(QByteArrayView method, QByteArrayView path, int status);

// Writes text plus a newline to stdout and flushes it.
void writeStdoutLine(QByteArrayView text);
