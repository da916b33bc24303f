#include "qtprinting.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace Tamberlyn::Platform {

namespace {

// Without any installed printer, print to a PDF file rather than nowhere.
void preparePrinter(QPrinter &printer, const QString &baseName)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        return;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QtPrinting::fallbackFile(baseName));
}

} // namespace

QtPrinting::QtPrinting() = default;
QtPrinting::~QtPrinting() = default;

QString QtPrinting::fallbackFile(const QString &baseName)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    return QDir(folder).filePath(baseName + QStringLiteral(".pdf"));
}

QPrinter *QtPrinting::choosePrinter(QWidget *parent, const QString &documentName)
{
    m_pagePrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_pagePrinter->setDocName(documentName);
    preparePrinter(*m_pagePrinter, documentName);
    QPrintDialog dialog(m_pagePrinter.get(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    return m_pagePrinter.get();
}

QString QtPrinting::printImage(const QImage &image)
{
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, QStringLiteral("Tamberlyn help"));
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("no printer could be used");
    // At its own size: image pixels at 96 per inch, from the printable corner.
    const qreal scale = printer.resolution() / 96.0;
    painter.scale(scale, scale);
    painter.drawImage(QPointF(0, 0), image);
    if (!painter.end())
        return QStringLiteral("the printer did not accept the page");
    return {};
}

} // namespace Tamberlyn::Platform
