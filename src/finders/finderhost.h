#pragma once

#include "finderprintout.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <Qt>

#include <functional>

class QWidget;

namespace Tamberlyn::Navigation {
class CommandTurns;
}

namespace Tamberlyn::Finders {

// What the Search, Index and History windows need of the main window frmVK
// and of the program around it. The main window's side implements it; the
// finder windows never reach into the shell themselves.
class FinderHost
{
public:
    virtual ~FinderHost() = default;

    // frmVK itself: it takes a finder window's placement before a page opens
    // in it, and it is hidden while a finder window is up. Null skips those
    // steps.
    virtual QWidget *mainWindow() = 0;

    // The main window's public state.
    virtual QString fileLocn() const = 0;  // course base address, ends in "/"
    virtual int screenSize() const = 0;    // size class 1..11, 0 before any
    virtual QString dornDir() const = 0;   // per-user data folder, ends in a separator
    // The folder where "words.vxp" and "files.vxp" lie: the program's own
    // folder, or an installed program's data folder (indexfolder.h).
    virtual QString programFolder() const = 0;

    // Web1: load an address; go one step back in its own history. A finder
    // window's Back does not set GoingBack, unlike the main window's.
    virtual void web1Navigate(const QString &address) = 0;
    virtual void web1GoBack() = 0;

    // The main window's Print with the finder window's help picture shown:
    // the help image, without a dialog.
    virtual void printHelpImage(QWidget *owner) = 0;
    // Print with the help picture hidden: what the finder window shows,
    // through the print dialog. The trigger page in Web1 behind it is not
    // what the learner sees.
    virtual void printListing(QWidget *owner, const FinderPrintout &printout) = 0;
    // Starts the calculator without waiting for it.
    virtual void startCalculator() = 0;
    // AskQuit with `owner` as the asking window: on anything but No it
    // deletes the history file and ends the program, and does not return.
    virtual void askQuit(QWidget *owner) = 0;

    // The learner's commands in order, kept by the main window's page
    // handling; null where nothing keeps them (each command then runs
    // through whatever comes during its pauses).
    virtual Navigation::CommandTurns *commandTurns() { return nullptr; }

    // The main window's help image, drawn for the given device pixel ratio.
    virtual QImage helpImage(qreal devicePixelRatio) const = 0;

    // A key no finder window takes (the look's, Ctrl+Shift+L): true when the
    // program took it.
    virtual bool programKey(int key, Qt::KeyboardModifiers modifiers)
    {
        Q_UNUSED(key)
        Q_UNUSED(modifiers)
        return false;
    }

    // The page at `address` is about to open from the results of a search
    // for `words`: show the words in it.
    virtual void showSearchWords(const QString &address, const QStringList &words)
    {
        Q_UNUSED(address)
        Q_UNUSED(words)
    }

    // A section of the learner's own results below the Search window's
    // list (their bookmarks and notes that the words find), made in
    // `parent`, that is told each search's text and shows itself only when
    // it has something; `openInMain` opens a page as a choice in the list
    // does. No widget: no such section.
    struct SearchSection
    {
        QWidget *widget = nullptr;
        std::function<void(const QString &query)> search;
    };
    virtual SearchSection searchSection(QWidget *parent, std::function<void(const QString &page)> openInMain)
    {
        Q_UNUSED(parent)
        Q_UNUSED(openInMain)
        return {};
    }
};

} // namespace Tamberlyn::Finders
