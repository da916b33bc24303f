#include "frmsplsh.h"

#include "platform/qt/accessiblewindow.h"
#include "platform/qt/classicfont.h"

#include <QLabel>
#include <QVBoxLayout>

namespace Tamberlyn::Shell {

FrmSplsh::FrmSplsh(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplsh"));
    // It has no title bar: its words are its name.
    Platform::reportAsAccessibleWindow(staticMetaObject);
    setAccessibleName(QStringLiteral("One moment please..."));
    setAccessibleDescription(QStringLiteral("Shown while a finder window reads its lists for the first time."));
    setFixedSize(319, 91);
    auto *label = new QLabel(QStringLiteral("One moment please..."), this);
    label->setObjectName(QStringLiteral("lblWait"));
    label->setAlignment(Qt::AlignCenter);
    label->setFont(Platform::classicSansSerif(18, false));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    setAutoFillBackground(true);
}

void FrmSplsh::showAt(QPoint topLeft)
{
    move(topLeft);
    show();
    raise();
    repaint();
}

} // namespace Tamberlyn::Shell
