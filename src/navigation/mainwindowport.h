#pragma once

#include <QString>

namespace Tamberlyn::Navigation {

enum class Finder { Search, Index, History };

// What the page-load handler and the navigation commands need of the main
// window and of the windows and players it owns. The main window implements
// it; tests use a recording fake.
class MainWindowPort
{
public:
    virtual ~MainWindowPort() = default;

    // Public state of the main window.
    virtual QString fileLocn() const = 0;
    virtual QString examHost() const = 0;
    virtual int sizeClass() const = 0;
    // Classifies again from the last measured width and height.
    virtual void SizeClass() = 0;

    virtual bool isWindowVisible() const = 0;
    virtual void showWindow() = 0;
    virtual void setCaption(const QString &caption) = 0;
    // Fits the browser pane to the window's client area.
    virtual void fitPane() = 0;
    virtual void hideHelp() = 0;

    virtual void appendHistory(const QString &pageName) = 0;
    virtual void playVideo(const QString &address) = 0;
    virtual void playSound(const QString &address) = 0;

    // Splash "One moment please..." over the main window's middle third.
    virtual void showSplash() = 0;
    virtual void hideSplash() = 0;
    // Shows a loaded finder window (for History: reloads its list and shows it).
    virtual void showFinder(Finder finder) = 0;
    // First use: loads the window's data and shows it.
    virtual void loadFinder(Finder finder) = 0;
    // Search/History buttons: the window takes the main window's state
    // before the pause, and its position after it when it is normal.
    virtual void takeWindowState(Finder finder) = 0;
    virtual void takePosition(Finder finder) = 0;
};

} // namespace Tamberlyn::Navigation
