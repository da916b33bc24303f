#pragma once

#include <QString>

namespace Tamberlyn::Learner {

// Where the course's page list is missing ("files.vxp" not installed), the
// course map page lists every page of every module. This script fetches the
// course map at `address` from the page's own server (the same origin, so
// the same trust) and gives its links' absolute addresses in document
// order; an empty list when it cannot.
QString courseMapLinksScript(const QString &address);

} // namespace Tamberlyn::Learner
