#pragma once

#include "navigation/mainwindowport.h"

#include <QPoint>
#include <Qt>

namespace Tamberlyn::Shell {

// The Search, Index and History windows as the main window drives them.
class FinderWindows
{
public:
    virtual ~FinderWindows() = default;

    virtual void show(Navigation::Finder finder) = 0;
    virtual void load(Navigation::Finder finder) = 0;
    virtual void setWindowState(Navigation::Finder finder, Qt::WindowStates state) = 0;
    virtual bool isNormal(Navigation::Finder finder) const = 0;
    virtual void moveTo(Navigation::Finder finder, QPoint outerTopLeft) = 0;
    // History, Index, Search, in that order.
    virtual void hideAll() = 0;
};

} // namespace Tamberlyn::Shell
