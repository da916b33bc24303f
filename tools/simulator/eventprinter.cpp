#include "eventprinter.h"

#include <cstdio>

namespace Tamberlyn::Simulator {

void EventPrinter::print(const QString &line) const
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace Tamberlyn::Simulator
