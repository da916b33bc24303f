#include "transliteration.h"

#include <QHash>

namespace Tamberlyn::IndexTool {

namespace {

// Signs, arrows and letters of technical text that no decomposition
// reaches, each with what a writer limited to Windows-1252 would type.
const QHash<char16_t, QString> &spelledOut()
{
    static const QHash<char16_t, QString> table{
        {0x03A9, QStringLiteral("Ohm")}, // Ω, as in kΩ
        {0x2126, QStringLiteral("Ohm")}, // the ohm sign
        {0x03BC, QStringLiteral("\u00b5")}, // Greek mu as the micro sign
        // Letters whose stroke is no accent, so no decomposition drops it.
        {0x0141, QStringLiteral("L")},   {0x0142, QStringLiteral("l")},  {0x0110, QStringLiteral("D")},
        {0x0111, QStringLiteral("d")},   {0x0131, QStringLiteral("i")},  {0x0127, QStringLiteral("h")},
        {0x2212, QStringLiteral("-")},   // minus
        {0x2010, QStringLiteral("-")},   {0x2011, QStringLiteral("-")}, {0x2012, QStringLiteral("-")},
        {0x2264, QStringLiteral("<=")},  {0x2265, QStringLiteral(">=")}, {0x2260, QStringLiteral("!=")},
        {0x2248, QStringLiteral("~")},   {0x221E, QStringLiteral("infinity")},
        {0x2192, QStringLiteral("->")},  {0x2190, QStringLiteral("<-")}, {0x2194, QStringLiteral("<->")},
        {0x21D2, QStringLiteral("=>")},  {0x2022, QStringLiteral("\u2022")},
        {0x2032, QStringLiteral("'")},   {0x2033, QStringLiteral("\"")},  {0x2044, QStringLiteral("/")},
        {0x221A, QStringLiteral("sqrt")}, {0x2206, QStringLiteral("Delta")},
        {0x0391, QStringLiteral("A")},   {0x0392, QStringLiteral("B")},  {0x0393, QStringLiteral("G")},
        {0x0394, QStringLiteral("Delta")}, {0x0395, QStringLiteral("E")}, {0x0396, QStringLiteral("Z")},
        {0x0397, QStringLiteral("H")},   {0x0398, QStringLiteral("Th")}, {0x0399, QStringLiteral("I")},
        {0x039A, QStringLiteral("K")},   {0x039B, QStringLiteral("L")},  {0x039C, QStringLiteral("M")},
        {0x039D, QStringLiteral("N")},   {0x039E, QStringLiteral("X")},  {0x039F, QStringLiteral("O")},
        {0x03A0, QStringLiteral("P")},   {0x03A1, QStringLiteral("R")},  {0x03A3, QStringLiteral("S")},
        {0x03A4, QStringLiteral("T")},   {0x03A5, QStringLiteral("Y")},  {0x03A6, QStringLiteral("Ph")},
        {0x03A7, QStringLiteral("Ch")},  {0x03A8, QStringLiteral("Ps")},
        {0x03B1, QStringLiteral("alpha")}, {0x03B2, QStringLiteral("beta")}, {0x03B3, QStringLiteral("gamma")},
        {0x03B4, QStringLiteral("delta")}, {0x03B5, QStringLiteral("epsilon")}, {0x03B6, QStringLiteral("zeta")},
        {0x03B7, QStringLiteral("eta")}, {0x03B8, QStringLiteral("theta")}, {0x03B9, QStringLiteral("iota")},
        {0x03BA, QStringLiteral("kappa")}, {0x03BB, QStringLiteral("lambda")}, {0x03BD, QStringLiteral("nu")},
        {0x03BE, QStringLiteral("xi")},  {0x03BF, QStringLiteral("o")},   {0x03C0, QStringLiteral("pi")},
        {0x03C1, QStringLiteral("rho")}, {0x03C2, QStringLiteral("s")},   {0x03C3, QStringLiteral("sigma")},
        {0x03C4, QStringLiteral("tau")}, {0x03C5, QStringLiteral("u")},   {0x03C6, QStringLiteral("phi")},
        {0x03C7, QStringLiteral("chi")}, {0x03C8, QStringLiteral("psi")}, {0x03C9, QStringLiteral("omega")},
    };
    return table;
}

} // namespace

QString closestInCodePage(QStringView text, const Tables::CodePage &codePage)
{
    QString closest;
    closest.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        // One whole character, a surrogate pair included.
        const qsizetype length =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        const QStringView character = text.sliced(i, length);
        i += length;
        if (codePage.canEncode(character)) {
            closest += character;
            continue;
        }
        const auto spelled = spelledOut().constFind(character.at(0).unicode());
        if (length == 1 && spelled != spelledOut().cend()) {
            closest += *spelled;
            continue;
        }
        // The compatibility decomposition, keeping what the code page holds
        // or the table spells: the base letter without the accent it lacks,
        // a ligature's letters, a fraction's digits and slash.
        const QString decomposed = character.toString().normalized(QString::NormalizationForm_KD);
        if (decomposed == character)
            continue;
        for (const QChar c : decomposed) {
            const auto part = spelledOut().constFind(c.unicode());
            if (part != spelledOut().cend())
                closest += *part;
            else if (!c.isMark() && codePage.canEncode(QStringView(&c, 1)))
                closest += c;
        }
    }
    return closest;
}

} // namespace Tamberlyn::IndexTool
