#include "wordsplitter.h"

#include <algorithm>

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

// Hands on the words of one compound: whole and from each part on, each
// cut after its last whole part within MaxWordLength. `starts` holds where
// each part begins; a part ends one character before the next one begins
// (at its joiner), the last one at the end of the compound.
void takeCompound(QStringView compound, const QList<qsizetype> &starts,
                  const std::function<void(QStringView word)> &take)
{
    const qsizetype parts = starts.size();
    const auto endOf = [&](qsizetype part) { return part + 1 < parts ? starts.at(part + 1) - 1 : compound.size(); };
    qsizetype last = 0; // the last part the word from the current one takes
    for (qsizetype part = 0; part < parts; ++part) {
        const qsizetype begin = starts.at(part);
        last = std::max(last, part);
        if (endOf(part) - begin > MaxWordLength)
            continue; // a part too long to be a word on its own
        while (last + 1 < parts && endOf(last + 1) - begin <= MaxWordLength)
            ++last;
        take(compound.sliced(begin, endOf(last) - begin));
    }
}

} // namespace

void forEachWord(QStringView text, const std::function<void(QStringView word)> &take)
{
    QString word;
    // Where each part of the compound being read begins.
    QList<qsizetype> partStarts{0};
    QChar pendingJoiner; // a joiner read after a word character
    const auto finish = [&] {
        if (!word.isEmpty())
            takeCompound(word, partStarts, take);
        word.clear();
        partStarts = {0};
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
}

QStringList splitWords(QStringView text)
{
    QStringList words;
    forEachWord(text, [&](QStringView word) { words.append(word.toString()); });
    return words;
}

} // namespace Tamberlyn::IndexTool
