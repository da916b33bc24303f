#include "coursemap.h"

#include <QRegularExpression>

#include <array>
#include <cmath>

namespace Tamberlyn::Navigation {

namespace {

const QString PageMarker = QStringLiteral("kq/");
const QString VxpSuffix = QStringLiteral(".vxp");

// Two characters "read as a number" the way the course's page names were
// written to be read: a decimal number, surrounding blanks and a sign
// allowed, stored as the nearest integer.
std::optional<int> twoCharacterNumber(const QString &pageName, qsizetype from)
{
    if (pageName.size() < from + 2)
        return std::nullopt;
    static const QRegularExpression numeric(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$)"));
    const QString text = pageName.mid(from, 2);
    if (!numeric.match(text).hasMatch())
        return std::nullopt;
    return static_cast<int>(std::nearbyint(text.trimmed().toDouble()));
}

// N up to, not including, its first ".vxp".
std::optional<QString> fileStem(const QString &pageName)
{
    const qsizetype at = pageName.indexOf(VxpSuffix);
    if (at < 0)
        return std::nullopt;
    return pageName.left(at);
}

} // namespace

std::optional<QString> pageNameOf(const QString &address)
{
    const qsizetype at = address.indexOf(PageMarker);
    if (at < 0)
        return std::nullopt;
    return address.mid(at + PageMarker.size());
}

std::optional<QChar> sizeLetter(int sizeClass)
{
    if (sizeClass < FirstSizeClass || sizeClass > LastSizeClass)
        return std::nullopt;
    return QChar(u'a' + (sizeClass - FirstSizeClass));
}

QChar contentsSizeLetter(int sizeClass)
{
    return sizeLetter(sizeClass).value_or(QLatin1Char('a'));
}

std::optional<QString> sizedAddress(const QString &base, const QString &prefix, int sizeClass,
                                    SizeFallback fallback)
{
    std::optional<QChar> letter = sizeLetter(sizeClass);
    if (!letter && fallback == SizeFallback::ToFirstVariant)
        letter = QLatin1Char('a');
    if (!letter)
        return std::nullopt;
    return base + prefix + *letter + VxpSuffix;
}

QString contentsPageName(int sizeClass)
{
    return QStringLiteral("kq") + contentsSizeLetter(sizeClass) + VxpSuffix;
}

std::optional<int> moduleNumberOf(const QString &pageName)
{
    if (pageName.startsWith(QLatin1String("kq"))) {
        if (auto number = twoCharacterNumber(pageName, 2))
            return number;
    }
    if (pageName.startsWith(QLatin1String("mod")) || pageName.startsWith(QLatin1String("obj")))
        return twoCharacterNumber(pageName, 3);
    return std::nullopt;
}

std::optional<MediaAddress> mediaAddressOf(const QString &base, const QString &pageName)
{
    if (pageName == QLatin1String("title.vxp"))
        // Appended as it stands: with the base's own trailing "/" the address
        // holds two slashes in a row, and the course server lays its files out
        // for exactly that address.
        return MediaAddress{MediaAddress::Kind::Video, base + QStringLiteral("/kq/title.avi")};

    const auto stem = fileStem(pageName);
    if (pageName.startsWith(QLatin1String("fig")) && stem)
        return MediaAddress{MediaAddress::Kind::Video,
                            base + QLatin1Char('c') + pageName.mid(3, 2) + QLatin1Char('/') + *stem
                                + QStringLiteral(".avi")};
    if (pageName.startsWith(QLatin1Char('v')) && stem)
        return MediaAddress{MediaAddress::Kind::Sound,
                            base + QLatin1Char('c') + pageName.mid(1, 2) + QLatin1Char('/') + *stem
                                + QStringLiteral(".wav")};
    return std::nullopt;
}

std::optional<QString> examPathOf(const QString &pageName)
{
    static const std::array<const char *, 7> slugs = {
        "introduction-to-solar-pv-systems", "safety", "dc-and-ac-circuits", "power-electronics",
        "solar-pv-panels--arrays", "solar-pv-system-sizing", "installation--maintenance",
    };
    for (std::size_t i = 0; i < slugs.size(); ++i) {
        if (pageName == QStringLiteral("pe0%1.vxp").arg(i + 1))
            return QStringLiteral("/practicestudent/exam/tamberlyn/") + QLatin1String(slugs[i]);
    }
    return std::nullopt;
}

QString examAddress(const QString &examHost, const QString &examPath)
{
    return QStringLiteral("https://") + examHost + examPath;
}

} // namespace Tamberlyn::Navigation
