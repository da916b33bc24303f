#include "startup.h"

#include "filechecks.h"
#include "handover.h"
#include "sizeclass.h"

#include "navigation/coursemap.h"
#include "platform/shell.h"
#include "platform/windowsystem.h"
#include "simbridge/simulatorchannel.h"

#include <QDir>
#include <QLoggingCategory>

#include <cstdio>

namespace Tamberlyn::Shell {

Q_LOGGING_CATEGORY(lcStartup, "tamberlyn.startup", QtInfoMsg)

namespace {

qint16 clampToInt16(int value)
{
    return static_cast<qint16>(qBound(0, value, 32767));
}

} // namespace

Startup::Startup(VKState &state, const Settings &settings, Services services, Hooks hooks)
    : m_state(state)
    , m_settings(settings)
    , m_services(services)
    , m_hooks(std::move(hooks))
{
}

RunMode Startup::Form_Load()
{
    Platform::Shell &shell = m_services.shell;
    m_state.FileLocn = m_settings.fileLocn();

    const EnvironmentLookup env = [&shell](const QString &name) { return shell.environmentValue(name); };
#ifdef Q_OS_WIN
    m_folders = windowsFolders(env);
#else
    m_folders = linuxFolders(env, m_settings.programFiles);
#endif
    m_state.DornDir = m_folders.dornDir;

    if (!m_services.files.FolderExists(m_state.DornDir))
        createDataFolder();

    m_services.channel.openSharedBlocks();
    m_services.channel.writeEndFlag(0);

    // A first instance always runs the course; its command line is not read.
    const bool another = shell.anotherInstanceRunning(m_state.DornDir);
    const QString commandLine = another ? shell.commandLine() : QString();
    const RunMode mode = chooseRunMode(another, commandLine);
    switch (mode) {
    case RunMode::Course:
        LastBit();
        // The course answers later starts that find no window of it.
        shell.answerShowRequests(m_hooks.showCourse);
        break;
    case RunMode::HandOver:
        handOver();
        break;
    case RunMode::Popup:
        m_hooks.runPopup(commandLine);
        break;
    case RunMode::LaunchPrismo:
    case RunMode::LaunchOrvanix:
        m_hooks.runLauncher(mode, commandLine);
        break;
    case RunMode::Nothing:
        break;
    }
    return mode;
}

void Startup::LastBit()
{
    const QSize screen = m_services.windows.screenSize();
    m_state.ScreenWidth = clampToInt16(screen.width());
    m_state.ScreenHeight = clampToInt16(screen.height());
    m_state.ScreenSize = classify(m_state.ScreenWidth, m_state.ScreenHeight, m_state.ScreenSize);
    m_hooks.loadInWeb1(m_state.FileLocn + Navigation::contentsPageName(m_state.ScreenSize));
    m_hooks.enableTimerEnd();
}

void Startup::handOver()
{
    const QString title = QStringLiteral("Tamberlyn");
    // Our own titles must not begin with the name we search for.
    m_hooks.setTitles(QStringLiteral("Ending"));
    if (m_services.windows.bringToFront(title)) {
        m_hooks.endVK(HandOverExit::BroughtToFront);
        return;
    }
    // The course runs, or the lock would have made this start the course,
    // but shows no window: ask it to show one rather than leave the learner
    // with a course out of sight that keeps every new start out.
    const Platform::Shell::ShowReply reply = m_services.shell.askCourseToShow();
    const HandOverOutcome outcome = handOverOutcome(title, reply);
    std::fprintf(stderr, "%s\n", qPrintable(outcome.message));
    // From outside as well: a window manager may keep a program from
    // raising its own window.
    if (reply.outcome == Platform::Shell::ShowReply::Outcome::Shown)
        m_services.windows.bringToFront(reply.title.isEmpty() ? title : reply.title);
    m_hooks.endVK(outcome.exitCode);
}

void Startup::createDataFolder()
{
    // Every missing level is made, not just the last: a fresh account has
    // no "Marrowick" folder yet, and without the data folder nothing of the
    // reading history could be kept.
    if (m_state.DornDir.isEmpty() || !QDir().mkpath(m_state.DornDir))
        qCWarning(lcStartup).noquote() << "cannot create the data folder" << m_state.DornDir;
}

} // namespace Tamberlyn::Shell
