#include "pagedispatch.h"

#include "coursemap.h"

namespace Tamberlyn::Navigation {

namespace {

// "kq" + letter + ".vxp" or "kqcr" + letter + ".vxp" for any letter a..k.
bool isSizedName(const QString &pageName, QLatin1String prefix)
{
    for (int sizeClass = FirstSizeClass; sizeClass <= LastSizeClass; ++sizeClass) {
        if (pageName == prefix + *sizeLetter(sizeClass) + QLatin1String(".vxp"))
            return true;
    }
    return false;
}

// "kqMM0001.vxp" → "modMM", "kqMM0002.vxp" → "objMM", for MM = 01..07.
QString moduleStubLabel(const QString &pageName)
{
    for (int module = 1; module <= 7; ++module) {
        const QString mm = QStringLiteral("0%1").arg(module);
        if (pageName == QLatin1String("kq") + mm + QLatin1String("0001.vxp"))
            return QLatin1String("mod") + mm;
        if (pageName == QLatin1String("kq") + mm + QLatin1String("0002.vxp"))
            return QLatin1String("obj") + mm;
    }
    return {};
}

} // namespace

PageDispatch dispatchFor(const QString &pageName)
{
    if (pageName.startsWith(QLatin1String("fig")) || pageName == QLatin1String("title.vxp"))
        return {PageReaction::VideoTrigger, {}};
    if (pageName.startsWith(QLatin1Char('v')))
        return {PageReaction::SoundTrigger, {}};
    if (pageName.startsWith(QLatin1String("mod")) || pageName.startsWith(QLatin1String("obj")))
        return {PageReaction::BindLinks, {}};
    if (examPathOf(pageName))
        return {PageReaction::ExamTrigger, {}};
    if (pageName == QLatin1String("search.vxp"))
        return {PageReaction::SearchTrigger, {}};
    if (pageName == QLatin1String("index.vxp"))
        return {PageReaction::IndexTrigger, {}};
    if (pageName == QLatin1String("hist.vxp"))
        return {PageReaction::HistoryTrigger, {}};
    if (isSizedName(pageName, QLatin1String("kq")))
        return {PageReaction::Contents, {}};
    if (isSizedName(pageName, QLatin1String("kqcr")))
        return {PageReaction::AlternateContents, {}};
    if (QString label = moduleStubLabel(pageName); !label.isEmpty())
        return {PageReaction::ModuleStub, label};
    return {PageReaction::Ordinary, {}};
}

} // namespace Tamberlyn::Navigation
