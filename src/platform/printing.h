#pragma once

#include <QString>

class QImage;
class QPrinter;
class QWidget;

namespace Tamberlyn::Platform {

// The default printer, or a PDF file in the learner's documents folder when
// no printer is installed.
class Printing
{
public:
    virtual ~Printing() = default;

    // Shows the print dialog; the printer to print on, or null when the
    // learner cancelled. `documentName` names the print job, and the PDF
    // file when there is no printer.
    virtual QPrinter *choosePrinter(QWidget *parent, const QString &documentName) = 0;
    // Prints the image at its own size at the page's top-left corner, without
    // a dialog. Empty on success, else what went wrong.
    virtual QString printImage(const QImage &image) = 0;
};

} // namespace Tamberlyn::Platform
