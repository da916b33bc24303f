#include "finderfiles.h"

#include <QDir>

namespace Tamberlyn::Finders {

QString wordsFilePath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(WordsFileName));
}

QString filesFilePath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(FilesFileName));
}

LoadedWordIndex loadWordIndex(const TableFileReader &reader, const QString &folder)
{
    const WordsRead words = reader.readWords(wordsFilePath(folder));
    LoadedWordIndex loaded{WordIndex(words.table), {}};
    if (words.message)
        loaded.messages.append(*words.message);
    return loaded;
}

LoadedSearchIndex loadSearchIndex(const TableFileReader &reader, const QString &folder)
{
    LoadedSearchIndex loaded;
    const FilesRead files = reader.readFiles(filesFilePath(folder));
    if (files.message)
        loaded.messages.append(*files.message);
    const WordsRead words = reader.readWords(wordsFilePath(folder));
    if (words.message)
        loaded.messages.append(*words.message);
    loaded.index = SearchIndex(words.table, files.table);
    return loaded;
}

} // namespace Tamberlyn::Finders
