#include "finderslogging.h"

namespace Tamberlyn::Finders {

Q_LOGGING_CATEGORY(lcFinders, "tamberlyn.finders", QtInfoMsg)

} // namespace Tamberlyn::Finders
