#include "ByteRange.h"

#include "HttpRequest.h"

#include <limits>
#include <optional>

namespace {

bool isOptionalWhitespace(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isOptionalWhitespace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isOptionalWhitespace(text.back()))
        text.chop(1);
    return text;
}

// Non-empty run of decimal digits; values too large for qint64 saturate, which
// keeps "bytes=99999999999999999999-" unsatisfiable instead of wrapping around.
std::optional<qint64> parseDigits(QByteArrayView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        value = value > (max - digit) / 10 ? max : value * 10 + digit;
    }
    return value;
}

} // namespace

ByteRange parseByteRange(QByteArrayView headerValue, qint64 fileSize)
{
    const ByteRange wholeFile;
    const ByteRange unsatisfiable{ByteRange::Kind::Unsatisfiable, 0, -1};

    const QByteArrayView value = trimmed(headerValue);
    const qsizetype equals = value.indexOf('=');
    if (equals < 0 || trimmed(value.first(equals)).compare("bytes", Qt::CaseInsensitive) != 0)
        return wholeFile;

    const QByteArrayView rangeSet = trimmed(value.sliced(equals + 1));
    if (rangeSet.contains(','))
        return wholeFile; // several ranges would need multipart/byteranges

    const qsizetype dash = rangeSet.indexOf('-');
    if (dash < 0)
        return wholeFile;
    const QByteArrayView firstText = rangeSet.first(dash);
    const QByteArrayView lastText = rangeSet.sliced(dash + 1);

    if (firstText.isEmpty()) {
        // "-n": the final n bytes.
        const std::optional<qint64> suffix = parseDigits(lastText);
        if (!suffix)
            return wholeFile;
        if (*suffix == 0 || fileSize == 0)
            return unsatisfiable;
        return {ByteRange::Kind::Partial, fileSize - qMin(*suffix, fileSize), fileSize - 1};
    }

    const std::optional<qint64> first = parseDigits(firstText);
    if (!first)
        return wholeFile;
    qint64 last = fileSize - 1;
    if (!lastText.isEmpty()) {
        const std::optional<qint64> requestedLast = parseDigits(lastText);
        if (!requestedLast || *requestedLast < *first)
            return wholeFile;
        last = qMin(*requestedLast, last);
    }
    if (*first >= fileSize)
        return unsatisfiable;
    return {ByteRange::Kind::Partial, *first, last};
}

ByteRange requestedRange(const HttpRequest &request, qint64 fileSize)
{
    const QList<QByteArray> ranges = request.headerValues("range");
    if (ranges.size() != 1 || !request.headerValues("if-range").isEmpty())
        return {};
    return parseByteRange(ranges.first(), fileSize);
}
