#pragma once

#include "../unit/common/fakes.h"

#include "finders/finderset.h"
#include "shell/filechecks.h"
#include "shell/finderhostadapter.h"
#include "shell/frmvk.h"
#include "shell/quitquestion.h"
#include "shell/settings.h"

#include <QTemporaryDir>

// The main window and the Search, Index and History windows wired to each
// other as the program wires them, around fakes: the pane records its
// loads in `events`, the clock's waits return at once, and the data folder
// is a fresh temporary one. The index files are not there, so the finder
// windows open with empty lists.
struct ProgramFixture
{
    QTemporaryDir dir;
    QStringList events;
    Fakes::Shell shell{events};
    Fakes::Clock clock{events};
    Fakes::WindowSystem windows{events};
    Fakes::Channel channel{events};
    Fakes::Dialogs dialogs;
    Fakes::Printing printing{events};
    Tamberlyn::Shell::Settings settings;
    Fakes::Pane *pane = nullptr;
    Tamberlyn::Shell::FrmVK frmVK{[this](QWidget *parent) {
                                      pane = new Fakes::Pane(events);
                                      pane->setParent(parent);
                                      return pane;
                                  },
                                  {shell, clock, windows, channel, settings, dialogs, printing}};
    Tamberlyn::Shell::FileChecks files{dialogs, [this] { frmVK.EndVK(); }};
    Tamberlyn::Shell::QuitQuestion quit{dialogs, files, [this] { frmVK.EndVK(); }};
    Tamberlyn::Shell::FinderHostAdapter host{frmVK, quit};
    Tamberlyn::Finders::FinderSet finders{{host, clock, dialogs, Tamberlyn::Tables::TableFileReader()}};

    static QString base() { return QStringLiteral("https://course.example/kq_cbt/kq/"); }

    ProgramFixture()
    {
        // As start-up leaves it on a 1920 x 1080 screen: class 7, page letter "g".
        windows.screen = {1920, 1080};
        frmVK.state().FileLocn = base();
        frmVK.state().DornDir = dir.path() + QLatin1Char('/');
        frmVK.state().ScreenWidth = 1920;
        frmVK.state().ScreenHeight = 1080;
        frmVK.state().ScreenSize = 7;
        frmVK.setFinderWindows(&finders);
        frmVK.web1();
    }
};
