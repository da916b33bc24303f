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
        if (isFile(Tables::wordsFilePath(folder)) || isFile(Tables::filesFilePath(folder)))
            return folder;
    }
    return folders.value(0);
}

} // namespace Tamberlyn::Finders
