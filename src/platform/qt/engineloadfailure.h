#pragma once

#include "platform/loadfailure.h"

#include <QWebEngineLoadingInfo>

namespace Tamberlyn::Platform {

// What a failed load's report from the engine means for the learner: the
// engine's error domain and number (its network error numbers, or the HTTP
// status) sorted into the kinds the viewer explains.
LoadFailure engineLoadFailure(QWebEngineLoadingInfo::ErrorDomain domain, int code, const QString &errorString);

} // namespace Tamberlyn::Platform
