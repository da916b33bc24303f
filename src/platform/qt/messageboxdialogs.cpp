#include "messageboxdialogs.h"

#include "platform/boxplacement.h"

#include <QAbstractButton>
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

// What each answer does, for screen readers; the captions say only "Yes".
const char *descriptionOf(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Yes: return "Answers the question with yes.";
    case QMessageBox::No: return "Answers the question with no.";
    case QMessageBox::Cancel: return "Cancels.";
    default: return "Closes this message.";
    }
}

} // namespace

Dialogs::Answer MessageBoxDialogs::ask(QWidget *owner, const Box &box)
{
    QMessageBox message(iconOf(box.icon), box.title, box.text, buttonsOf(box.buttons), owner);
    message.setWindowFlag(Qt::WindowStaysOnTopHint);
    // A box is read out by its title and description; the text is what it
    // has to say.
    message.setAccessibleDescription(box.text);
    for (QAbstractButton *button : message.buttons())
        button->setAccessibleDescription(QLatin1String(descriptionOf(message.standardButton(button))));
    if (box.offset && owner) {
        // Placed as soon as it is shown and has its size. Each box carries
        // its own offset, so a second question while one is open is placed
        // just as well.
        const QRect ownerFrame = owner->frameGeometry();
        const QPoint offset = *box.offset;
        QTimer::singleShot(0, &message, [&message, ownerFrame, offset] {
            const QScreen *screen = message.screen();
            message.move(boxPosition(ownerFrame, message.frameGeometry().size(), offset,
                                     screen ? screen->availableGeometry() : QRect()));
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
