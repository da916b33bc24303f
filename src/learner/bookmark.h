#pragma once

#include "pagespot.h"

#include <QList>
#include <QString>

namespace Tamberlyn::Learner {

// A page the learner marked, at the spot they were on, with their note.
struct Bookmark
{
    qint64 id = 0;    // unique within the course's record
    QString page;     // page name, as the page-load handler recorded the visit
    QString title;    // the page's title when it was bookmarked
    PageSpot spot;
    QString note;     // may be empty
    qint64 createdAt = 0; // milliseconds since 1970 (UTC)
    qint64 changedAt = 0;

    friend bool operator==(const Bookmark &, const Bookmark &) = default;
};

// Where the learner left off: the page of their last visit and their spot on it.
struct ResumeSpot
{
    QString page;
    QString title;
    PageSpot spot;
    qint64 savedAt = 0;

    friend bool operator==(const ResumeSpot &, const ResumeSpot &) = default;
};

} // namespace Tamberlyn::Learner
