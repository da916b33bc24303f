#include "platform/certificatepins.h"
#include "platform/posix/posixsharedmemory.h"
#include "platform/qt/desktopshell.h"
#include "platform/qt/messageboxdialogs.h"
#include "finders/finderset.h"
#include "navigation/mediacontroller.h"
#include "navigation/picavi.h"
#include "platform/qt/qtmediaplayer.h"
#include "platform/qt/qtprinting.h"
#include "platform/x11/x11session.h"
#include "platform/x11/x11windowsystem.h"
#include "platform/qt/systemclock.h"
#include "platform/qt/webenginepane.h"
#include "shell/filechecks.h"
#include "shell/finderhostadapter.h"
#include "shell/frmpopup.h"
#include "shell/frmvk.h"
#include "shell/quitquestion.h"
#include "shell/runmodehelp.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "simbridge/companionwatch.h"
#include "simbridge/launcher.h"
#include "simbridge/sharedblocks.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <memory>

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

// The view state (the page's zoom) lives in a file of the viewer's own beside
// the settings file, which the viewer only ever reads.
std::unique_ptr<QSettings> viewStateFile()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marrowick"),
                                       QStringLiteral("Tamberlyn-view"));
}

// Going back must load and report the page again, as every page-load run
// relies on; a page restored whole from the back-forward cache would not be.
void keepBackStepsReported()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-back-forward-cache"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + " --disable-back-forward-cache");
}

// Qt WebEngine 6.4 keeps the page out of what screen readers get on Linux
// unless asked: the course page would be an empty document to them. The
// engine builds its accessibility tree only while an assistive technology
// has switched accessibility on, so nobody else pays for it; a value set
// by the learner is left alone.
void exposePageToScreenReaders()
{
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
}

