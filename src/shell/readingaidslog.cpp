#include "readingaidslog.h"

namespace Tamberlyn::Shell {

Q_LOGGING_CATEGORY(lcReadingAids, "tamberlyn.aids", QtWarningMsg)

} // namespace Tamberlyn::Shell
