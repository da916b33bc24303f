#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace Tamberlyn::Learner {

// One page of the course in course order, with the module it belongs to.
struct CoursePage
{
    QString page;  // page name, e.g. "kq020003.vxp"
    QString title; // as the course's page list gives it; may be empty
    int module = 0;
};

// The course's pages in course order, module by module. Taken from the
// course's page list in the index files ("files.vxp"), or, where those are
// missing, from the links of the course map page. Only the pages of a
// module count ("kqMMNNNN.vxp" with a module number); contents, practice
// and trigger pages are no reading.
class CoursePages final
{
public:
    CoursePages() = default;

    // Lines of "files.vxp": page file and title, in line order.
    static CoursePages fromPageList(const QList<std::pair<QString, QString>> &lines);
    // The course map's links in document order: absolute addresses or
    // page names; the text after "kq/" is taken as the page.
    static CoursePages fromCourseMap(const QStringList &links);

    bool isEmpty() const { return m_pages.isEmpty(); }
    const QList<CoursePage> &pages() const { return m_pages; }
    // The modules in the order they first come.
    const QList<int> &modules() const { return m_modules; }
    // The pages of a module by name, in course order.
    QStringList pageNamesOf(int module) const { return m_byModule.value(module); }
    // The module's opening page ("kqMM0001.vxp"), which a contents page links to.
    static QString openingPageOf(int module);
    // "Module 2 - Safety" as the opening page's title gives it, else "Module 2".
    QString moduleTitle(int module) const;
    QString titleOf(const QString &page) const;
    // The place of a page in course order; -1 for a page not in the list.
    int orderOf(const QString &page) const;

private:
    void add(const QString &page, const QString &title);

    QList<CoursePage> m_pages;
    QList<int> m_modules;
    QHash<QString, int> m_order;
    QHash<int, QStringList> m_byModule;
};

// The module a page belongs to for the record: the number of a "kqMM…"
// name, or of a module page "modMM…"/"objMM…"; 0 for none.
int moduleOfPage(const QString &page);

} // namespace Tamberlyn::Learner
