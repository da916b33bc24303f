#include "wordsplitter.h"

namespace Tamberlyn::IndexTool {

namespace {

// Superscripts and fractions ("mm²", "½") are not part of a word: the
// learner cannot type them, and "mm" should find the page.
bool isWordChar(QChar c)
{
    return c.isLetter() || c.isMark() || c.category() == QChar::Number_DecimalDigit
        || c.category() == QChar::Number_Letter;
}

bool isApostrophe(QChar c)
{
    return c == u'\'' || c == u'\u2019';
}

} // namespace

QStringList splitWords(QStringView text)
{
    QStringList words;
    QString word;
    const auto finish = [&] {
        if (word.size() >= 2)
            words.append(word);
        word.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isWordChar(c)) {
            word += c;
        } else if (c.category() == QChar::Other_Format) {
            continue;
        } else if (isApostrophe(c) && !word.isEmpty() && word.back().isLetter() && i + 1 < text.size()
                   && text.at(i + 1).isLetter()) {
            word += u'\'';
        } else {
            finish();
        }
    }
    finish();
    return words;
}

} // namespace Tamberlyn::IndexTool
