#include "sizeclass.h"

#include <array>
#include <span>

namespace Tamberlyn::Shell {

namespace {

struct HeightRule
{
    int minHeight;
    qint16 sizeClass;
};

struct WidthBand
{
    int minWidth;
    std::span<const HeightRule> rules;
    // Class for heights below every rule; 0 means "none, keep the old class".
    qint16 below;
};

constexpr std::array<HeightRule, 5> W2880{{{1920, 11}, {1600, 10}, {1440, 9}, {1080, 7}, {900, 6}}};
constexpr std::array<HeightRule, 5> W2560{{{1600, 10}, {1440, 9}, {1080, 7}, {900, 6}, {800, 3}}};
constexpr std::array<HeightRule, 4> W2160{{{1440, 8}, {1080, 7}, {900, 6}, {800, 3}}};
constexpr std::array<HeightRule, 4> W1920{{{1080, 7}, {900, 6}, {800, 3}, {768, 2}}};
constexpr std::array<HeightRule, 3> W1600{{{900, 6}, {800, 3}, {768, 2}}};
constexpr std::array<HeightRule, 4> W1440{{{1024, 4}, {900, 5}, {800, 3}, {768, 2}}};
constexpr std::array<HeightRule, 3> W1280{{{1024, 4}, {800, 3}, {768, 2}}};

// Widest band first; the 1366 and 1280 bands share their rules.
constexpr std::array<WidthBand, 8> Bands{{
    {2880, W2880, 0},
    {2560, W2560, 0},
    {2160, W2160, 0},
    {1920, W1920, 0},
    {1600, W1600, 0},
    {1440, W1440, 0},
    {1366, W1280, 1},
    {1280, W1280, 1},
}};

} // namespace

std::optional<qint16> sizeClassOf(int width, int height)
{
    for (const WidthBand &band : Bands) {
        if (width < band.minWidth)
            continue;
        for (const HeightRule &rule : band.rules) {
            if (height >= rule.minHeight)
                return rule.sizeClass;
        }
        if (band.below == 0)
            return std::nullopt;
        return band.below;
    }
    return qint16(1);
}

qint16 classify(int width, int height, qint16 previousClass)
{
    return sizeClassOf(width, height).value_or(previousClass);
}

} // namespace Tamberlyn::Shell
