#include "focusringstyle.h"

#include <QPainter>
#include <QStyleOption>

namespace Tamberlyn::Reading {

FocusRingStyle::FocusRingStyle(Look look, QStyle *base)
    : QProxyStyle(base)
    , m_ring(ringColour(look))
    , m_edges(look == Look::HighContrast)
{
}

QColor FocusRingStyle::ringColour(Look look)
{
    switch (look) {
    case Look::Dark:
        return QColor(138, 180, 248);
    case Look::HighContrast:
        return QColor(255, 255, 0);
    case Look::Light:
        break;
    }
    return QColor(26, 95, 180);
}

void FocusRingStyle::drawRing(QPainter *painter, const QRect &rect) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(m_ring, 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(1, 1, -1, -1));
    painter->restore();
}

void FocusRingStyle::drawEdge(QPainter *painter, const QRect &rect) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(Qt::white, 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

void FocusRingStyle::drawIndicator(bool round, const QStyleOption *option, QPainter *painter) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const QRectF box = QRectF(option->rect).adjusted(1.5, 1.5, -1.5, -1.5);
    painter->setPen(QPen(Qt::white, 1.5));
    painter->setBrush(Qt::black);
    if (round)
        painter->drawEllipse(box);
    else
        painter->drawRect(box);
    if (option->state & (State_On | State_NoChange)) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(Qt::white);
        const QRectF mark = box.adjusted(box.width() / 4, box.height() / 4, -box.width() / 4, -box.height() / 4);
        if (round)
            painter->drawEllipse(mark);
        else
            painter->drawRect(mark);
    }
    painter->restore();
}

void FocusRingStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                   const QWidget *widget) const
{
    // Fusion's own focus frame is a dotted or pale line; this one is not.
    if (element == PE_FrameFocusRect) {
        drawRing(painter, option->rect);
        return;
    }
    // Fusion draws radio buttons and check boxes in the window's and base
    // colours, black on black in high contrast: white rings and marks here.
    if (m_edges && (element == PE_IndicatorRadioButton || element == PE_IndicatorCheckBox)) {
        drawIndicator(element == PE_IndicatorRadioButton, option, painter);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element == PE_FrameLineEdit || element == PE_Frame) {
        if (m_edges)
            drawEdge(painter, option->rect);
        if (option->state & State_HasFocus)
            drawRing(painter, option->rect);
    }
}

void FocusRingStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                 const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element != CE_PushButton)
        return;
    if (m_edges)
        drawEdge(painter, option->rect);
    if (option->state & State_HasFocus)
        drawRing(painter, option->rect);
}

} // namespace Tamberlyn::Reading
