#include "commandbutton.h"

#include <QKeyEvent>

namespace Tamberlyn::Platform {

CommandButton::CommandButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
{
    setAutoDefault(false);
}

void CommandButton::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Alt+Enter and the like are someone else's keys; the keypad's own
    // Enter carries the keypad flag and is still a plain Enter.
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

} // namespace Tamberlyn::Platform
