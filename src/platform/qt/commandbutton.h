#pragma once

#include <QPushButton>

namespace Tamberlyn::Platform {

// A button for a window that leaves Enter to its focused button. Space
// presses it as any push button; Enter and Return press it too while it
// has the focus, as a classic command button answers both. It is no
// default button: Enter elsewhere in the window does not reach it.
class CommandButton final : public QPushButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandButton)

public:
    CommandButton(const QString &caption, QWidget *parent);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace Tamberlyn::Platform
