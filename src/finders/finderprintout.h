#pragma once

#include <QString>
#include <QStringList>

namespace Tamberlyn::Finders {

// What Print puts on paper from a finder window while its help picture is
// hidden: what the learner sees there, top to bottom. The trigger page in
// the course window behind it is only a stand-in and never printed.
struct FinderPrintout
{
    QString documentName; // the print job's name, and a PDF file's without a printer
    QString caption;      // the window's title
    QStringList lines;    // what the window says above its list: the entry, the count, notices
    QString listHeading;  // the list's own label, if it has one
    QStringList entries;  // the list, in its order
};

// The printout as a small HTML document, every text escaped.
QString printoutHtml(const FinderPrintout &printout);

} // namespace Tamberlyn::Finders
