#include "finderprintout.h"

namespace Tamberlyn::Finders {

namespace {

// The text as the window shows it, its spaces kept ("Found:  3 pages").
QString paragraph(const QString &text, const char *margins)
{
    return QStringLiteral("<p style=\"white-space: pre-wrap; %1\">").arg(QLatin1String(margins))
           + text.toHtmlEscaped() + QStringLiteral("</p>\n");
}

} // namespace

QString printoutHtml(const FinderPrintout &printout)
{
    QString html = QStringLiteral("<html><head><title>") + printout.caption.toHtmlEscaped()
                   + QStringLiteral("</title></head><body>\n<h2>") + printout.caption.toHtmlEscaped()
                   + QStringLiteral("</h2>\n");
    for (const QString &line : printout.lines)
        html += paragraph(line, "");
    if (!printout.listHeading.isEmpty())
        html += QStringLiteral("<h3>") + printout.listHeading.toHtmlEscaped() + QStringLiteral("</h3>\n");
    // One line per entry, as the list shows them: no bullets, no numbers.
    for (const QString &entry : printout.entries)
        html += paragraph(entry, "margin-top: 0; margin-bottom: 2px;");
    html += QStringLiteral("</body></html>\n");
    return html;
}

} // namespace Tamberlyn::Finders
