#include "withfileaccessible.h"

#include "withfile.h"

#include <QAccessibleWidget>

namespace Tamberlyn::SimBridge {

namespace {

class WithfileAccessible final : public QAccessibleWidget
{
public:
    explicit WithfileAccessible(Withfile *withfile)
        : QAccessibleWidget(withfile, QAccessible::Button)
    {
    }

    // The pressed picture is only the button's look.
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QStringList actionNames() const override
    {
        return QAccessibleWidget::actionNames() << pressAction() << showMenuAction();
    }

    void doAction(const QString &action) override
    {
        auto *withfile = static_cast<Withfile *>(widget());
        if (action == pressAction())
            withfile->press();
        else if (action == showMenuAction())
            withfile->openMenu();
        else
            QAccessibleWidget::doAction(action);
    }

    QStringList keyBindingsForAction(const QString &action) const override
    {
        if (action == pressAction())
            return {QStringLiteral("Space"), QStringLiteral("Return")};
        if (action == showMenuAction())
            return {QStringLiteral("Menu"), QStringLiteral("Shift+F10")};
        return QAccessibleWidget::keyBindingsForAction(action);
    }
};

QAccessibleInterface *withfileInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String(Withfile::staticMetaObject.className()))
        return new WithfileAccessible(static_cast<Withfile *>(object));
    return nullptr;
}

} // namespace

void installWithfileAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(&withfileInterface);
        return true;
    }();
    Q_UNUSED(installed)
}

} // namespace Tamberlyn::SimBridge
