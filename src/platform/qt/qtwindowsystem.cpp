#include "qtwindowsystem.h"

#include <QApplication>
#include <QCursor>
#include <QLoggingCategory>
#include <QScreen>
#include <QStyle>

namespace Tamberlyn::Platform {

Q_LOGGING_CATEGORY(lcWindows, "tamberlyn.windows", QtInfoMsg)

QSize QtWindowSystem::screenSize() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize();
}

int QtWindowSystem::titleBarHeight() const
{
    return QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

bool QtWindowSystem::bringToFront(const QString &title)
{
    qCWarning(lcWindows) << "cannot bring another program's window to the front yet:" << title;
    return false;
}

WindowSystem::PointerState QtWindowSystem::pointer() const
{
    return {QCursor::pos(), QGuiApplication::mouseButtons().testFlag(Qt::LeftButton)};
}

} // namespace Tamberlyn::Platform
