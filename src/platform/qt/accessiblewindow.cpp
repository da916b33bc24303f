#include "accessiblewindow.h"

#include <QAccessibleWidget>
#include <QByteArrayList>
#include <QWidget>

namespace Tamberlyn::Platform {

namespace {

QByteArrayList &windowClasses()
{
    static QByteArrayList classes;
    return classes;
}

QAccessibleInterface *windowInterface(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget || !widget->isWindow())
        return nullptr;
    // Qt asks once per class up the hierarchy, most derived first; answer
    // the first question or none.
    if (className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    for (const QByteArray &windowClass : std::as_const(windowClasses())) {
        if (object->inherits(windowClass.constData()))
            return new QAccessibleWidget(widget, QAccessible::Window);
    }
    return nullptr;
}

} // namespace

void reportAsAccessibleWindow(const QMetaObject &windowClass)
{
    static const bool installed = [] {
        QAccessible::installFactory(&windowInterface);
        return true;
    }();
    Q_UNUSED(installed)
    const QByteArray name(windowClass.className());
    if (!windowClasses().contains(name))
        windowClasses() << name;
}

} // namespace Tamberlyn::Platform
