#include "readingprogress.h"

namespace Tamberlyn::Learner {

QList<ModuleProgress> moduleProgress(const CoursePages &course, const QSet<QString> &read)
{
    QList<ModuleProgress> progress;
    progress.reserve(course.modules().size());
    for (const int module : course.modules())
        progress.append({module, CoursePages::openingPageOf(module), 0, 0});
    for (const CoursePage &page : course.pages()) {
        const auto at = course.modules().indexOf(page.module);
        ModuleProgress &entry = progress[at];
        ++entry.total;
        if (read.contains(page.page))
            ++entry.read;
    }
    return progress;
}

std::optional<QString> firstUnreadPage(const CoursePages &course, const QSet<QString> &read, int currentModule)
{
    const QList<int> &modules = course.modules();
    // The current module first, then the ones after it, then from the start.
    QList<int> order;
    const auto current = modules.indexOf(currentModule);
    if (current >= 0) {
        order.append(modules.mid(current));
        order.append(modules.mid(0, current));
    } else {
        order = modules;
    }
    for (const int module : order) {
        for (const CoursePage &page : course.pages()) {
            if (page.module == module && !read.contains(page.page))
                return page.page;
        }
    }
    return std::nullopt;
}

} // namespace Tamberlyn::Learner
