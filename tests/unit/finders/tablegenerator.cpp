#include "tablegenerator.h"

using namespace Qt::StringLiterals;

namespace {

class Maker
{
public:
    explicit Maker(quint32 seed)
        : m_random(seed)
    {
    }

    int below(int n) { return int(m_random.bounded(quint32(n))); }
    bool chance(int percent) { return below(100) < percent; }

    QString syllables(int count)
    {
        // A small alphabet, so prefixes are shared by many words; é and ÿ
        // test the letter case of the code page's upper half.
        static const QStringList parts{u"ca"_s, u"ble"_s, u"wi"_s, u"re"_s, u"so"_s, u"lar"_s,
                                       u"pv"_s, u"\u00e9t"_s, u"\u00ffa"_s, u"in"_s, u"v"_s};
        QString word;
        for (int i = 0; i < count; ++i)
            word += parts.at(below(int(parts.size())));
        return word;
    }

    QString withCase(QString text)
    {
        for (QChar &c : text) {
            if (chance(30))
                c = c.toUpper();
        }
        return text;
    }

private:
    QRandomGenerator m_random;
};

QString pageFileName(Maker &make, int line, const QStringList &earlier)
{
    if (!earlier.isEmpty() && make.chance(5))
        return earlier.at(make.below(int(earlier.size()))); // the same page twice
    const QString name = u"kq%1%2.vxp"_s.arg(make.below(8), 2, 10, QChar(u'0')).arg(line, 4, 10, QChar(u'0'));
    if (make.chance(4))
        return name.mid(3 + make.below(4)); // part of other names, e.g. "0012.vxp"
    if (make.chance(5))
        return make.withCase(name);
    return name;
}

} // namespace

GeneratedIndex generateIndex(quint32 seed, const GeneratorShape &shape)
{
    Maker make(seed);
    GeneratedIndex index;

    QStringList pageFiles;
    for (int line = 1; line <= shape.pages; ++line) {
        // A blank line holds no page and ends the History window's table, so
        // only the second half has them.
        if (shape.faults && line > shape.pages / 2 && make.chance(4)) {
            index.files += u"\r\n"_s;
            continue;
        }
        QString page = pageFileName(make, line, pageFiles);
        if (shape.faults && make.chance(3))
            page = u" "_s + page + u" "_s;
        pageFiles.append(page);
        index.files += QString::number(line) + u'\t' + page + u'\t' + make.withCase(make.syllables(3)) + u"\r\n"_s;
    }

    QStringList words;
    for (int line = 1; line <= shape.words; ++line) {
        if (shape.faults && make.chance(2)) {
            index.words += u"\r\n"_s;
            continue;
        }
        QString word = make.withCase(make.syllables(1 + make.below(4)));
        words.append(word);
        if (shape.faults && make.chance(5))
            word = (make.chance(50) ? u" "_s : QString()) + word + u"  "_s;
        QString list;
        const int count = 1 + make.below(shape.filesPerWord);
        for (int i = 0; i < count; ++i) {
            QString number = QString::number(1 + make.below(shape.pages));
            if (shape.faults && make.chance(3)) {
                static const QStringList bad{u"0"_s, u"12401"_s, u"x"_s, QString(), u"99999999999"_s, u"-3"_s};
                number = bad.at(make.below(int(bad.size())));
            }
            list += number;
            if (!(shape.faults && i == count - 1 && make.chance(10)))
                list += u'\t';
        }
        index.words += word + u'\t' + list + u"\r\n"_s;
    }

    for (int q = 0; q < shape.queries; ++q) {
        const auto prefix = [&] {
            const QString word = words.isEmpty() ? make.syllables(1) : words.at(make.below(int(words.size())));
            return make.withCase(word.left(1 + make.below(int(word.size()))));
        };
        switch (make.below(6)) {
        case 0:
            index.queries.append(u"  "_s + prefix() + u" "_s);
            break;
        case 1:
        case 2:
            index.queries.append(prefix() + u"   "_s.left(1 + make.below(3)) + prefix());
            break;
        case 3:
            index.queries.append(prefix() + u" "_s + prefix() + u" "_s + prefix());
            break;
        case 4:
            index.queries.append(make.chance(50) ? QString() : u"   "_s);
            break;
        default:
            index.queries.append(prefix());
        }
    }

    for (int i = 0; i < shape.historyLines; ++i) {
        QString name = pageFiles.isEmpty() ? u"kqb.vxp"_s : pageFiles.at(make.below(int(pageFiles.size()))).trimmed();
        if (make.chance(10))
            name = u"kq%1.vxp"_s.arg(make.below(100000)); // never in the table
        if (make.chance(10))
            name = make.withCase(name);
        // Lines without their quotes test that the first character is never
        // searched.
        const QString quote = shape.faults && make.chance(5) ? QString() : u"\""_s;
        index.history += (shape.faults && make.chance(3) ? u"  "_s : QString()) + quote + name + quote + u"\r\n"_s;
        if (shape.faults && make.chance(2))
            index.history += u" \r\n"_s;
    }
    return index;
}
