#include "windowplacement.h"

#include "platform/workarea.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>

namespace Tamberlyn::Platform {

namespace {

Q_LOGGING_CATEGORY(lcPlacement, "tamberlyn.placement", QtWarningMsg)

constexpr Qt::WindowStates NotNormal = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

QRect workAreaFor(const QWidget &window, const QRect &client)
{
    const QScreen *screen = QGuiApplication::screenAt(client.center());
    if (!screen)
        screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void placeInside(QWidget &window, const QRect &client, const QMargins &frame)
{
    const QRect inside = insideWorkArea(client, frame, workAreaFor(window, client));
    if (inside != client)
        qCInfo(lcPlacement).noquote() << window.objectName() << "kept inside the work area:" << client << "->"
                                      << inside;
    if (inside != window.geometry())
        window.setGeometry(inside);
}

// How long after a return to the normal state the window manager's
// geometry is still awaited.
constexpr int RestoreWatchMs = 1500;

class RestoreWatch final : public QObject
{
public:
    explicit RestoreWatch(QWidget &window)
        : QObject(&window)
        , m_window(&window)
        , m_normalSize(window.size())
    {
        m_until.setSingleShot(true);
        m_until.setInterval(RestoreWatchMs);
        // Once more at the end: the frame the window manager draws around
        // a restored window may be told after its geometry.
        connect(&m_until, &QTimer::timeout, this, [this] { keepInside(); });
        window.installEventFilter(this);
    }

protected:
    // Seen before the window's own handlers, so a restore is set right
    // before the window measures itself.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window)
            return false;
        switch (event->type()) {
        case QEvent::WindowStateChange:
            // The window manager's doing (the learner's); a state the
            // program sets itself comes with a place of the program's.
            if (event->spontaneous() && !(m_window->windowState() & NotNormal)) {
                const auto old = static_cast<QWindowStateChangeEvent *>(event)->oldState();
                if ((old & (Qt::WindowMaximized | Qt::WindowFullScreen)) && fillsWorkArea(m_window->size())
                    && m_normalSize.isValid()) {
                    // Mapped maximised, the window had no other size the
                    // window manager knew of, and some give that one back.
                    m_window->resize(m_normalSize);
                }
                m_until.start();
                // Once the state change has been handled through.
                QTimer::singleShot(0, this, [this] { keepInside(); });
            } else if (!event->spontaneous() && !m_window->isVisible() && !(m_window->windowState() & NotNormal)) {
                // The program restores a hidden window (a hand-over passing
                // the normal state on): nothing gives it back the size it
                // had before it was maximised, and shown as big as the work
                // area some window managers maximise it again.
                const auto old = static_cast<QWindowStateChangeEvent *>(event)->oldState();
                if ((old & (Qt::WindowMaximized | Qt::WindowFullScreen)) && fillsWorkArea(m_window->size())
                    && m_normalSize.isValid())
                    m_window->resize(m_normalSize);
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
            // A normal window as big as the work area is one on its way
            // to or from maximised, not a size to come back to.
            if (!(m_window->windowState() & NotNormal) && !fillsWorkArea(m_window->size()))
                m_normalSize = m_window->size();
            if (m_until.isActive())
                keepInside();
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool fillsWorkArea(QSize size) const
    {
        const QRect area = workAreaFor(*m_window, m_window->geometry());
        const QMargins frame = frameOf(*m_window);
        return size.width() + frame.left() + frame.right() >= area.width()
               && size.height() + frame.top() + frame.bottom() >= area.height();
    }

    void keepInside()
    {
        if (m_window && m_window->isVisible())
            keepInsideWorkArea(*m_window);
    }

    QPointer<QWidget> m_window;
    QTimer m_until;
    QSize m_normalSize;
};

} // namespace

QMargins frameOf(const QWidget &window)
{
    // The window system's word, asked afresh, where there is one: the
    // widget's own copy is refreshed only when the window moves.
    if (const QWindow *handle = window.windowHandle(); handle && window.isVisible()) {
        const QMargins frame = handle->frameMargins();
        if (!frame.isNull())
            return frame;
    }
    const QRect outer = window.frameGeometry();
    const QRect client = window.geometry();
    const QMargins frame(client.left() - outer.left(), client.top() - outer.top(), outer.right() - client.right(),
                         outer.bottom() - client.bottom());
    // A window never framed reports none; a stale report can be nonsense.
    if (frame.left() < 0 || frame.top() < 0 || frame.right() < 0 || frame.bottom() < 0)
        return {};
    return frame;
}

void takePlaceOf(QWidget &target, const QWidget &source)
{
    if (target.windowState() & NotNormal)
        return;
    QMargins frame = frameOf(source);
    if (frame.isNull())
        frame = frameOf(target);
    placeInside(target, QRect(source.geometry().topLeft(), target.size()), frame);
}

void keepInsideWorkArea(QWidget &window, const QMargins &frame)
{
    if (window.windowState() & NotNormal)
        return;
    const QMargins own = frameOf(window);
    placeInside(window, window.geometry(), own.isNull() ? frame : own);
}

void keepInsideWhenRestored(QWidget &window)
{
    new RestoreWatch(window);
}

} // namespace Tamberlyn::Platform
