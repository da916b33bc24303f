#include "coursepages.h"

#include "coursekey.h"

#include "navigation/coursemap.h"

namespace Tamberlyn::Learner {

namespace {

// Only course pages of a module: "kq" and two digits, as the page names' rule has it.
int moduleOfCoursePage(const QString &page)
{
    if (!page.startsWith(QLatin1String("kq")))
        return 0;
    return Navigation::moduleNumberOf(page).value_or(0);
}

} // namespace

int moduleOfPage(const QString &page)
{
    return Navigation::moduleNumberOf(page).value_or(0);
}

void CoursePages::add(const QString &page, const QString &title)
{
    const QString name = pageKey(page.trimmed());
    const int module = moduleOfCoursePage(name);
    if (module <= 0 || m_order.contains(name))
        return;
    m_order.insert(name, static_cast<int>(m_pages.size()));
    m_pages.append({name, title.trimmed(), module});
    m_byModule[module].append(name);
    if (!m_modules.contains(module))
        m_modules.append(module);
}

CoursePages CoursePages::fromPageList(const QList<std::pair<QString, QString>> &lines)
{
    CoursePages pages;
    for (const auto &[page, title] : lines)
        pages.add(page, title);
    return pages;
}

CoursePages CoursePages::fromCourseMap(const QStringList &links)
{
    CoursePages pages;
    for (const QString &link : links)
        pages.add(Navigation::pageNameOf(link).value_or(link), QString());
    return pages;
}

QString CoursePages::openingPageOf(int module)
{
    return QStringLiteral("kq%1%2.vxp").arg(module, 2, 10, QLatin1Char('0')).arg(QStringLiteral("0001"));
}

QString CoursePages::moduleTitle(int module) const
{
    const QString title = titleOf(openingPageOf(module));
    return title.isEmpty() ? QStringLiteral("Module %1").arg(module) : title;
}

QString CoursePages::titleOf(const QString &page) const
{
    const int at = orderOf(page);
    return at < 0 ? QString() : m_pages.at(at).title;
}

int CoursePages::orderOf(const QString &page) const
{
    return m_order.value(pageKey(page), -1);
}

} // namespace Tamberlyn::Learner
