#pragma once

#include <QtGlobal>

namespace Tamberlyn::Tables {

// Every table file, and the history list, holds at most this
// many lines; a file with one line more gets its over-limit message.
inline constexpr qsizetype MaxTableLines = 12400;

} // namespace Tamberlyn::Tables
