#pragma once

#include <QLoggingCategory>

namespace Tamberlyn::Tables {

Q_DECLARE_LOGGING_CATEGORY(lcTables)

} // namespace Tamberlyn::Tables
