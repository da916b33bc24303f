#include "circuitpath.h"

#include "platform/ansicodepage.h"

namespace Tamberlyn::Simulator {

QByteArray meaningfulBytes(QByteArrayView block)
{
    const qsizetype end = block.indexOf('\0');
    return (end < 0 ? block : block.first(end)).toByteArray();
}

QString decodePath(QByteArrayView block)
{
    return Platform::fromAnsi(meaningfulBytes(block));
}

QString fileNameOf(const QString &path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return path.mid(slash + 1);
}

QString printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
            shown += QStringLiteral("\\x%1").arg(static_cast<unsigned>(code), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

} // namespace Tamberlyn::Simulator
