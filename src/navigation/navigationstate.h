#pragma once

#include <QString>

namespace Tamberlyn::Navigation {

// The main window's navigation state, owned by the page-load handler.
struct NavigationState
{
    QString PageName;
    qint16 ModuleNo = 0;
    QString SecnLink;
    QString PrevLink;
    QString NextLink;
    bool GoingBack = false;
    bool SearchLoaded = false;
    bool IndexLoaded = false;
    bool HistLoaded = false;
};

} // namespace Tamberlyn::Navigation
