#pragma once

#include "looks.h"

#include <QPalette>
#include <QString>

namespace Tamberlyn::Reading {

// The look of the windows around the page, for the whole program: the
// button bar, the finder windows, the find bar, messages, the pop-up's
// border and tooltips take their colours from the application's palette,
// set here, so no window needs to know about looks. Dark and high contrast
// also get focus rings that show on their grounds (focusringstyle.h).
class FrameLook final
{
    Q_DISABLE_COPY_MOVE(FrameLook)

public:
    // Remembers what the desktop gave, for the light look.
    FrameLook();

    void apply(Look look);

    // The palette of a look. Light is the desktop's own palette when that
    // is a light one, else Qt's standard light palette: light is the course
    // as it always looked.
    static QPalette palette(Look look, const QPalette &desktop, const QPalette &standardLight);

private:
    QPalette m_desktopPalette;
    QPalette m_desktopToolTips;
    QPalette m_standardLight;
    QString m_desktopStyle;
    bool m_changed = false;
};

} // namespace Tamberlyn::Reading
