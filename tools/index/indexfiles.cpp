#include "indexfiles.h"

namespace Tamberlyn::IndexTool {

QByteArray filesVxp(const QList<Tables::PageLine> &pages, const Tables::CodePage &codePage)
{
    QByteArray bytes;
    for (qsizetype n = 0; n < pages.size(); ++n) {
        bytes += QByteArray::number(n + 1) + '\t' + codePage.encode(pages.at(n).pageFile) + '\t'
            + codePage.encode(pages.at(n).title) + "\r\n";
    }
    return bytes;
}

QByteArray wordsVxp(const QList<Tables::WordLine> &words, const Tables::CodePage &codePage)
{
    QByteArray bytes;
    for (const Tables::WordLine &word : words)
        bytes += codePage.encode(word.word) + '\t' + codePage.encode(word.fileList) + "\r\n";
    return bytes;
}

} // namespace Tamberlyn::IndexTool
