#include "launchtarget.h"

#include "platform/ansicodepage.h"

#include <QRegularExpression>

namespace Tamberlyn::SimBridge {

namespace {

QString joined(PathStyle style, std::initializer_list<const char *> parts, bool trailing)
{
    const QChar separator = style == PathStyle::Windows ? QLatin1Char('\\') : QLatin1Char('/');
    QString path;
    for (const char *part : parts)
        path += separator + QLatin1String(part);
    if (trailing)
        path += separator;
    return path;
}

} // namespace

LaunchTarget launchTargetFor(Simulator simulator, const QString &commandLine, const QString &appData,
                             const QString &programFiles, PathStyle style)
{
    const bool windows = style == PathStyle::Windows;
    LaunchTarget target;
    target.simulator = simulator;
    if (simulator == Simulator::Prismo) {
        target.circuitPath = appData + joined(style, {"Marrowick", "Prismo", "RUD_CIRS"}, true) + commandLine;
        target.windowTitle = QStringLiteral("Prismo -");
        target.program = programFiles + joined(style, {"Marrowick", "Prismo", windows ? "Prismo.exe" : "Prismo"}, false);
        target.notFoundMessage = QStringLiteral("Could not find Prismo. Please retry or run Setup on the USB.");
        target.requestCode = 2;
    } else {
        target.circuitPath = appData + joined(style, {"Marrowick", "Orvanix", "VK_CKTS"}, true) + commandLine;
        target.windowTitle = QStringLiteral("Orvanix");
        target.program = programFiles + joined(style, {"Marrowick", "Orvanix", windows ? "orvane.exe" : "orvane"}, false);
        target.notFoundMessage = QStringLiteral("Could not find Orvanix. Please retry or run Setup on the USB.");
        // The bare word asks for the simulator without a circuit: the
        // request code the simulator holds stays as it was.
        if (commandLine != QLatin1String("kq0000"))
            target.requestCode = 3;
    }
    return target;
}

bool staysInCircuitFolder(const QString &commandLine)
{
    static const QRegularExpression parent(QStringLiteral(R"((^|[\\/])\.\.([\\/]|$))"));
    return !parent.match(commandLine).hasMatch();
}

QByteArray pathImage(const QString &path)
{
    QByteArray image = Platform::toAnsi(path).left(255);
    image.append(255 - image.size(), '\0');
    return image;
}

} // namespace Tamberlyn::SimBridge
