// tamberlyn-index: the course author's tool for the word index. It builds
// "words.vxp" and "files.vxp" from a course's pages, checks them, and shows
// what the Search, Index and History windows would list, with the same code
// the windows use.
#include "indexcommands.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tamberlyn-index"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAMBERLYN_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    Tamberlyn::IndexTool::IndexCommands commands(out, err);
    return commands.run(QCoreApplication::arguments().mid(1));
}
