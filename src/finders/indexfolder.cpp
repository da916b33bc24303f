#include "indexfolder.h"

#include "tables/tablefiles.h"

#include <QDir>

namespace Tamberlyn::Finders {

QStringList indexFolderCandidates(const QString &programFolder, const QString &dataFolderFromProgram)
{
    QStringList folders{programFolder};
    if (!dataFolderFromProgram.isEmpty())
        folders << QDir::cleanPath(QDir(programFolder).filePath(dataFolderFromProgram));
    return folders;
}

QString indexFolder(const QStringList &folders, const std::function<bool(const QString &path)> &isFile)
{
    for (const QString &folder : folders) {
        // A first build stopped after its commit has its pair in the ready
        // folder only; the pair is read from there.
        const QString ready = QDir(folder).filePath(QLatin1String(Tables::ReadyFolderName));
        if (isFile(Tables::wordsFilePath(folder)) || isFile(Tables::filesFilePath(folder))
            || isFile(Tables::wordsFilePath(ready)) || isFile(Tables::filesFilePath(ready)))
            return folder;
    }
    return folders.value(0);
}

} // namespace Tamberlyn::Finders
