#include "role.h"

#include <QFileInfo>

namespace Tamberlyn::Simulator {

QString roleName(Role role)
{
    return role == Role::Orvanix ? QStringLiteral("Orvanix") : QStringLiteral("Prismo");
}

std::optional<Role> roleFromArgument(const QString &argument)
{
    if (argument.compare(QLatin1String("orvanix"), Qt::CaseInsensitive) == 0)
        return Role::Orvanix;
    if (argument.compare(QLatin1String("prismo"), Qt::CaseInsensitive) == 0)
        return Role::Prismo;
    return std::nullopt;
}

std::optional<Role> roleFromProgramName(const QString &programPath)
{
    QString name = QFileInfo(programPath).fileName();
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        name.chop(4);
    if (name.compare(QLatin1String("orvane"), Qt::CaseInsensitive) == 0)
        return Role::Orvanix;
    if (name.compare(QLatin1String("prismo"), Qt::CaseInsensitive) == 0)
        return Role::Prismo;
    return std::nullopt;
}

} // namespace Tamberlyn::Simulator
