#include "simulatorlog.h"

namespace Tamberlyn::Simulator {

Q_LOGGING_CATEGORY(lcSimulator, "tamberlyn.simulator")

} // namespace Tamberlyn::Simulator
