#pragma once

#include <QLoggingCategory>

namespace Tamberlyn::Reading {

// Zoom, find in page and the search words shown.
Q_DECLARE_LOGGING_CATEGORY(lcReadingAids)

} // namespace Tamberlyn::Reading
