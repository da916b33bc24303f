#include "platform/certificatepins.h"
#include "platform/qt/desktopshell.h"
#include "platform/qt/messageboxdialogs.h"
#include "platform/qt/qtwindowsystem.h"
#include "platform/qt/webenginepane.h"
#include "shell/filechecks.h"
#include "shell/frmvk.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "simbridge/simulatorchannel.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>

#include <cstdio>

using namespace Tamberlyn;

namespace {

class PendingChannel final : public SimBridge::SimulatorChannel
{
public:
    void openSharedBlocks() override {}
    void writeEndFlag(qint32) override {}
    void release() override {}
};

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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tamberlyn"));
    QApplication::setOrganizationName(QStringLiteral("Marrowick"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tamberlyn"));

    Platform::DesktopShell shell;
    Platform::MessageBoxDialogs dialogs;
    Platform::QtWindowSystem windows;

    const QSettings ini(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marrowick"),
                        QStringLiteral("Tamberlyn"));
    const Shell::Settings settings = Shell::Settings::read(
        ini, [&shell](const QString &name) { return shell.environmentValue(name); });
    if (reportProblems(settings.problems(), dialogs))
        return 2;

    Platform::CertificatePins pins;
    if (const auto pin = Platform::CertificatePins::parseFingerprint(settings.coursePin))
        pins.pin(settings.courseHost, *pin);
    if (const auto pin = Platform::CertificatePins::parseFingerprint(settings.examPin))
        pins.pin(settings.examHost, *pin);

    PendingChannel channel;
    Shell::FrmVK frmVK(pins, shell, channel);
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

    if (startup.Form_Load() != Shell::RunMode::Course)
        frmVK.EndVK();
    return QApplication::exec();
}
