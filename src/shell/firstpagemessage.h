#pragma once

#include "platform/loadfailure.h"

#include <QString>

namespace Tamberlyn::Shell {

struct Settings;

// What the learner is told when the course's first page does not come.
struct FirstPageMessage
{
    QString heading;
    // What failed, for which address, and what to check, in plain text:
    // paragraphs apart by an empty line, the checks one per line.
    QString text;
    // The same for the terminal, one line.
    QString logLine;
};

// Words the failure of the first page's load for `address`, pointing at
// the settings that lead there (course/host, course/pin, course/timeout in
// the settings file, or the environment variables that override them).
FirstPageMessage firstPageMessage(const Platform::LoadFailure &failure, const QString &address,
                                  const Settings &settings);

} // namespace Tamberlyn::Shell
