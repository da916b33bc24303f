#include "tablefiles.h"

#include <QDir>

namespace Tamberlyn::Tables {

QString wordsFilePath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(WordsFileName));
}

QString filesFilePath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(FilesFileName));
}

} // namespace Tamberlyn::Tables
