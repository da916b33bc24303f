#pragma once

#include <QString>

namespace Tamberlyn::Shell {

// The main window's public state, read by every other window.
struct VKState
{
    QString FileLocn;     // course base address, ends in "/"
    QString PopFile;      // pop-up mode: the file to show, relative to FileLocn
    QString DornDir;      // per-user data folder, ends in a separator
    qint16 ScreenHeight = 0;
    qint16 ScreenWidth = 0;
    qint16 ScreenSize = 0; // size class 1..11; 0 until first classified
};

} // namespace Tamberlyn::Shell
