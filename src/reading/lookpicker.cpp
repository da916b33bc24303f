#include "lookpicker.h"

#include "lookswitch.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>

namespace Tamberlyn::Reading {

LookPicker::LookPicker(LookSwitch &looks, QWidget *parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("lookPicker"));
    setAccessibleName(QStringLiteral("Look"));
    setAccessibleDescription(QStringLiteral("The look of the pages and windows; Ctrl+Shift+L changes it too."));
    setAutoFillBackground(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(12);
    for (const Look look : Looks) {
        auto *choice = new QRadioButton(lookCaption(look), this);
        choice->setObjectName(QStringLiteral("look-") + lookName(look));
        m_group->addButton(choice, static_cast<int>(look));
        row->addWidget(choice);
    }
    showChecked(looks.look());
    connect(m_group, &QButtonGroup::idClicked, &looks, [&looks](int id) { looks.choose(static_cast<Look>(id)); });
    connect(&looks, &LookSwitch::changed, this, &LookPicker::showChecked);
}

void LookPicker::showChecked(Look look)
{
    if (QAbstractButton *choice = m_group->button(static_cast<int>(look)))
        choice->setChecked(true);
}

} // namespace Tamberlyn::Reading
