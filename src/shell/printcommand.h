#pragma once

#include <QString>

class QImage;
class QWidget;

namespace Tamberlyn::Platform {
class BrowserPane;
class Dialogs;
class Printing;
}

namespace Tamberlyn::Shell {

// cmdPrint_Click: the help image when it shows, else the page through the
// print dialog. Problems are told in the program's two print messages.
class PrintCommand final
{
public:
    PrintCommand(Platform::Printing &printing, Platform::Dialogs &dialogs);

    void cmdPrint_Click(QWidget *owner, Platform::BrowserPane *web1, bool helpVisible, const QImage &helpImage);
    // A document of the viewer's own, laid out in pages, through the print
    // dialog; `documentName` names the job (and the PDF file without a printer).
    void printDocument(QWidget *owner, const QString &documentName, const QString &html);

private:
    void tell(QWidget *owner, const QString &text);

    Platform::Printing &m_printing;
    Platform::Dialogs &m_dialogs;
};

} // namespace Tamberlyn::Shell
