#include "simbridgelog.h"

namespace Tamberlyn::SimBridge {

Q_LOGGING_CATEGORY(lcSimBridge, "tamberlyn.simbridge")

} // namespace Tamberlyn::SimBridge
