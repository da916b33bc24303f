#pragma once

namespace Tamberlyn::SimBridge {

// The companion window is one drawn button, not a QPushButton. Reports it
// to assistive technology as what it is: a button whose press returns to
// the course and whose menu action asks whether to quit. Idempotent.
void installWithfileAccessible();

} // namespace Tamberlyn::SimBridge
