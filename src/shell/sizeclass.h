#pragma once

#include <QtGlobal>

#include <optional>

namespace Tamberlyn::Shell {

// The screen size class (1..11) for a measured width and height in pixels,
// or nothing where the width band has no rule for so low a height.
std::optional<qint16> sizeClassOf(int width, int height);

// The class after classifying: a size without a class keeps the previous
// class, so the same size can end in different classes depending on history.
qint16 classify(int width, int height, qint16 previousClass);

} // namespace Tamberlyn::Shell
