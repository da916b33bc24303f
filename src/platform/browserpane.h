#pragma once

#include "loadfailure.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

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
    // Stops the load under way, if any: a page whose document had already
    // come is then reported complete as it stands, else the load is
    // reported failed as Aborted and the page shown before stays.
    virtual void stop() {}
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

    // The reading aids. The zoom of the page shown, 1.0 as the course made
    // it; the pane keeps it for every page after, whatever the engine does
    // per host or per page.
    virtual void setZoomFactor(qreal factor) { Q_UNUSED(factor) }
    virtual qreal zoomFactor() const { return 1.0; }

    // Find in page: the match now selected, counted from 1, and how many
    // there are; 0 of 0 when there are none.
    struct FindResult
    {
        int activeMatch = 0;
        int numberOfMatches = 0;
    };
    enum class FindDirection { Forward, Backward };
    // Finds `text` in the page shown, letter case aside, and marks every
    // match; the same text again moves on to the next match (the previous
    // one backward). An empty text ends the finding and clears the marks.
    // `done` gets the result; a find that a newer one overtook gets 0 of 0.
    virtual void findText(const QString &text, FindDirection direction, std::function<void(FindResult)> done)
    {
        Q_UNUSED(text)
        Q_UNUSED(direction)
        if (done)
            done({});
    }

    // Runs `script` in the document shown, apart from the page's own
    // scripts, which can neither see nor replace what it defines; `done`
    // receives what the script's last expression gives.
    virtual void runScript(const QString &script, std::function<void(const QVariant &result)> done)
    {
        Q_UNUSED(script)
        if (done)
            done({});
    }

    // The look of the pages. `script` runs at the very start of every
    // document loaded from now on, apart from the page's own scripts, and
    // replaces the one given before under the same `name` (an empty script
    // takes it away); `backdrop` is what the pane shows where no page
    // paints, between two pages and under a page without a ground of its own.
    virtual void setDocumentScript(const QString &name, const QString &script)
    {
        Q_UNUSED(name)
        Q_UNUSED(script)
    }
    virtual void setBackdrop(const QColor &colour) { Q_UNUSED(colour) }

signals:
    // A main-frame load has begun: a navigation, a step back or a reload.
    void loadStarted(const QString &address);
    // How far the load under way has come, 0 to 100.
    void loadProgress(int percent);
    void documentComplete(const QString &address);
    // A main-frame load that brought no page (the pane may show the
    // engine's own error page meanwhile). No documentComplete follows for
    // that load.
    void loadFailed(const QString &address, const Tamberlyn::Platform::LoadFailure &failure);
    // The learner followed a link in the page shown, to `address`.
    void linkFollowed(const QString &address);
    // A print of the page shown is about to begin, and has ended, however
    // it went: what the reading aids mark in the page stays off the paper.
    void printStarting();
    void printEnded();
};

} // namespace Tamberlyn::Platform
