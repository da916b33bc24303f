#include "helpimage.h"

#include "platform/qt/classicfont.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace Tamberlyn::Shell {

namespace {

const QColor Ink(20, 30, 50);
const QColor Frame(120, 130, 150);

struct ButtonLine
{
    const char *caption;
    const char *meaning;
};

// One line per button of the bar, in the bar's order, Index included: it
// sits on the Search window's bar.
const ButtonLine Buttons[] = {
    {"Contents", "module selection"},
    {"Print", "print a page"},
    {"Search", "search for pages that have a particular word"},
    {"Index", "find the words in alphabetical order"},
    {"Back", "last screen"},
    {">>", "next page"},
    {"<<", "previous page"},
    {"History", "go back to each page visited"},
    {"Calc", "the system calculator"},
    {"Help", "this screen"},
    {"Section", "sections of this module"},
};

void drawBarButton(QPainter &p, const QRectF &r, const QString &caption)
{
    p.setPen(Frame);
    p.setBrush(QColor(236, 236, 236));
    p.drawRect(r);
    p.setPen(Ink);
    p.drawText(r, Qt::AlignCenter, caption);
}

void drawTitleAndBar(QPainter &p)
{
    const QRectF title(10, 10, 760, 22);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 70, 150));
    p.drawRect(title);
    p.setPen(Qt::white);
    p.setFont(Platform::classicSansSerif(9, true));
    p.drawText(title.adjusted(8, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Tamberlyn - Module 1"));

    p.setFont(Platform::classicSansSerif(7.5, true));
    static const char *bar[] = {"Contents", "Print", "Search", "Back", "<<", ">>",
                                "History", "Calc", "Help", "Section"};
    qreal x = 13;
    for (const char *caption : bar) {
        drawBarButton(p, QRectF(x, 36, 72, 19), QString::fromLatin1(caption));
        x += 75;
    }
}

void drawSymbol(QPainter &p, const QRectF &box, int kind)
{
    p.setPen(QPen(Ink, 1.5));
    p.setBrush(QColor(250, 220, 120));
    p.drawRoundedRect(box, 4, 4);
    const QPointF c = box.center();
    if (kind == 0) { // loudspeaker
        QPainterPath speaker;
        speaker.moveTo(c + QPointF(-9, -4));
        speaker.lineTo(c + QPointF(-4, -4));
        speaker.lineTo(c + QPointF(3, -10));
        speaker.lineTo(c + QPointF(3, 10));
        speaker.lineTo(c + QPointF(-4, 4));
        speaker.lineTo(c + QPointF(-9, 4));
        speaker.closeSubpath();
        p.setBrush(Ink);
        p.drawPath(speaker);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c + QPointF(0, -8), QSizeF(12, 16)), -50 * 16, 100 * 16);
    } else { // film projector: two reels and a body
        p.setBrush(Ink);
        p.drawEllipse(c + QPointF(-6, -6), 5, 5);
        p.drawEllipse(c + QPointF(5, -6), 5, 5);
        p.drawRect(QRectF(c + QPointF(-10, 0), QSizeF(18, 9)));
        p.drawPolygon(QPolygonF({c + QPointF(8, 2), c + QPointF(13, -1), c + QPointF(13, 10), c + QPointF(8, 7)}));
    }
}

void drawWordButton(QPainter &p, const QRectF &box, const QString &word)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(QColor(200, 225, 250));
    p.drawRoundedRect(box, 5, 5);
    // The longest word is narrowed to fit inside its button rather than
    // running over the border.
    QFont font = Platform::classicSansSerif(8, true);
    p.setFont(font);
    const QRectF inside = box.adjusted(3, 0, -3, 0);
    const qreal wide = p.fontMetrics().horizontalAdvance(word);
    if (wide > inside.width()) {
        font.setStretch(qMax(50, int(100.0 * inside.width() / wide)));
        p.setFont(font);
    }
    p.drawText(inside, Qt::AlignCenter, word);
}

