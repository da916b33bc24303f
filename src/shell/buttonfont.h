#pragma once

#include <QFont>

namespace Tamberlyn::Shell {

// "MS Sans Serif" where it is installed, else the closest sans-serif face.
QFont classicSansSerif(qreal pointSize, bool bold);

} // namespace Tamberlyn::Shell
