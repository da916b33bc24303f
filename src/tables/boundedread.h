#pragma once

#include <QByteArray>
#include <QIODevice>

namespace Tamberlyn::Tables {

// What `device` holds from its current position, up to `maxBytes` bytes:
// less at its end or at a read error (the device tells which). The buffer
// grows with what arrives, so a generous limit costs nothing up front;
// QIODevice::read(maxBytes) would set the whole limit aside before reading.
QByteArray readUpTo(QIODevice &device, qint64 maxBytes);

} // namespace Tamberlyn::Tables
