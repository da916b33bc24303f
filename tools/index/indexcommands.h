#pragma once

#include "indexpairswitch.h"

#include "tables/tablefilereader.h"

#include <QStringList>
#include <QTextStream>

namespace Tamberlyn::IndexTool {

class CourseIndex;

// The subcommands of tamberlyn-index. Results go to `out` and problems to
// `err`, each line ended by LF, in UTF-8. Exit codes: 0 done, 1 the command
// failed or (check) found problems, 2 the command line was wrong.
class IndexCommands final
{
public:
    IndexCommands(QTextStream &out, QTextStream &err);
    Q_DISABLE_COPY_MOVE(IndexCommands)

    int run(const QStringList &arguments);

private:
    int build(const QString &courseDir, const QString &outDir);
    int check(const QString &dir);
    int words(const QString &dir, const QString &text);
    int search(const QString &dir, const QString &query);
    int history(const QString &dir, const QString &historyFile);

    // Says how a failed switch left the folder, plainly; exit code 1.
    int switchFailed(const IndexPairSwitch::Result &result, const QString &outDir);
    void reportUnwritable(const CourseIndex &index, const Tables::CodePage &codePage);
    int usage(int exitCode);
    int fail(const QString &problem, int exitCode = 1);
    bool isFolder(const QString &dir);
    void showMessages(const QList<Tables::TableMessage> &messages);

    QTextStream &m_out;
    QTextStream &m_err;
    Tables::TableFileReader m_reader;
};

} // namespace Tamberlyn::IndexTool
