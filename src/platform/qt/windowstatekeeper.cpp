#include "windowstatekeeper.h"

#include "platform/x11/x11netwmstate.h"

#include <QEvent>
#include <QLoggingCategory>
#include <QPointer>
#include <QWidget>

namespace Tamberlyn::Platform {

namespace {

Q_LOGGING_CATEGORY(lcWindowState, "tamberlyn.placement", QtWarningMsg)

// Minimised is left to the window manager: setting it on a hidden window
// would ask for the window to be iconified, and unsetting it maps it.
constexpr Qt::WindowStates Kept = Qt::WindowMaximized | Qt::WindowFullScreen;

class WindowStateKeeper final : public QObject
{
public:
    explicit WindowStateKeeper(QWidget &window)
        : QObject(&window)
        , m_window(&window)
        , m_meant(window.windowState() & Kept)
    {
        window.installEventFilter(this);
    }

protected:
    // Installed after the window's other watchers, so it sees the events
    // first and can keep the window manager's bookkeeping from them.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window)
            return false;
        switch (event->type()) {
        case QEvent::WindowStateChange:
            if (event->spontaneous() && !m_window->isVisible()) {
                // Nobody can maximise or restore a window that is not on the
                // screen: this is the window manager letting go of it.
                qCInfo(lcWindowState).noquote()
                    << m_window->objectName() << "state dropped while hidden; kept"
                    << (m_meant & Qt::WindowMaximized ? "maximised" : "as it was");
                putBack();
                return true;
            }
            // Ours, or the learner's through the window manager.
            m_meant = m_window->windowState() & Kept;
            return false;
        case QEvent::Show:
            // Sent before the window is mapped: what the window manager is
            // told to map it in must be its state, no more.
            putBack();
            dropStaleNetWmState(*m_window);
            return false;
        default:
            return false;
        }
    }

private:
    void putBack()
    {
        const Qt::WindowStates state = m_window->windowState();
        if ((state & Kept) != m_meant)
            m_window->setWindowState((state & ~Kept) | m_meant);
    }

    QPointer<QWidget> m_window;
    Qt::WindowStates m_meant;
};

} // namespace

void keepStateWhileHidden(QWidget &window)
{
    new WindowStateKeeper(window);
}

} // namespace Tamberlyn::Platform
