// The pop-up command line, read whatever it holds, and the pop-up's place
// worked out for the size it asks for, at any pointer on any screen size.
// A command line written from a file name and two whole numbers must read
// back as those.
//
// Input: the command line (FuzzedDataProvider string); then a file name and
// the numbers for the written line, the pointer and the screen, taken from
// the end.

#include "fuzzcheck.h"

#include "shell/popupcommand.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

using namespace Tamberlyn;
using Fuzz::require;

namespace {

QString utf8(const std::string &s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

void checkPlacement(const Shell::PopupCommand &command, QPoint pointer, QSize screen)
{
    const QRect twips = Shell::popupTwips({command.width, command.height}, pointer, screen);
    const QRect pixels = Shell::popupPixels({command.width, command.height}, pointer, screen);
    // Pulled back or not, a pop-up never reaches past the screen's
    // right or bottom edge.
    require(twips.left() + twips.width() <= Shell::TwipsPerPixel * screen.width(), "pop-up crosses the right edge");
    require(twips.top() + twips.height() <= Shell::TwipsPerPixel * screen.height(), "pop-up crosses the bottom edge");
    require(std::abs(pixels.width() * Shell::TwipsPerPixel - twips.width()) <= Shell::TwipsPerPixel,
            "pixel width is not the twips width");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    // An X screen is at most 32767 pixels each way, and the pointer is on it.
    const QSize screen(input.ConsumeIntegralInRange(1, 32767), input.ConsumeIntegralInRange(1, 32767));
    const QPoint pointer(input.ConsumeIntegralInRange(0, screen.width() - 1),
                         input.ConsumeIntegralInRange(0, screen.height() - 1));
    const int width = input.ConsumeIntegralInRange(0, 999'999'999);
    const int height = input.ConsumeIntegralInRange(0, 999'999'999);
    const QString commandLine = utf8(input.ConsumeRandomLengthString(1024));
    const QString popFile = utf8(input.ConsumeRemainingBytesAsString());

    const auto command = Shell::parsePopupCommand(commandLine);
    require(command.has_value() == (commandLine.contains(QStringLiteral("/W")) && commandLine.contains(QStringLiteral("/H"))),
            "a pop-up was read without both markers, or refused with them", commandLine);
    if (command) {
        require(commandLine.mid(8).startsWith(command->popFile), "PopFile is not what follows the prefix", commandLine);
        checkPlacement(*command, pointer, screen);
    }

    // A file name holding neither marker reads back exactly.
    if (!popFile.isEmpty() && !popFile.contains(QStringLiteral("/W")) && !popFile.contains(QStringLiteral("/H"))) {
        const QString written = QStringLiteral("/POPJPG=") + popFile + QStringLiteral(" /W ") + QString::number(width)
                                + QStringLiteral(" /H ") + QString::number(height);
        const auto read = Shell::parsePopupCommand(written);
        require(read && read->popFile == popFile && read->width == width && read->height == height,
                "a written pop-up command did not read back", written);
        checkPlacement(*read, pointer, screen);
    }
    return 0;
}
