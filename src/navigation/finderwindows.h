#pragma once

#include "mainwindowport.h"

#include <Qt>

class QWidget;

namespace Tamberlyn::Navigation {

// The Search, Index and History windows as the main window drives them.
class FinderWindows
{
public:
    virtual ~FinderWindows() = default;

    virtual void show(Finder finder) = 0;
    virtual void load(Finder finder) = 0;
    virtual void setWindowState(Finder finder, Qt::WindowStates state) = 0;
    virtual bool isNormal(Finder finder) const = 0;
    // The window, when normal, takes the place of `window` on the desktop.
    virtual void takePlaceOf(Finder finder, const QWidget &window) = 0;
    // History, Index, Search, in that order.
    virtual void hideAll() = 0;
    // The finder window on the screen now; null when none is.
    virtual QWidget *shownWindow() const = 0;
};

} // namespace Tamberlyn::Navigation
