#include "lookscript.h"

#include "pagelookengine.h"

namespace Tamberlyn::Reading {

QString pageLookEngine()
{
    return QString::fromUtf8(PageLookEngine);
}

QString documentLookScript(Look look)
{
    return pageLookEngine() + QStringLiteral("\nwindow.__tamberlynLook.start('%1');\n").arg(lookName(look));
}

QString applyLookScript(Look look)
{
    return pageLookEngine() + QStringLiteral("\nwindow.__tamberlynLook.apply('%1');\n").arg(lookName(look));
}

QString lastLookScript()
{
    return QStringLiteral("window.__tamberlynLook ? window.__tamberlynLook.last() : null");
}

} // namespace Tamberlyn::Reading
