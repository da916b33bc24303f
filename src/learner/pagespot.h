#pragma once

#include <QString>
#include <QVariant>

namespace Tamberlyn::Learner {

// Where the learner is on a page, as a place in its text rather than in
// pixels, so that it holds when the zoom or the page's size variant
// changes the layout: the block of text at the top of the view (the first
// words of it, and which of the blocks that begin so it is), how far into
// that block the view starts, and the share of the page scrolled as a last
// resort for a page whose text changed. All zero is the top of the page.
struct PageSpot
{
    static constexpr qsizetype MaxQuote = 80;

    QString quote;      // the block's first words, white space folded
    int occurrence = 0; // 0 for the first block that begins with `quote`
    double fraction = 0.0; // 0 at the block's top, towards 1 at its bottom
    double ratio = 0.0;    // scrolled share of the page, 0..1

    bool atTop() const { return quote.isEmpty() && ratio <= 0.0; }
    // The same block of text, wherever the layout put it.
    bool sameBlock(const PageSpot &other) const { return quote == other.quote && occurrence == other.occurrence; }
    friend bool operator==(const PageSpot &, const PageSpot &) = default;

    // As the record keeps it: a small JSON object.
    QString toJson() const;
    // From the record or from the page's script. Both are outside input: a
    // value that is no spot gives the top of the page, and every field is
    // held to its range.
    static PageSpot fromJson(const QString &json);
    static PageSpot fromVariant(const QVariant &value);
};

} // namespace Tamberlyn::Learner
