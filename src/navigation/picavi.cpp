#include "picavi.h"

#include <QMouseEvent>
#include <QPalette>

namespace Tamberlyn::Navigation {

PicAvi::PicAvi(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picAVI"));
    setAccessibleName(QStringLiteral("Video"));
    setAccessibleDescription(QStringLiteral("The video playing; a click or Esc stops it."));
    QPalette dark = palette();
    dark.setColor(QPalette::Window, Qt::black);
    setPalette(dark);
    setAutoFillBackground(true);
    hide();
}

void PicAvi::mousePressEvent(QMouseEvent *event)
{
    // Taken here, so the press reaches neither the page nor the window
    // underneath.
    event->accept();
    emit mouseDown();
}

} // namespace Tamberlyn::Navigation
