#pragma once

#include <QString>

namespace Tamberlyn::Navigation {

// Video and sound playback over the course page.
class MediaControl
{
public:
    virtual ~MediaControl() = default;
    virtual void playVideo(const QString &address) = 0;
    virtual void playSound(const QString &address) = 0;
};

} // namespace Tamberlyn::Navigation
