#include "RequestLog.h"

#include <cstdio>

namespace {

QByteArray sanitized(QByteArrayView text)
{
    if (text.isEmpty())
        return QByteArrayLiteral("-");
    QByteArray result;
    result.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f) {
            static constexpr char hex[] = "0123456789ABCDEF";
            result.append('%');
            result.append(hex[byte >> 4]);
            result.append(hex[byte & 0xf]);
        } else {
            result.append(c);
        }
    }
    return result;
}

} // namespace

QByteArray formatRequestLogLine(QByteArrayView method, QByteArrayView path, int status)
{
    QByteArray line = sanitized(method);
    line += ' ';
    line += sanitized(path);
    line += ' ';
    line += QByteArray::number(status);
    return line;
}

void writeStdoutLine(QByteArrayView text)
{
    std::fwrite(text.data(), 1, static_cast<size_t>(text.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
