#pragma once

#include <QString>

#include <array>

namespace Tamberlyn::Reading {

// The course page's zoom levels, in percent: the steps learners know from
// their web browsers. 100 is the page as the course made it.
inline constexpr std::array<int, 17> ZoomSteps{25, 33, 50, 67, 75, 80, 90, 100, 110,
                                                125, 150, 175, 200, 250, 300, 400, 500};
inline constexpr int DefaultZoom = 100;
inline constexpr int MinimumZoom = ZoomSteps.front();
inline constexpr int MaximumZoom = ZoomSteps.back();

// The next step above or below `percent`, which need not be a step itself
// (a level written into the settings file by hand); the last step stays.
int zoomedIn(int percent);
int zoomedOut(int percent);

// The level a settings value asks for: a whole percentage, "%" allowed
// ("125", "125%"). Outside 25..500 it is clamped, and text that is no
// percentage gives 100; `problem` then says why.
struct ZoomSetting
{
    int percent = DefaultZoom;
    QString problem; // empty when the value was used as written
};
ZoomSetting zoomFromSetting(const QString &value);

} // namespace Tamberlyn::Reading
