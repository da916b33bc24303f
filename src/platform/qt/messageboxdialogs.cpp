#include "messageboxdialogs.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

namespace Tamberlyn::Platform {

namespace {

QMessageBox::Icon iconOf(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information: return QMessageBox::Information;
    case Dialogs::Icon::Warning: return QMessageBox::Warning;
    case Dialogs::Icon::Question: return QMessageBox::Question;
    case Dialogs::Icon::Critical: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons buttonsOf(Dialogs::Buttons buttons)
{
    switch (buttons) {
    case Dialogs::Buttons::Ok: return QMessageBox::Ok;
    case Dialogs::Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Dialogs::Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

} // namespace

Dialogs::Answer MessageBoxDialogs::ask(QWidget *owner, const Box &box)
{
    QMessageBox message(iconOf(box.icon), box.title, box.text, buttonsOf(box.buttons), owner);
    message.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (box.offset && owner) {
        // Placed once the box has its size; each box carries its own offset.
        const QPoint wanted = owner->frameGeometry().topLeft() + *box.offset;
        QTimer::singleShot(0, &message, [&message, wanted] {
            QRect frame = message.frameGeometry();
            frame.moveTopLeft(wanted);
            if (const QScreen *screen = message.screen()) {
                const QRect area = screen->availableGeometry();
                frame.moveLeft(qBound(area.left(), frame.left(), qMax(area.left(), area.right() - frame.width() + 1)));
                frame.moveTop(qBound(area.top(), frame.top(), qMax(area.top(), area.bottom() - frame.height() + 1)));
            }
            message.move(frame.topLeft());
        });
    }
    message.raise();
    message.activateWindow();
    switch (message.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

} // namespace Tamberlyn::Platform
