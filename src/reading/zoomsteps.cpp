#include "zoomsteps.h"

#include <algorithm>

namespace Tamberlyn::Reading {

int zoomedIn(int percent)
{
    const auto next = std::upper_bound(ZoomSteps.begin(), ZoomSteps.end(), percent);
    return next == ZoomSteps.end() ? MaximumZoom : *next;
}

int zoomedOut(int percent)
{
    const auto next = std::lower_bound(ZoomSteps.begin(), ZoomSteps.end(), percent);
    return next == ZoomSteps.begin() ? MinimumZoom : *std::prev(next);
}

ZoomSetting zoomFromSetting(const QString &value)
{
    QString text = value.trimmed();
    if (text.isEmpty())
        return {};
    if (text.endsWith(QLatin1Char('%')))
        text.chop(1);
    bool ok = false;
    const int percent = text.trimmed().toInt(&ok);
    if (!ok)
        return {DefaultZoom,
                QStringLiteral("\"%1\" is not a whole percentage; %2% is used").arg(value, QString::number(DefaultZoom))};
    const int clamped = std::clamp(percent, MinimumZoom, MaximumZoom);
    if (clamped != percent)
        return {clamped, QStringLiteral("%1% is outside %2% to %3%; %4% is used")
                             .arg(percent)
                             .arg(MinimumZoom)
                             .arg(MaximumZoom)
                             .arg(clamped)};
    return {percent, {}};
}

} // namespace Tamberlyn::Reading
