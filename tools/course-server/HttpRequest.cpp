#include "HttpRequest.h"

#include <limits>

namespace {

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// Request targets are visible ASCII only; anything else (control characters,
// raw 8-bit bytes) must arrive percent-encoded.
bool isValidTarget(QByteArrayView target)
{
    if (target.isEmpty())
        return false;
    for (const char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f)
            return false;
    }
    return true;
}

bool isValidFieldValue(QByteArrayView value)
{
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7f)
            return false;
    }
    return true;
}

// uri-host [ ":" port ]: reg-name, IPv4 or a bracketed IPv6 literal, all
// drawn from these characters.
bool isValidHostValue(QByteArrayView value)
{
    for (const char c : value) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            continue;
        if (!QByteArrayView("-._~!$&'()*+,;=:[]%").contains(c))
            return false;
    }
    return true;
}

QByteArrayView trimmedWhitespace(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

QList<QByteArrayView> splitLines(QByteArrayView head)
{
    QList<QByteArrayView> lines;
    while (!head.isEmpty()) {
        qsizetype newline = head.indexOf('\n');
        if (newline < 0)
            newline = head.size();
        QByteArrayView line = head.first(newline);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        head = head.sliced(qMin(newline + 1, head.size()));
    }
    return lines;
}

bool parseVersion(QByteArrayView text, RequestHeadParse &result)
{
    // HTTP-version = "HTTP/" DIGIT "." DIGIT
    if (text.size() != 8 || !text.startsWith("HTTP/") || text[6] != '.')
        return false;
    const char major = text[5];
    const char minor = text[7];
    if (major < '0' || major > '9' || minor < '0' || minor > '9')
        return false;
    if (major != '1') {
        result.status = RequestHeadParse::Status::UnsupportedVersion;
        return false;
    }
    result.request.minorVersion = minor - '0';
    return true;
}

bool parseContentLength(QByteArrayView value, HttpRequest &request, bool &seen)
{
    if (value.isEmpty())
        return false;
    qint64 length = 0;
    for (const char c : value) {
        if (c < '0' || c > '9' || length > (std::numeric_limits<qint64>::max() - 9) / 10)
            return false;
        length = length * 10 + (c - '0');
    }
    // Repeated Content-Length fields must agree, or the message framing is
    // ambiguous (request smuggling).
    if (seen && length != request.contentLength)
        return false;
    seen = true;
    request.contentLength = length;
    return true;
}

} // namespace

QList<QByteArray> HttpRequest::headerValues(QByteArrayView lowerCaseName) const
{
    QList<QByteArray> values;
    for (const auto &[name, value] : headers) {
        if (name == lowerCaseName)
            values.append(value);
    }
    return values;
}

bool HttpRequest::wantsKeepAlive() const
{
    bool close = false;
    bool keepAlive = false;
    for (const QByteArray &value : headerValues("connection")) {
        for (const QByteArray &option : value.split(',')) {
            const QByteArray trimmedOption = option.trimmed();
            if (trimmedOption.compare("close", Qt::CaseInsensitive) == 0)
                close = true;
            else if (trimmedOption.compare("keep-alive", Qt::CaseInsensitive) == 0)
                keepAlive = true;
        }
    }
    if (close)
        return false;
    // HTTP/1.1 connections persist by default, HTTP/1.0 ones only on request.
    return minorVersion >= 1 || keepAlive;
}

bool HttpRequest::hasValidHost() const
{
    const QList<QByteArray> hosts = headerValues("host");
    if (hosts.size() > 1)
        return false;
    if (hosts.isEmpty())
        return minorVersion == 0;
    return isValidHostValue(hosts.first());
}

qsizetype findRequestHeadEnd(QByteArrayView buffer)
{
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < buffer.size(); ++i) {
        if (buffer[i] != '\n')
            continue;
        const qsizetype lineLength = i - lineStart;
        if (lineStart > 0 && (lineLength == 0 || (lineLength == 1 && buffer[lineStart] == '\r')))
            return i + 1;
        lineStart = i + 1;
    }
    return -1;
}

RequestHeadParse parseRequestHead(QByteArrayView head)
{
    RequestHeadParse result;
    const QList<QByteArrayView> lines = splitLines(head);
    if (lines.isEmpty())
        return result;

    // request-line = method SP request-target SP HTTP-version, single spaces.
    const QByteArrayView requestLine = lines.first();
    const qsizetype firstSpace = requestLine.indexOf(' ');
    const qsizetype lastSpace = requestLine.lastIndexOf(' ');
    if (firstSpace <= 0 || lastSpace == firstSpace)
        return result;
    const QByteArrayView method = requestLine.first(firstSpace);
    const QByteArrayView target = requestLine.sliced(firstSpace + 1, lastSpace - firstSpace - 1);
    if (!isToken(method) || !isValidTarget(target))
        return result;
    if (!parseVersion(requestLine.sliced(lastSpace + 1), result))
        return result;
    result.request.method = method.toByteArray();
    result.request.target = target.toByteArray();

    bool seenContentLength = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        if (line.isEmpty())
            break; // the end of the head
        // No whitespace before the colon and no obsolete line folding: both
        // are ways to make two parsers disagree about a field.
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.first(colon)))
            return result;
        const QByteArrayView value = trimmedWhitespace(line.sliced(colon + 1));
        if (!isValidFieldValue(value))
            return result;
        const QByteArray name = line.first(colon).toByteArray().toLower();
        if (name == "content-length") {
            if (!parseContentLength(value, result.request, seenContentLength))
                return result;
        } else if (name == "transfer-encoding") {
            result.request.hasTransferEncoding = true;
        }
        result.request.headers.append({name, value.toByteArray()});
    }
    result.status = RequestHeadParse::Status::Ok;
    return result;
}

std::pair<QByteArray, QByteArray> requestLineWords(QByteArrayView head)
{
    qsizetype end = head.indexOf('\n');
    QByteArrayView line = end < 0 ? head : head.first(end);
    if (line.endsWith('\r'))
        line.chop(1);
    const QList<QByteArray> words = line.toByteArray().split(' ');
    const auto word = [&words](qsizetype index) {
        return index < words.size() && !words[index].isEmpty() ? words[index] : QByteArrayLiteral("-");
    };
    return {word(0), word(1)};
}