// The learner record's keys, in the room the buttons' lines leave on their
// right: what the viewer keeps of a learner's course across days.
void drawLearnerRecordKeys(QPainter &p)
{
    const QRectF box(452, 90, 314, 268);
    p.setPen(QPen(Frame, 1));
    p.setBrush(QColor(253, 246, 216));
    p.drawRoundedRect(box, 6, 6);
    p.setPen(Ink);
    p.setFont(Platform::classicSansSerif(9, true));
    p.drawText(box.adjusted(10, 6, -10, 0), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Your course record"));
    static const std::pair<const char *, const char *> lines[] = {
        {"Ctrl+D", "bookmark this page, with a note"},
        {"Ctrl+B", "bookmarks and notes"},
        {"Ctrl+U", "first unread page"},
        {"Ctrl+J", "continue where you left off"},
        {"Ctrl+Shift+Del", "forget this course's record"},
        {"\u2713", "after a link: a page read"},
        {"2 of 5", "a module's pages read"},
    };
    qreal y = box.top() + 30;
    for (const auto &[keys, meaning] : lines) {
        p.setFont(Platform::classicSansSerif(8.5, true));
        p.drawText(QRectF(box.left() + 10, y, 96, 22), Qt::AlignVCenter | Qt::AlignLeft, QString::fromUtf8(keys));
        p.setFont(Platform::classicSansSerif(8.5, false));
        p.drawText(QRectF(box.left() + 106, y, box.width() - 110, 22), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromUtf8(meaning));
        y += 25;
    }
    p.setFont(Platform::classicSansSerif(7.5, false));
    p.drawText(QRectF(box.left() + 10, y + 4, box.width() - 20, 36), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Kept in learner.sqlite in your data folder (~/.local/share/Marrowick/KQ); "
                              "Quit does not delete it."));
}

// A key of the keyboard, as the bar's buttons are drawn, its name narrowed
// to fit when it is long.
void drawKeyCap(QPainter &p, const QRectF &box, const QString &keys)
{
    QFont font = Platform::classicSansSerif(8, true);
    p.setFont(font);
    const qreal wide = p.fontMetrics().horizontalAdvance(keys);
    const QRectF inside = box.adjusted(3, 0, -3, 0);
    if (wide > inside.width()) {
        font.setStretch(qMax(50, int(100.0 * inside.width() / wide)));
        p.setFont(font);
    }
    drawBarButton(p, box.adjusted(0, 3, 0, -3), keys);
}

} // namespace

QImage helpImage(qreal devicePixelRatio)
{
    const QSize size = (QSizeF(HelpImageSize) * devicePixelRatio).toSize();
    QImage image(size, QImage::Format_RGB888);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(QColor(255, 255, 240));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    p.setPen(QPen(Frame, 2));
    p.drawRect(QRectF(1, 1, HelpImageSize.width() - 2, HelpImageSize.height() - 2));
    drawTitleAndBar(p);

    p.setPen(Ink);
    p.setFont(Platform::classicSansSerif(10, true));
    p.drawText(QRectF(20, 64, 740, 20), Qt::AlignLeft,
               QStringLiteral("Click on a module to select. Green words in the pages are jumps and pop-ups."));

    qreal y = 92;
    for (const ButtonLine &line : Buttons) {
        p.setFont(Platform::classicSansSerif(8.5, true));
        drawBarButton(p, QRectF(30, y, 80, 20), QString::fromLatin1(line.caption));
        p.setPen(Ink);
        p.setFont(Platform::classicSansSerif(9.5, false));
        p.drawText(QRectF(124, y, 620, 20), Qt::AlignVCenter | Qt::AlignLeft, QString::fromLatin1(line.meaning));
        y += 26;
    }

    y += 10;
    p.setFont(Platform::classicSansSerif(9.5, false));
    const auto symbolLine = [&](auto drawIcon, const QString &meaning) {
        drawIcon(QRectF(30, y, 80, 26));
        p.setPen(Ink);
        p.setFont(Platform::classicSansSerif(9.5, false));
        p.drawText(QRectF(124, y, 620, 26), Qt::AlignVCenter | Qt::AlignLeft, meaning);
        y += 30;
    };
    symbolLine([&](const QRectF &r) { drawSymbol(p, QRectF(r.left() + 25, r.top(), 30, 26), 0); },
               QStringLiteral("listen to a mini-lecture"));
    symbolLine([&](const QRectF &r) { drawSymbol(p, QRectF(r.left() + 25, r.top(), 30, 26), 1); },
               QStringLiteral("watch a video"));
    const auto wordLine = [&](const char *word, const char *meaning) {
        symbolLine([&](const QRectF &r) { drawWordButton(p, r, QString::fromLatin1(word)); },
                   QString::fromLatin1(meaning));
    };
    wordLine("ANSWER", "answer to a quiz question");
    wordLine("SOLUTION", "method of solution for a question");
    wordLine("REFERENCE", "the page where the answer can be found");
    wordLine("LAB PROJECT", "run the laboratory simulation program with the current lab project");
    drawLearnerRecordKeys(p);

    // The looks: the key, and room at the line's end for the three looks.
    Q_ASSERT(qFuzzyCompare(y, qreal(HelpLookChoicePlace.top())));
    symbolLine([&](const QRectF &r) { drawKeyCap(p, r, QStringLiteral("Ctrl+Shift+L")); },
               QStringLiteral("change the look: light, dark or high contrast"));
    return image;
}

} // namespace Tamberlyn::Shell
