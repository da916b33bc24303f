#pragma once

#include <QLoggingCategory>

namespace Tamberlyn::Finders {

Q_DECLARE_LOGGING_CATEGORY(lcFinders)

} // namespace Tamberlyn::Finders
