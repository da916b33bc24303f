#include "fuzzcheck.h"

#include <cstdio>
#include <cstdlib>

namespace Tamberlyn::Fuzz {

void require(bool holds, const char *what)
{
    if (holds)
        return;
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n", what);
    std::abort();
}

void require(bool holds, const char *what, const QString &detail)
{
    if (holds)
        return;
    // Escaped, so control characters and odd code units stay readable.
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n  %s\n", what, detail.toUtf8().toPercentEncoding(" /\\\"'.:,;=+-_()[]").constData());
    std::abort();
}

} // namespace Tamberlyn::Fuzz
