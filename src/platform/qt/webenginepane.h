#pragma once

#include "platform/browserpane.h"

#include <QUrl>

class QWebEngineLoadingInfo;
class QWebEngineView;
class QWidget;

namespace Tamberlyn::Platform {

class CertificatePins;
class PinnedWebPage;

// Web1 and Web2: the browser pane on Qt WebEngine.
class WebEnginePane final : public BrowserPane
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebEnginePane)

public:
    WebEnginePane(const CertificatePins &pins, QWidget *parentWidget);
    ~WebEnginePane() override;

    QWidget *view() const override;

    void navigate(const QString &address) override;
    void goBack() override;
    void stop() override;
    QString locationUrl() const override;
    QStringList links() const override;
    void setLinkTarget(int index, const QString &address) override;
    PrintState printState() const override;
    void printDocument(QPrinter &printer, std::function<void(const QString &error)> done) override;
    void setZoomFactor(qreal factor) override;
    qreal zoomFactor() const override;
    void findText(const QString &text, FindDirection direction, std::function<void(FindResult)> done) override;
    void runScript(const QString &script, std::function<void(const QVariant &result)> done) override;

private:
    void printPrepared(QPrinter &printer, std::function<void(const QString &error)> done);
    void onLoadStarted();
    void onLoadFinished(bool ok);
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void onStopped(const QString &address);
    // Reads the document's links, then reports it complete, unless a newer
    // load has started meanwhile (that one reports for itself).
    void reportComplete(const QString &address);
    void onRenderProcessTerminated(int status, int exitCode);

    QWebEngineView *m_view;
    PinnedWebPage *m_page;
    QStringList m_links;
    quint64 m_loadSerial = 0;
    bool m_loading = false;
    // The learner stopped the load under way; its end is reported as a stop.
    bool m_stopping = false;
    bool m_printing = false;
    qreal m_zoomFactor = 1.0;
};

} // namespace Tamberlyn::Platform
