#include "buttonpicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace Tamberlyn::SimBridge {

void paintReturnButton(QPainter &painter, const QRectF &area, bool pressed)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF face = area.adjusted(1.5, 1.5, -1.5, -1.5);
    QLinearGradient blue(face.topLeft(), face.bottomLeft());
    blue.setColorAt(0.0, pressed ? QColor(22, 52, 120) : QColor(86, 140, 230));
    blue.setColorAt(1.0, pressed ? QColor(10, 30, 80) : QColor(24, 70, 170));
    painter.setPen(QPen(pressed ? QColor(5, 15, 45) : QColor(12, 36, 96), 2));
    painter.setBrush(blue);
    painter.drawRoundedRect(face, 10, 10);

    // The disc: a compact disc seen from above, its hole and a highlight.
    const qreal radius = face.height() * 0.36;
    const QPointF centre(face.left() + radius + face.height() * 0.18, face.center().y() + (pressed ? 1 : 0));
    QRadialGradient silver(centre - QPointF(radius / 3, radius / 3), radius * 1.3);
    silver.setColorAt(0.0, QColor(250, 250, 252));
    silver.setColorAt(0.6, QColor(185, 195, 210));
    silver.setColorAt(1.0, QColor(120, 130, 150));
    painter.setPen(QPen(QColor(60, 70, 90), 1));
    painter.setBrush(silver);
    painter.drawEllipse(centre, radius, radius);
    painter.setBrush(blue);
    painter.drawEllipse(centre, radius * 0.22, radius * 0.22);

    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(qMax(8, qRound(face.height() * 0.22)));
    painter.setFont(font);
    painter.setPen(pressed ? QColor(200, 210, 230) : Qt::white);
    const QRectF label(centre.x() + radius + 4, face.top(), face.right() - centre.x() - radius - 8, face.height());
    painter.drawText(label.translated(0, pressed ? 1 : 0), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("RETURN TO TEXT"));
    painter.restore();
}

} // namespace Tamberlyn::SimBridge
