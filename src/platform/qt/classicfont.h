#pragma once

#include <QFont>

namespace Tamberlyn::Platform {

// The classic face of the course's windows: "MS Sans Serif" where it is
// installed, else the closest sans-serif face.
QFont classicSansSerif(qreal pointSize, bool bold);

} // namespace Tamberlyn::Platform
