#include "RequestPath.h"

#include <QStringDecoder>

#include <optional>

namespace {

std::optional<int> hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

std::optional<QByteArray> percentDecoded(QByteArrayView text)
{
    QByteArray decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded.append(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const std::optional<int> high = hexValue(text[i + 1]);
        const std::optional<int> low = hexValue(text[i + 2]);
        if (!high || !low)
            return std::nullopt;
        decoded.append(static_cast<char>(*high * 16 + *low));
        i += 2;
    }
    return decoded;
}

// Proxies' absolute-form ("https://host:port/path") is valid request syntax;
// only its path matters here.
QByteArrayView withoutSchemeAndAuthority(QByteArrayView target)
{
    for (const QByteArrayView scheme : {QByteArrayView("https://"), QByteArrayView("http://")}) {
        if (target.size() >= scheme.size()
            && target.first(scheme.size()).compare(scheme, Qt::CaseInsensitive) == 0) {
            const QByteArrayView rest = target.sliced(scheme.size());
            const qsizetype slash = rest.indexOf('/');
            return slash < 0 ? QByteArrayView("/") : rest.sliced(slash);
        }
    }
    return target;
}

} // namespace

RequestPath decodeRequestPath(QByteArrayView target)
{
    RequestPath result;
    QByteArrayView path = withoutSchemeAndAuthority(target);
    for (const char terminator : {'?', '#'}) {
        const qsizetype at = path.indexOf(terminator);
        if (at >= 0)
            path = path.first(at);
    }
    if (!path.startsWith('/'))
        return result;

    const std::optional<QByteArray> bytes = percentDecoded(path);
    if (!bytes)
        return result;
    if (bytes->contains('\0') || bytes->contains('\\')) {
        result.outcome = RequestPath::Outcome::Refused;
        return result;
    }

    QStringDecoder fromUtf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = fromUtf8(*bytes);
    if (fromUtf8.hasError())
        return result;

    for (const QString &segment : decoded.split(u'/', Qt::SkipEmptyParts)) {
        if (segment == u".")
            continue;
        // ".." and hidden files and folders alike (.git, .htpasswd): none
        // of them is part of a course.
        if (segment.startsWith(u'.')) {
            result.outcome = RequestPath::Outcome::Refused;
            result.segments.clear();
            return result;
        }
        result.segments.append(segment);
    }
    result.outcome = RequestPath::Outcome::Ok;
    return result;
}
