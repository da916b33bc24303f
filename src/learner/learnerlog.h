#pragma once

#include <QLoggingCategory>

namespace Tamberlyn::Learner {

// The learner record: opening it, what it writes, and what it shows.
Q_DECLARE_LOGGING_CATEGORY(lcLearner)

} // namespace Tamberlyn::Learner
