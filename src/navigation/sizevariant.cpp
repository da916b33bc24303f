#include "sizevariant.h"

#include "coursemap.h"

namespace Tamberlyn::Navigation {

namespace {

// "mod"/"obj" + the two characters after its first occurrence, re-lettered.
void swapModulePage(QString &address, QLatin1String family, const QString &fileLocn, int sizeClass)
{
    const qsizetype at = address.indexOf(family);
    if (at < 0)
        return;
    if (const auto letter = sizeLetter(sizeClass))
        address = fileLocn + family + address.mid(at + family.size(), 2) + *letter + QLatin1String(".vxp");
}

bool holdsContentsPage(const QString &address)
{
    for (int sizeClass = FirstSizeClass; sizeClass <= LastSizeClass; ++sizeClass) {
        if (address.contains(contentsPageName(sizeClass)))
            return true;
    }
    return false;
}

} // namespace

QString sizeVariantAddress(const QString &address, const QString &fileLocn, int sizeClass)
{
    QString result = address;
    swapModulePage(result, QLatin1String("mod"), fileLocn, sizeClass);
    swapModulePage(result, QLatin1String("obj"), fileLocn, sizeClass);
    if (result.contains(QLatin1String("kqprac"))) {
        if (const auto letter = sizeLetter(sizeClass))
            result = fileLocn + QLatin1String("kqprac") + *letter + QLatin1String(".vxp");
    }
    if (holdsContentsPage(result))
        result = fileLocn + contentsPageName(sizeClass);
    return result;
}

} // namespace Tamberlyn::Navigation
