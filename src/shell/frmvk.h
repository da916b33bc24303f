#pragma once

#include "vkstate.h"

#include "navigation/mainwindowport.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QTimer;

namespace Tamberlyn::Platform {
class BrowserPane;
class Clock;
class Dialogs;
class Printing;
class Shell;
class WindowSystem;
}
namespace Tamberlyn::Navigation {
class FinderWindows;
class MediaController;
class NavigationCommands;
class PageLoadHandler;
}
namespace Tamberlyn::SimBridge {
class SimulatorChannel;
}
namespace Tamberlyn::Reading {
class LookPicker;
class LookSwitch;
class ReadingAids;
}
namespace Tamberlyn::Learner {
class LearnerAids;
}

namespace Tamberlyn::Shell {

class FrmSplsh;
class LoadFailures;
class LoadWatch;
struct Settings;

// The main window: the button bar over the course page in Web1.
class FrmVK final : public QWidget, public Navigation::MainWindowPort
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmVK)

public:
    using PaneFactory = std::function<Platform::BrowserPane *(QWidget *parent)>;

    struct Services
    {
        Platform::Shell &shell;
        Platform::Clock &clock;
        Platform::WindowSystem &windows;
        SimBridge::SimulatorChannel &channel;
        const Settings &settings;
        Platform::Dialogs &dialogs;
        Platform::Printing &printing;
    };

    FrmVK(PaneFactory paneFactory, Services services, QWidget *parent = nullptr);
    ~FrmVK() override;

    VKState &state() { return m_state; }
    const VKState &state() const { return m_state; }

    // Web1 and the course's page handling are made on first use: hand-over
    // and launcher instances never need the browser engine.
    Platform::BrowserPane &web1();
    Navigation::PageLoadHandler &handler();
    Navigation::NavigationCommands &commands();
    QTimer &timerEnd() { return *m_timerEnd; }
    // Zoom, find in page and the search words shown; made with Web1.
    Reading::ReadingAids &readingAids();
    // The learner record (pages read, where the learner left off, bookmarks
    // and notes), made with Web1 once enabled; `pageListFile` is the
    // course's page list ("files.vxp"). Null while not enabled.
    void enableLearnerRecord(const QString &pageListFile);
    Learner::LearnerAids *learnerAids();

    // LastBit's load of the opening page. Until a first page has come, a
    // failure shows the window with what failed and what to check, and
    // Retry and Quit.
    void loadFirstPage(const QString &address);
    // What the learner sees of loads that are slow, stopped or failed, and
    // of media and visits that fail; made with Web1.
    LoadFailures &loadFailures();
    // A later start found no course window: the one big window that should
    // be on the screen goes there and to the front. Gives its title.
    QString showCourseWindow();

    void setFinderWindows(Navigation::FinderWindows *finders) { m_finders = finders; }
    Navigation::FinderWindows *finderWindows() const { return m_finders; }
    // Videos and sounds; Escape stops them as a click on the backdrop does,
    // every classification lays the backdrop over the measured area, and
    // media that will not play are told of in the window.
    void setMediaController(Navigation::MediaController *media);
    void setPopupUnloader(std::function<void()> unload) { m_unloadPopup = std::move(unload); }
    // AskQuit with this window as the owner.
    void setQuitQuestion(std::function<void()> askQuit) { m_askQuit = std::move(askQuit); }
    // Writes a changed zoom of the course page to the settings file; false
    // when it could not.
    void setZoomStore(std::function<bool(int percent)> store) { m_storeZoom = std::move(store); }
    // The look of the course (light, dark, high contrast): Web1's pages take
    // it, Ctrl+Shift+L cycles it, and Help offers the three.
    void setLookSwitch(Reading::LookSwitch *looks);
    // The look's key, from any window of the course: true when taken.
    bool lookKey(int key, Qt::KeyboardModifiers modifiers);

    // The one orderly end of every run; does not return.
    [[noreturn]] void EndVK(int exitCode = 0);

    void Form_Resize();
    void Form_Activate();
    // Any close request: in the course the quit question, and the window
    // stays unless the learner said yes; an instance started with a
    // command line closes without a question.
    void Form_QueryUnload(QCloseEvent *event);

    void cmdPrint_Click();
    void cmdCalc_Click();
    // Print as cmdPrint_Click does it, for a window with its own help image.
    void printFor(QWidget *owner, bool helpVisible);
    // Prints an HTML document of the viewer's own (a finder window's list)
    // through the print dialog, with the print messages of cmdPrint_Click.
    void printDocument(QWidget *owner, const QString &documentName, const QString &html);
    void startCalculator();
    void cmdHelp_Click();
    void picHelp_Click();
    bool isHelpVisible() const;
    // Form_KeyDown and Form_KeyPress: true when the key is consumed.
    bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);

    // MainWindowPort
    QString fileLocn() const override;
    QString examHost() const override;
    int sizeClass() const override;
    void SizeClass() override;
    bool isWindowVisible() const override;
    void showWindow() override;
    void setCaption(const QString &caption) override;
    void fitPane() override;
    void hideHelp() override;
    void appendHistory(const QString &pageName) override;
    void playVideo(const QString &address) override;
    void playSound(const QString &address) override;
    void showSplash() override;
    void hideSplash() override;
    void showFinder(Navigation::Finder finder) override;
    void loadFinder(Navigation::Finder finder) override;
    void takeWindowState(Navigation::Finder finder) override;
    void takePosition(Navigation::Finder finder) override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Sees every key meant for this window before the focused control does.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createButtons();
    QPushButton *addButton(const char *name, const QString &caption, int index);
    bool findersReady() const;
    bool readingAidsReady() const;
    void makeLearnerAids();
    void addBookmarksButtonToHelp();
    void showLookPicker(bool shown);
    void loadVariantDue();

    PaneFactory m_paneFactory;
    Services m_services;
    VKState m_state;
    Platform::BrowserPane *m_web1 = nullptr;
    std::unique_ptr<Navigation::PageLoadHandler> m_handler;
    std::unique_ptr<Navigation::NavigationCommands> m_commands;
    QLabel *m_picHelp;
    FrmSplsh *m_splash = nullptr;
    LoadWatch *m_loadWatch = nullptr;
    LoadFailures *m_loads = nullptr;
    QTimer *m_timerEnd;
    Navigation::FinderWindows *m_finders = nullptr;
    Navigation::MediaController *m_media = nullptr;
    std::function<void()> m_unloadPopup;
    std::function<void()> m_askQuit;
    Reading::ReadingAids *m_readingAids = nullptr;
    std::function<bool(int)> m_storeZoom;
    std::optional<QString> m_learnerPageList;
    Learner::LearnerAids *m_learnerAids = nullptr;
    Reading::LookSwitch *m_looks = nullptr;
    Reading::LookPicker *m_lookPicker = nullptr;
    // The size changed while the window was hidden: the page's variant is
    // looked at again when it shows.
    bool m_variantOwed = false;
};

} // namespace Tamberlyn::Shell
