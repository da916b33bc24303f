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

// The plain character a joiner is written as, or nothing for one that
// does not join.
QChar joinerAs(QChar c)
{
    switch (c.unicode()) {
    case u'\'':
    case 0x2019:
    case 0x2018:
    case 0x02BC:
        return u'\'';
    case u'-':
    case 0x2010:
    case 0x2011:
        return u'-';
    default:
        return {};
    }
}

} // namespace

QStringList splitWords(QStringView text)
{
    QStringList words;
    QString word;
    // Where each part of the compound being read begins, after the first.
    QList<qsizetype> partStarts;
    QChar pendingJoiner; // a joiner read after a word character
    const auto finish = [&] {
        if (!word.isEmpty()) {
            words.append(word);
            for (const qsizetype start : std::as_const(partStarts))
                words.append(word.sliced(start));
        }
        word.clear();
        partStarts.clear();
        pendingJoiner = QChar();
    };
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Format)
            continue;
        // Before the letters: the modifier letter apostrophe is a letter.
        const QChar joiner = joinerAs(c);
        if (joiner.isNull() && isWordChar(c)) {
            if (!pendingJoiner.isNull()) {
                word += pendingJoiner;
                partStarts.append(word.size());
                pendingJoiner = QChar();
            }
            word += c;
            continue;
        }
        if (!joiner.isNull() && !word.isEmpty() && pendingJoiner.isNull()) {
            pendingJoiner = joiner;
            continue;
        }
        finish();
    }
    finish();
    return words;
}

} // namespace Tamberlyn::IndexTool
