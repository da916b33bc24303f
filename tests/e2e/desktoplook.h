#pragma once

#include <QImage>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

// What a learner sees on an X display, read straight from the X server: the
// windows the window manager lists, with their titles, where their client
// areas and frames are, whether they are maximised, which one has the
// keyboard, and the work area. Independent of the viewer's own code and
// log, so a test can judge the viewer by it.
class DesktopLook final
{
    Q_DISABLE_COPY_MOVE(DesktopLook)

public:
    struct Window
    {
        unsigned long id = 0;
        QString title;
        QRect client;    // on the screen
        QMargins frame;  // _NET_FRAME_EXTENTS
        bool maximised = false;
        QRect outer() const { return client.marginsAdded(frame); }
    };

    explicit DesktopLook(const QString &display);
    ~DesktopLook();

    bool isOpen() const { return m_display != nullptr; }
    // The windows listed by the window manager and mapped, in its list's order.
    QList<Window> visibleWindows() const;
    QRect workArea() const;
    // The top-level window that has the keyboard; 0 when none of those listed.
    unsigned long focusedWindow() const;
    // The screen's pixels inside `area`.
    QImage grab(const QRect &area) const;

private:
    struct _XDisplay *m_display = nullptr;
};
