#include "tableslogging.h"

namespace Tamberlyn::Tables {

Q_LOGGING_CATEGORY(lcTables, "tamberlyn.tables", QtInfoMsg)

} // namespace Tamberlyn::Tables
