#include "boundedread.h"

#include <algorithm>

namespace Tamberlyn::Tables {

QByteArray readUpTo(QIODevice &device, qint64 maxBytes)
{
    // A plain file says how much is left; one byte more lets the read that
    // meets its end happen without growing the buffer again.
    constexpr qint64 FirstStep = 64 * 1024;
    QByteArray bytes;
    qint64 used = 0;
    while (used < maxBytes) {
        if (used == bytes.size()) {
            const qint64 wanted = used == 0 ? std::max(FirstStep, device.bytesAvailable() + 1) : 2 * used;
            bytes.resize(static_cast<qsizetype>(std::min(wanted, maxBytes)));
        }
        const qint64 got = device.read(bytes.data() + used, bytes.size() - used);
        if (got <= 0)
            break;
        used += got;
    }
    bytes.truncate(static_cast<qsizetype>(used));
    return bytes;
}

} // namespace Tamberlyn::Tables
