#pragma once

#include "platform/printing.h"

#include <QtGlobal>

#include <memory>

namespace Tamberlyn::Platform {

class QtPrinting final : public Printing
{
    Q_DISABLE_COPY_MOVE(QtPrinting)

public:
    QtPrinting();
    ~QtPrinting() override;

    QPrinter *choosePrinter(QWidget *parent, const QString &documentName) override;
    QString printImage(const QImage &image) override;

    // Where output goes when no printer is installed.
    static QString fallbackFile(const QString &baseName);

private:
    std::unique_ptr<QPrinter> m_pagePrinter;
};

} // namespace Tamberlyn::Platform