// --help and --version are answered before anything else: they need no
// display, and no mode may start for them.
bool answeredSelfInfo(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    switch (Shell::selfInfoAsked(arguments)) {
    case Shell::SelfInfo::Help:
        std::fputs(Shell::usageText().toLocal8Bit().constData(), stdout);
        return true;
    case Shell::SelfInfo::Version:
        std::printf("tamberlyn %s\n", TAMBERLYN_VERSION);
        return true;
    case Shell::SelfInfo::None:
        break;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (answeredSelfInfo(argc, argv))
        return 0;
    keepBackStepsReported();
    exposePageToScreenReaders();
    // Every mode finds, places or polls windows through X11.
    if (!Platform::preferX11Session("tamberlyn", argc, argv))
        return 1;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tamberlyn"));
    QApplication::setOrganizationName(QStringLiteral("Marrowick"));
    // Ties the windows to the installed menu entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral("org.marrowick.Tamberlyn"));

    Platform::DesktopShell shell;
    Platform::MessageBoxDialogs dialogs;
    Platform::X11WindowSystem windows;
    Platform::SystemClock clock;
    Platform::QtPrinting printing;

    const QSettings ini(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marrowick"),
                        QStringLiteral("Tamberlyn"));
    Shell::Settings settings = Shell::Settings::read(
        ini, [&shell](const QString &name) { return shell.environmentValue(name); });
    settings.takeViewState(*viewStateFile());
    if (reportProblems(settings.problems(), dialogs))
        return 2;
    const Platform::CertificatePins pins = pinsFrom(settings);

    Platform::PosixSharedMemory sharedMemory;
    SimBridge::SharedBlocks channel(sharedMemory, dialogs);
    Shell::FrmVK frmVK([&pins](QWidget *parent) { return new Platform::WebEnginePane(pins, parent); },
                       {shell, clock, windows, channel, settings, dialogs, printing});
    channel.setDialogOwner(&frmVK);
    auto *picAVI = new Navigation::PicAvi(&frmVK);
    Platform::QtMediaPlayer wmp1(pins, &frmVK);
    Navigation::MediaController media(wmp1, *picAVI, clock, [&frmVK] {
        return QSize(frmVK.state().ScreenWidth, frmVK.state().ScreenHeight);
    });
    frmVK.setMediaController(&media);
    const auto endVK = [&frmVK] { frmVK.EndVK(); };
    Shell::FileChecks files(dialogs, endVK);
    files.setOwner(&frmVK);
    Shell::QuitQuestion quit(dialogs, files, endVK);
    frmVK.setQuitQuestion([&] { quit.AskQuit(&frmVK, frmVK.state().DornDir); });
    frmVK.setZoomStore([](int percent) { return Shell::storeZoom(*viewStateFile(), percent); });

    // Made after the main window and the quit question, so gone before them.
    Shell::FinderHostAdapter finderHost(frmVK, quit);
    Finders::FinderSet finders({finderHost, clock, dialogs,
                                Tables::TableFileReader(Tables::CodePage::windows1252(),
                                                         [&files](const QString &path) { return files.FileExists(path); })});
    frmVK.setFinderWindows(&finders);

    SimBridge::CompanionWatch companion({channel, windows, dialogs, endVK});
    QObject::connect(&frmVK.timerEnd(), &QTimer::timeout, &companion, &SimBridge::CompanionWatch::TimerEnd_Timer);
    SimBridge::Launcher launcher({channel, windows, shell, dialogs, endVK});

    Shell::Startup *started = nullptr;
    std::unique_ptr<Shell::FrmPopup> popup;
    Shell::Startup startup(
        frmVK.state(), settings, {shell, windows, channel, files},
        {
            .loadInWeb1 = [&frmVK](const QString &address) { frmVK.loadFirstPage(address); },
            .enableTimerEnd = [&frmVK] { frmVK.timerEnd().start(); },
            .setTitles =
                [&frmVK](const QString &title) {
                    frmVK.setWindowTitle(title);
                    QApplication::setApplicationDisplayName(title);
                },
            .endVK = [&frmVK](int exitCode) { frmVK.EndVK(exitCode); },
            .showCourse = [&frmVK] { return frmVK.showCourseWindow(); },
            .runPopup =
                [&](const QString &commandLine) {
                    const auto command = Shell::parsePopupCommand(commandLine);
                    if (!command) {
                        std::fputs("tamberlyn: a pop-up needs /W and /H; nothing to show\n", stderr);
                        frmVK.EndVK();
                    }
                    popup = std::make_unique<Shell::FrmPopup>(
                        [&pins](QWidget *parent) { return new Platform::WebEnginePane(pins, parent); }, windows,
                        endVK);
                    frmVK.setPopupUnloader([&popup] { popup->hide(); });
                    popup->showPopup(frmVK.state().FileLocn, *command);
                },
            .runLauncher =
                [&](Shell::RunMode mode, const QString &commandLine) {
                    if (!SimBridge::staysInCircuitFolder(commandLine)) {
                        std::fprintf(stderr, "tamberlyn: refused a circuit path outside the circuit folder: %s\n",
                                     qPrintable(commandLine));
                        frmVK.EndVK();
                    }
                    const Shell::Folders &folders = started->folders();
                    launcher.launch(SimBridge::launchTargetFor(
                        mode == Shell::RunMode::LaunchPrismo ? SimBridge::Simulator::Prismo
                                                             : SimBridge::Simulator::Orvanix,
                        commandLine, folders.appData, folders.programFiles, SimBridge::PathStyle::Posix));
                },
        });

    started = &startup;
    // The course, the pop-up and the launcher live on in the event loop; a
    // second instance that matched no mode ends here.
    switch (startup.Form_Load()) {
    case Shell::RunMode::Course:
    case Shell::RunMode::Popup:
    case Shell::RunMode::LaunchOrvanix:
    case Shell::RunMode::LaunchPrismo:
        break;
    default:
        frmVK.EndVK();
    }
    return QApplication::exec();
}
