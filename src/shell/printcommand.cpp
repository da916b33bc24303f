#include "printcommand.h"

#include "platform/browserpane.h"
#include "platform/dialogs.h"
#include "platform/printing.h"

#include <QImage>
#include <QPointer>
#include <QPrinter>
#include <QTextDocument>
#include <QWidget>

namespace Tamberlyn::Shell {

using Platform::BrowserPane;

PrintCommand::PrintCommand(Platform::Printing &printing, Platform::Dialogs &dialogs)
    : m_printing(printing)
    , m_dialogs(dialogs)
{
}

void PrintCommand::tell(QWidget *owner, const QString &text)
{
    m_dialogs.ask(owner, {text, QStringLiteral("Tamberlyn"), Platform::Dialogs::Icon::Information,
                          Platform::Dialogs::Buttons::Ok, std::nullopt});
}

void PrintCommand::cmdPrint_Click(QWidget *owner, BrowserPane *web1, bool helpVisible, const QImage &helpImage)
{
    // A failure is kept and told once, at the end.
    QString pending;
    if (helpVisible) {
        pending = m_printing.printImage(helpImage);
    } else {
        const BrowserPane::PrintState state = web1 ? web1->printState() : BrowserPane::PrintState::Unknown;
        if (state == BrowserPane::PrintState::Unknown) {
            tell(owner, QStringLiteral("The Print command is currently disabled."));
            pending = QStringLiteral("the page cannot be asked whether it can print");
        } else if (state == BrowserPane::PrintState::Enabled) {
            if (QPrinter *printer = m_printing.choosePrinter(owner, QStringLiteral("Tamberlyn page"))) {
                // The page prints in the background; its outcome is told when known.
                const QPointer<QWidget> guardedOwner(owner);
                web1->printDocument(*printer, [this, guardedOwner](const QString &error) {
                    if (!error.isEmpty())
                        tell(guardedOwner, QStringLiteral("Print command Error: ") + error);
                });
            }
        }
    }
    if (!pending.isEmpty())
        tell(owner, QStringLiteral("Print command Error: ") + pending);
}

void PrintCommand::printDocument(QWidget *owner, const QString &documentName, const QString &html)
{
    QPrinter *printer = m_printing.choosePrinter(owner, documentName);
    if (!printer)
        return;
    QTextDocument document;
    document.setHtml(html);
    document.print(printer);
    if (printer->printerState() == QPrinter::Error)
        tell(owner, QStringLiteral("Print command Error: the list could not be printed"));
}

} // namespace Tamberlyn::Shell
