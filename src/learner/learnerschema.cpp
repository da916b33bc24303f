#include "learnerschema.h"

namespace Tamberlyn::Learner {

const QList<SchemaStep> &learnerSchemaSteps()
{
    // Version 1. One row per course address; deleting it (forget) takes
    // everything of that course with it. Every visit is kept with its time;
    // the pages read are also summed up per page, so that opening a record
    // of years of visits reads a few thousand rows, not all of them.
    static const QList<SchemaStep> steps{
        {1,
         {
             QStringLiteral("CREATE TABLE courses ("
                            " id INTEGER PRIMARY KEY,"
                            " address TEXT NOT NULL UNIQUE)"),
             QStringLiteral("CREATE TABLE visits ("
                            " id INTEGER PRIMARY KEY,"
                            " course INTEGER NOT NULL REFERENCES courses(id) ON DELETE CASCADE,"
                            " page TEXT NOT NULL,"
                            " at INTEGER NOT NULL)"),
             QStringLiteral("CREATE INDEX visits_of_course ON visits(course, at)"),
             QStringLiteral("CREATE TABLE pages_read ("
                            " course INTEGER NOT NULL REFERENCES courses(id) ON DELETE CASCADE,"
                            " page TEXT NOT NULL,"
                            " first_at INTEGER NOT NULL,"
                            " last_at INTEGER NOT NULL,"
                            " times INTEGER NOT NULL,"
                            " PRIMARY KEY (course, page)) WITHOUT ROWID"),
             QStringLiteral("CREATE TABLE resume_spots ("
                            " course INTEGER PRIMARY KEY REFERENCES courses(id) ON DELETE CASCADE,"
                            " page TEXT NOT NULL,"
                            " title TEXT NOT NULL,"
                            " spot TEXT NOT NULL,"
                            " at INTEGER NOT NULL)"),
             QStringLiteral("CREATE TABLE bookmarks ("
                            " course INTEGER NOT NULL REFERENCES courses(id) ON DELETE CASCADE,"
                            " id INTEGER NOT NULL,"
                            " page TEXT NOT NULL,"
                            " title TEXT NOT NULL,"
                            " spot TEXT NOT NULL,"
                            " note TEXT NOT NULL,"
                            " created_at INTEGER NOT NULL,"
                            " changed_at INTEGER NOT NULL,"
                            " PRIMARY KEY (course, id)) WITHOUT ROWID"),
         }},
    };
    return steps;
}

} // namespace Tamberlyn::Learner
