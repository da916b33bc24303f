#include "calculator.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace Tamberlyn::Shell {

QString findCalculator(const QString &configured)
{
    if (!configured.isEmpty()) {
        const QFileInfo file(configured);
        if (file.isAbsolute())
            return file.isFile() && file.isExecutable() ? configured : QString();
        return QStandardPaths::findExecutable(configured);
    }
    for (const char *name : {"gnome-calculator", "kcalc", "galculator", "qalculate-gtk", "xcalc"}) {
        if (QString found = QStandardPaths::findExecutable(QLatin1String(name)); !found.isEmpty())
            return found;
    }
    return {};
}

} // namespace Tamberlyn::Shell
