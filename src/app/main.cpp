#include "platform/certificatepins.h"
#include "platform/posix/posixsharedmemory.h"
#include "platform/qt/desktopshell.h"
#include "platform/qt/messageboxdialogs.h"
#include "platform/qt/qtwindowsystem.h"
#include "platform/qt/systemclock.h"
#include "platform/qt/webenginepane.h"
#include "shell/filechecks.h"
#include "shell/frmvk.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "simbridge/sharedblocks.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>

#include <cstdio>

using namespace Tamberlyn;

namespace {

// Settings that cannot work are refused before anything starts.
bool reportProblems(const QStringList &problems, Platform::Dialogs &dialogs)
{
    if (problems.isEmpty())
        return false;
    const QString text = problems.join(QLatin1Char('\n'));
    std::fprintf(stderr, "tamberlyn: %s\n", qPrintable(text));
    dialogs.ask(nullptr, {text, QStringLiteral("Tamberlyn"), Platform::Dialogs::Icon::Critical,
                          Platform::Dialogs::Buttons::Ok, std::nullopt});
    return true;
}

Platform::CertificatePins pinsFrom(const Shell::Settings &settings)
{
    Platform::CertificatePins pins;
    if (const auto pin = Platform::CertificatePins::parseFingerprint(settings.coursePin))
        pins.pin(settings.courseHost, *pin);
    if (const auto pin = Platform::CertificatePins::parseFingerprint(settings.examPin))
        pins.pin(settings.examHost, *pin);
    return pins;
}

// Going back must load and report the page again, as every page-load run
// relies on; a page restored whole from the back-forward cache would not be.
void keepBackStepsReported()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-back-forward-cache"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + " --disable-back-forward-cache");
}

} // namespace

int main(int argc, char *argv[])
{
    keepBackStepsReported();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tamberlyn"));
    QApplication::setOrganizationName(QStringLiteral("Marrowick"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tamberlyn"));

    Platform::DesktopShell shell;
    Platform::MessageBoxDialogs dialogs;
    Platform::QtWindowSystem windows;
    Platform::SystemClock clock;

    const QSettings ini(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marrowick"),
                        QStringLiteral("Tamberlyn"));
    const Shell::Settings settings = Shell::Settings::read(
        ini, [&shell](const QString &name) { return shell.environmentValue(name); });
    if (reportProblems(settings.problems(), dialogs))
        return 2;
    const Platform::CertificatePins pins = pinsFrom(settings);

    Platform::PosixSharedMemory sharedMemory;
    SimBridge::SharedBlocks channel(sharedMemory, dialogs);
    Shell::FrmVK frmVK([&pins](QWidget *parent) { return new Platform::WebEnginePane(pins, parent); },
                       {shell, clock, windows, channel, settings});
    channel.setDialogOwner(&frmVK);
    Shell::FileChecks files(dialogs, [&frmVK] { frmVK.EndVK(); });
    files.setOwner(&frmVK);

    Shell::Startup startup(
        frmVK.state(), settings, {shell, windows, channel, files},
        {
            .loadInWeb1 = [&frmVK](const QString &address) { frmVK.web1().navigate(address); },
            .enableTimerEnd = [&frmVK] { frmVK.timerEnd().start(); },
            .setTitles =
                [&frmVK](const QString &title) {
                    frmVK.setWindowTitle(title);
                    QApplication::setApplicationDisplayName(title);
                },
            .endVK = [&frmVK] { frmVK.EndVK(); },
            .runPopup =
                [&frmVK](const QString &) {
                    std::fputs("tamberlyn: picture pop-ups are not available in this build\n", stderr);
                    frmVK.EndVK();
                },
            .runLauncher =
                [&frmVK](Shell::RunMode, const QString &) {
                    std::fputs("tamberlyn: the simulator launcher is not available in this build\n", stderr);
                    frmVK.EndVK();
                },
        });

    // A second instance that matched no mode ends here, as do the modes
    // that do not end by themselves yet.
    if (startup.Form_Load() != Shell::RunMode::Course)
        frmVK.EndVK();
    return QApplication::exec();
}
