#pragma once

#include "looks.h"

#include <QWidget>

class QButtonGroup;

namespace Tamberlyn::Reading {

class LookSwitch;

// The three looks as radio buttons, shown under Help beside the line that
// names the key: a screen reader reads a group "Look" of three choices, the
// one in use checked, and nothing else.
class LookPicker final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LookPicker)

public:
    LookPicker(LookSwitch &looks, QWidget *parent);

private:
    void showChecked(Look look);

    QButtonGroup *m_group;
};

} // namespace Tamberlyn::Reading
