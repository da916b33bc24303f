#include "readingaidslog.h"

namespace Tamberlyn::Reading {

Q_LOGGING_CATEGORY(lcReadingAids, "tamberlyn.aids", QtWarningMsg)

} // namespace Tamberlyn::Reading
