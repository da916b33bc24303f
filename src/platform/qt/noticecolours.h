#pragma once

#include <QColor>

class QWidget;

namespace Tamberlyn::Platform {

// A bar that tells the learner something over the page (a notice, an offer)
// keeps `ground` and `ink` while the windows are light. In a dark or
// high-contrast look a pale bar would glare and its dark text stand apart
// from the rest: there it takes the look's tooltip colours, which stand
// apart from the look's grounds as much as a notice needs and read well on
// each other. The bar follows every later change of look by itself.
void followNoticeColours(QWidget &bar, QColor ground, QColor ink);

} // namespace Tamberlyn::Platform
