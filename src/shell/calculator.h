#pragma once

#include <QString>

namespace Tamberlyn::Shell {

// The calculator program to start: the configured one when it can be
// found, else the first of the usual desktop calculators on PATH; empty
// when there is none.
QString findCalculator(const QString &configured);

} // namespace Tamberlyn::Shell
