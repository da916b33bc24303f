#pragma once

#include "platform/dialogs.h"

namespace Tamberlyn::Simulator {

// The shared blocks tell the learner about blocks they cannot open with
// modal boxes. The stand-in runs unattended under tests, where a box would
// wait forever; it logs the text and reports the missing blocks itself.
class QuietDialogs final : public Platform::Dialogs
{
public:
    Answer ask(QWidget *owner, const Box &box) override;
};

} // namespace Tamberlyn::Simulator
