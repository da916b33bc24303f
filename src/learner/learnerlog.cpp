#include "learnerlog.h"

namespace Tamberlyn::Learner {

Q_LOGGING_CATEGORY(lcLearner, "tamberlyn.learner", QtWarningMsg)

} // namespace Tamberlyn::Learner
