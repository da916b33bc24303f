#pragma once

#include <QLoggingCategory>

namespace Tamberlyn::Simulator {

// "tamberlyn.simulator": diagnostics of the stand-in (stderr). The events a
// test follows go to stdout through EventPrinter instead.
Q_DECLARE_LOGGING_CATEGORY(lcSimulator)

} // namespace Tamberlyn::Simulator
