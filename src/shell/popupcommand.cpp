#include "popupcommand.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace Tamberlyn::Shell {

namespace {

// A decimal number, taken to the nearest whole number with halves to even;
// 0 when the text cannot be read as one.
int readNumber(const QString &text)
{
    static const QRegularExpression decimal(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$)"));
    if (!decimal.match(text).hasMatch())
        return 0;
    const double value = std::nearbyint(text.trimmed().toDouble());
    return std::fabs(value) < 1e9 ? static_cast<int>(value) : 0;
}

int roundTwips(double twips)
{
    return static_cast<int>(std::nearbyint(twips));
}

// The command line may ask for up to 999999999 pixels, which in twips no
// longer fits an int. No window can be larger than the toolkit's limit
// (QWIDGETSIZE_MAX), so a wanted size is held to it either way before the
// arithmetic; every real size passes unchanged.
constexpr int MaxWantedPixels = (1 << 24) - 1;

int boundedPixels(int wanted)
{
    return std::clamp(wanted, -MaxWantedPixels, MaxWantedPixels);
}

} // namespace

std::optional<PopupCommand> parsePopupCommand(const QString &commandLine)
{
    // 1-based positions of the markers, as the line is laid out.
    const qsizetype pW = commandLine.indexOf(QLatin1String("/W")) + 1;
    const qsizetype pH = commandLine.indexOf(QLatin1String("/H")) + 1;
    if (pW == 0 || pH == 0)
        return std::nullopt;

    PopupCommand command;
    // Characters 9 to pW-2; none when "/W" stands at position 10 or earlier.
    if (pW - 10 > 0)
        command.popFile = commandLine.mid(8, pW - 10);
    // Characters pW+3 to pH-2, and pH+3 to the end.
    if (pH - pW - 4 >= 0)
        command.width = readNumber(commandLine.mid(pW + 2, pH - pW - 4));
    command.height = readNumber(commandLine.mid(pH + 2));
    return command;
}

QRect popupTwips(QSize wanted, QPoint pointerPixels, QSize screenPixels)
{
    const int width = roundTwips(double(TwipsPerPixel) * boundedPixels(wanted.width()) + 700);
    const int height = roundTwips(double(TwipsPerPixel) * boundedPixels(wanted.height()) + 300);
    int top = TwipsPerPixel * pointerPixels.y();
    int left = TwipsPerPixel * pointerPixels.x();
    const int screenHeight = TwipsPerPixel * screenPixels.height();
    const int screenWidth = TwipsPerPixel * screenPixels.width();
    if (screenHeight < top + height)
        top = screenHeight - height - 200;
    if (screenWidth < left + width)
        left = screenWidth - width - 200;
    return {left, top, width, height};
}

QRect popupPixels(QSize wanted, QPoint pointerPixels, QSize screenPixels)
{
    const QRect twips = popupTwips(wanted, pointerPixels, screenPixels);
    const auto pixels = [](int t) { return static_cast<int>(std::lround(double(t) / TwipsPerPixel)); };
    return {pixels(twips.left()), pixels(twips.top()), pixels(twips.width()), pixels(twips.height())};
}

} // namespace Tamberlyn::Shell
