#pragma once

#include "platform/dialogs.h"

namespace Tamberlyn::Platform {

// Dialogs as real QMessageBox windows.
class MessageBoxDialogs final : public Dialogs
{
public:
    Answer ask(QWidget *owner, const Box &box) override;
};

} // namespace Tamberlyn::Platform
