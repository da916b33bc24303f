#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

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

signals:
    void documentComplete(const QString &address);
};

} // namespace Tamberlyn::Platform
