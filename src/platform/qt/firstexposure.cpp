#include "firstexposure.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace Tamberlyn::Platform {

FirstExposure::FirstExposure(QWidget &window, std::function<void(QSize)> exposed)
    : QObject(&window)
    , m_window(&window)
    , m_exposed(std::move(exposed))
{
    // The expose event goes to the native window, which the widget's own
    // event filters never see.
    QCoreApplication::instance()->installEventFilter(this);
}

void FirstExposure::watch(QWidget &window, std::function<void(QSize)> exposed)
{
    new FirstExposure(window, std::move(exposed));
}

bool FirstExposure::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Expose || !m_window || !m_exposed)
        return false;
    QWindow *native = m_window->windowHandle();
    if (watched != native || !native->isExposed())
        return false;
    QCoreApplication::instance()->removeEventFilter(this);
    const auto exposed = std::exchange(m_exposed, nullptr);
    exposed(native->size());
    deleteLater();
    return false;
}

} // namespace Tamberlyn::Platform
