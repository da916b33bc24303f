#pragma once

#include <QString>

// A broken expectation is a finding like a crash: say which one, show the
// value that broke it, and abort so libFuzzer keeps the input.
namespace Tamberlyn::Fuzz {

void require(bool holds, const char *what);
void require(bool holds, const char *what, const QString &detail);

} // namespace Tamberlyn::Fuzz
