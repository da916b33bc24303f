#pragma once

#include "loadfailure.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class QWidget;

namespace Tamberlyn::Platform {

// The embedded browser the course pages are shown in. Completion is reported
// once per main-frame load, and only after the document's link targets have
// been read, so a handler sees a consistent snapshot of the page it reacts to.
class BrowserPane : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~BrowserPane() override = default;

    virtual void navigate(const QString &address) = 0;
    virtual void goBack() = 0;
    // Address of the document shown now; empty before the first load.
    virtual QString locationUrl() const = 0;
    // Absolute targets of the document's hyperlinks, in document order.
    virtual QStringList links() const = 0;
    virtual void setLinkTarget(int index, const QString &address) = 0;
    // The widget that shows the pages; none for panes without a face.
    virtual QWidget *view() const { return nullptr; }

    // Whether the pane can print now; Unknown when it cannot even tell.
    enum class PrintState { Unknown, Disabled, Enabled };
    virtual PrintState printState() const { return PrintState::Unknown; }
    // Prints the document shown on `printer`; `done` receives an empty text
    // on success, else what went wrong.
    virtual void printDocument(QPrinter &printer, std::function<void(const QString &error)> done)
    {
        Q_UNUSED(printer)
        done(QStringLiteral("this pane cannot print"));
    }

signals:
    void documentComplete(const QString &address);
    // A main-frame load that brought no page (the pane may show the
    // engine's own error page meanwhile). No documentComplete follows for
    // that load.
    void loadFailed(const QString &address, const Tamberlyn::Platform::LoadFailure &failure);
};

} // namespace Tamberlyn::Platform
