#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>

#include <functional>

class QWidget;

namespace Tamberlyn::Platform {

// Reports, once, the moment a top-level widget is first exposed on the
// screen: mapped by the window manager, placed, and about to get its first
// paint in the same turn of the event loop. Start-up ends there for a
// learner, not at the end of a load into a window still hidden; the
// start-up benchmark reads that moment from the viewer and its yardstick
// alike.
//
// Qt may replace a widget's native window after it was shown (a web view
// that turns the window into an OpenGL one does), so the watch matches the
// widget's window at each event rather than the one it had when it began.
class FirstExposure final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FirstExposure)

public:
    // `exposed` gets the window's size on the screen. The watch ends with
    // that call, or with the widget.
    static void watch(QWidget &window, std::function<void(QSize)> exposed);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    FirstExposure(QWidget &window, std::function<void(QSize)> exposed);

    QPointer<QWidget> m_window;
    std::function<void(QSize)> m_exposed;
};

} // namespace Tamberlyn::Platform
