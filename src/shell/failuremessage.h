#pragma once

#include "platform/loadfailure.h"

#include <QString>

namespace Tamberlyn::Shell {

struct Settings;

// What the learner is told when a page of the course does not come.
struct FailureMessage
{
    QString heading;
    // What failed, for which address, and what to check, in plain text:
    // paragraphs apart by an empty line, the checks one per line.
    QString text;
    // The same for the terminal, one line.
    QString logLine;
};

// The first page stands for the whole course: without it there is no course
// to go back to. A later one is one page the learner can step around.
enum class FailedPage { First, Later };

// Words the failure of the load of `address`, pointing at the settings that
// lead there (course/host, course/pin, course/timeout in the settings file,
// or the environment variables that override them).
FailureMessage failureMessage(const Platform::LoadFailure &failure, const QString &address, const Settings &settings,
                              FailedPage page);

// The heading of the first page's message while it is still on its way.
QString loadingCourseHeading(const Settings &settings);

// One or two sentences for a video or sound that will not play, and why.
enum class MediaKind { Video, Sound };
QString mediaFailureNotice(MediaKind kind, const QString &address, const QString &reason);

// Said once, when a visit could not be recorded in the history file.
QString historyNotSavedNotice(const QString &historyFile, const QString &reason);

} // namespace Tamberlyn::Shell
