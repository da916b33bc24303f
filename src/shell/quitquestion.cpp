#include "quitquestion.h"

#include "filechecks.h"

#include "history/historylog.h"
#include "platform/dialogs.h"

#include <QFile>
#include <QLoggingCategory>

namespace Tamberlyn::Shell {

Q_LOGGING_CATEGORY(lcQuit, "tamberlyn.quit", QtInfoMsg)

QuitQuestion::QuitQuestion(Platform::Dialogs &dialogs, FileChecks &files, std::function<void()> endVK)
    : m_dialogs(dialogs)
    , m_files(files)
    , m_endVK(std::move(endVK))
{
}

void QuitQuestion::AskQuit(QWidget *owner, const QString &dornDir)
{
    using Platform::Dialogs;
    const Dialogs::Answer answer =
        m_dialogs.ask(owner, {QStringLiteral("Do you want to quit?"), QStringLiteral("Quit Tamberlyn?"),
                              Dialogs::Icon::Question, Dialogs::Buttons::YesNo, QPoint(100, 80)});
    if (answer == Dialogs::Answer::No)
        return;
    const QString history = dornDir + QLatin1String(History::HistoryLog::FileName);
    if (m_files.FileExists(history) && !QFile::remove(history))
        qCWarning(lcQuit).noquote() << "could not delete" << history; // the viewer ends all the same
    m_endVK();
}

} // namespace Tamberlyn::Shell
