#pragma once

#include <QtGlobal>

namespace Tamberlyn::Platform {

// The 32-bit millisecond counter read as a signed number and folded into a
// non-negative value: positive readings stand as they are, anything else has
// 2^31 added (not 2^32), so 0 gives 2^31 and a reading with the top bit set
// gives the counter minus 2^31.
double tickNowFromCounter(qint32 counter);

// The system's millisecond tick counter since boot, truncated to 32 bits.
qint32 systemTickCounter();

} // namespace Tamberlyn::Platform
