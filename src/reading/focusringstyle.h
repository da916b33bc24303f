#pragma once

#include "looks.h"

#include <QColor>
#include <QProxyStyle>

namespace Tamberlyn::Reading {

// The style of the windows in a look of the learner's choice: Fusion, which
// draws with the palette alone, with a focus ring that shows on the look's
// grounds (2 pixels in a colour that stands out: 3:1 or more against the
// look's window and button grounds) on buttons, entry boxes, lists, radio
// buttons and check boxes. High contrast also draws a white edge around
// buttons, entry boxes and lists, and white radio buttons and check boxes,
// which Fusion would draw black on black.
class FocusRingStyle final : public QProxyStyle
{
    Q_OBJECT

public:
    FocusRingStyle(Look look, QStyle *base);

    static QColor ringColour(Look look);

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;

private:
    void drawRing(QPainter *painter, const QRect &rect) const;
    void drawEdge(QPainter *painter, const QRect &rect) const;
    void drawIndicator(bool round, const QStyleOption *option, QPainter *painter) const;

    QColor m_ring;
    bool m_edges;
};

} // namespace Tamberlyn::Reading
