#pragma once

#include <QString>

namespace Tamberlyn::Navigation {

// The address to reload after the window changed size: module opening and
// objectives pages, practice pages and contents pages are swapped for the
// variant made for `sizeClass`; every other address comes back unchanged
// (and is simply loaded again). The tests look anywhere in the address,
// case-sensitively, each working on what the one before it left.
QString sizeVariantAddress(const QString &address, const QString &fileLocn, int sizeClass);

} // namespace Tamberlyn::Navigation
