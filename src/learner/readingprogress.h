#pragma once

#include "coursepages.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace Tamberlyn::Learner {

// How far a learner is through one module: `read` of its `total` pages.
struct ModuleProgress
{
    int module = 0;
    QString openingPage; // the page a contents page links to for the module
    int read = 0;
    int total = 0;
};

// Every module of the course in course order, counted against the pages read.
QList<ModuleProgress> moduleProgress(const CoursePages &course, const QSet<QString> &read);

// The page the "first unread" key opens: the first unread page of
// `currentModule` in course order; in a module read to its end, the first
// unread page of the modules after it, then of those before it; with no
// current module, the course's first unread page. Nothing when every page
// has been read.
std::optional<QString> firstUnreadPage(const CoursePages &course, const QSet<QString> &read, int currentModule);

} // namespace Tamberlyn::Learner
