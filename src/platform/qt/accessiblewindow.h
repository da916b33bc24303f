#pragma once

struct QMetaObject;

namespace Tamberlyn::Platform {

// Our windows are plain top-level QWidgets, which Qt reports to assistive
// technology as a "client" area; screen readers announce a window that
// comes up only for the Window role. Once called for a class, every
// top-level widget of that class or of a class derived from it reports
// the Window role.
void reportAsAccessibleWindow(const QMetaObject &windowClass);

} // namespace Tamberlyn::Platform
