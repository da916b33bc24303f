#pragma once

#include <QByteArray>
#include <QString>

namespace Tamberlyn::Platform {

// Single-byte text in the ANSI code page the course files and the
// simulators use: Windows-1252. A character the code page cannot hold
// becomes '?', as the system's own conversion does; bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) read as the control
// characters of the same value.
QByteArray toAnsi(QStringView text);
QString fromAnsi(QByteArrayView bytes);

} // namespace Tamberlyn::Platform
