#pragma once

#include <QLoggingCategory>

namespace Tamberlyn::SimBridge {

// "tamberlyn.simbridge": what went wrong between the viewer and the
// simulators. The learner sees only the fixed message boxes; this is for us.
Q_DECLARE_LOGGING_CATEGORY(lcSimBridge)

} // namespace Tamberlyn::SimBridge
