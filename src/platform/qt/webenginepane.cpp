#include "webenginepane.h"

#include "engineloadfailure.h"
#include "pinnedwebpage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineFindTextResult>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include <memory>

namespace Tamberlyn::Platform {

Q_LOGGING_CATEGORY(lcPane, "tamberlyn.pane", QtWarningMsg)

namespace {

// Runs apart from the page's own scripts, so a page cannot redefine what we call.
constexpr quint32 ScriptWorld = QWebEngineScript::ApplicationWorld;

QString jsString(const QString &text)
{
    // A JSON array of one string is a safe JavaScript literal; strip the brackets.
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

} // namespace

WebEnginePane::WebEnginePane(const CertificatePins &pins, QWidget *parentWidget)
    : BrowserPane(parentWidget)
    , m_view(new QWebEngineView(parentWidget))
    , m_page(new PinnedWebPage(pins, m_view))
{
    m_view->setPage(m_page);
    connect(m_page, &QWebEnginePage::loadStarted, this, &WebEnginePane::onLoadStarted);
    connect(m_page, &QWebEnginePage::loadFinished, this, &WebEnginePane::onLoadFinished);
    connect(m_page, &QWebEnginePage::loadProgress, this, &WebEnginePane::loadProgress);
    // Only this report says why a load failed (refused, certificate, an
    // HTTP error status, ...); loadFinished says merely that it did.
    connect(m_page, &QWebEnginePage::loadingChanged, this, &WebEnginePane::onLoadingChanged);
    connect(m_page, &PinnedWebPage::linkFollowed, this,
            [this](const QUrl &url) { emit linkFollowed(url.toString(QUrl::FullyEncoded)); });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                onRenderProcessTerminated(static_cast<int>(status), exitCode);
            });
}

WebEnginePane::~WebEnginePane() = default;

QWidget *WebEnginePane::view() const
{
    return m_view;
}

void WebEnginePane::navigate(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (address.isEmpty() || !url.isValid()) {
        qCWarning(lcPane) << "ignored a load of an unusable address" << address;
        return;
    }
    m_view->load(url);
}

void WebEnginePane::goBack()
{
    m_page->triggerAction(QWebEnginePage::Back);
}

void WebEnginePane::stop()
{
    if (!m_loading)
        return;
    m_stopping = true;
    m_page->triggerAction(QWebEnginePage::Stop);
}

QString WebEnginePane::locationUrl() const
{
    return m_page->url().toString(QUrl::FullyEncoded);
}

QStringList WebEnginePane::links() const
{
    return m_links;
}

void WebEnginePane::setLinkTarget(int index, const QString &address)
{
    if (index < 0 || index >= m_links.size())
        return;
    m_links[index] = address;
    m_page->runJavaScript(
        QStringLiteral("(function(i, h) { var a = document.links[i]; if (a) a.href = h; })(%1, %2);")
            .arg(index)
            .arg(jsString(address)),
        ScriptWorld);
}

WebEnginePane::PrintState WebEnginePane::printState() const
{
    // Printable once a document has finished loading, and one job at a time.
    if (m_printing || m_loading || m_page->url().isEmpty())
        return PrintState::Disabled;
    return PrintState::Enabled;
}

namespace {

// On paper a page ends where its content does. A body's own bottom margin
// or padding, or a height of the whole window (100%, 100vh, which on paper
// is a whole sheet), can carry the page a few pixels onto one more sheet,
// which comes out blank. The sheet is the viewer's own, adopted once per
// document, for print only.
constexpr char PrintLayoutScript[] = R"JS(
(function () {
  if (document.adoptedStyleSheets.some(function (sheet) { return sheet.tamberlynPrintLayout; }))
    return;
  var sheet = new CSSStyleSheet();
  sheet.replaceSync('@media print { html, body { height: auto !important; min-height: 0 !important;'
                    + ' margin-bottom: 0 !important; padding-bottom: 0 !important; } }');
  sheet.tamberlynPrintLayout = true;
  document.adoptedStyleSheets = document.adoptedStyleSheets.concat([sheet]);
})();
)JS";

} // namespace

void WebEnginePane::printDocument(QPrinter &printer, std::function<void(const QString &error)> done)
{
    m_printing = true;
    emit printStarting();
    // The page is printed once the print layout is in it.
    QPrinter *target = &printer;
    m_page->runJavaScript(QString::fromLatin1(PrintLayoutScript), ScriptWorld,
                          [this, target, done = std::move(done)](const QVariant &) mutable {
                              printPrepared(*target, std::move(done));
                          });
}

void WebEnginePane::printPrepared(QPrinter &printer, std::function<void(const QString &error)> done)
{
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        // Straight to the file: the engine's own PDF keeps the page's text
        // as text, where printing through a printer would turn it into pictures.
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = connect(m_page, &QWebEnginePage::pdfPrintingFinished, this,
                              [this, connection, done = std::move(done)](const QString &, bool success) {
                                  disconnect(*connection);
                                  m_printing = false;
                                  emit printEnded();
                                  done(success ? QString() : QStringLiteral("the PDF file could not be written"));
                              });
        m_page->printToPdf(printer.outputFileName(), printer.pageLayout());
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(m_view, &QWebEngineView::printFinished, this,
                          [this, connection, done = std::move(done)](bool success) {
                              disconnect(*connection);
                              m_printing = false;
                              emit printEnded();
                              done(success ? QString() : QStringLiteral("the page could not be printed"));
                          });
    m_view->print(&printer);
}

void WebEnginePane::setZoomFactor(qreal factor)
{
    m_zoomFactor = factor;
    m_page->setZoomFactor(factor);
}

qreal WebEnginePane::zoomFactor() const
{
    return m_page->zoomFactor();
}

void WebEnginePane::findText(const QString &text, FindDirection direction, std::function<void(FindResult)> done)
{
    const QWebEnginePage::FindFlags flags =
        direction == FindDirection::Backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags();
    m_page->findText(text, flags, [done = std::move(done)](const QWebEngineFindTextResult &result) {
        if (done)
            done({result.activeMatch(), result.numberOfMatches()});
    });
}

void WebEnginePane::runScript(const QString &script, std::function<void(const QVariant &result)> done)
{
    m_page->runJavaScript(script, ScriptWorld, [done = std::move(done)](const QVariant &result) {
        if (done)
            done(result);
    });
}

void WebEnginePane::setDocumentScript(const QString &name, const QString &script)
{
    QWebEngineScriptCollection &scripts = m_page->scripts();
    for (const QWebEngineScript &old : scripts.find(name))
        scripts.remove(old);
    if (script.isEmpty())
        return;
    QWebEngineScript added;
    added.setName(name);
    added.setSourceCode(script);
    // Before the page's own scripts and before anything is painted; the
    // script itself waits for the document's elements.
    added.setInjectionPoint(QWebEngineScript::DocumentCreation);
    added.setWorldId(ScriptWorld);
    added.setRunsOnSubFrames(false);
    scripts.insert(added);
}

void WebEnginePane::setBackdrop(const QColor &colour)
{
    m_page->setBackgroundColor(colour);
}

void WebEnginePane::onLoadStarted()
{
    ++m_loadSerial;
    m_loading = true;
}

void WebEnginePane::onLoadFinished(bool ok)
{
    m_loading = false;
    // Qt carries the zoom over to a new renderer; the engine's own per-host
    // zoom map can still hand a page another level. The learner's level
    // holds for every page, set again before the page is reported.
    if (!qFuzzyCompare(m_page->zoomFactor(), m_zoomFactor))
        m_page->setZoomFactor(m_zoomFactor);
    if (!ok) {
        // Reported with its reason by onLoadingChanged.
        m_links.clear();
        return;
    }
    m_stopping = false;
    const QString address = locationUrl();
    // Logged apart from the completion below, which waits for the page's
    // renderer to hand over the links: start-up and page-turn timings need
    // the engine's own moment as well as ours.
    qCInfo(lcPane).noquote() << "load finished:" << address;
    reportComplete(address);
}

void WebEnginePane::reportComplete(const QString &address)
{
    const quint64 serial = m_loadSerial;
    const QPointer<WebEnginePane> self(this);
    m_page->runJavaScript(QStringLiteral("Array.from(document.links).map(a => a.href)"), ScriptWorld,
                          [self, serial, address](const QVariant &result) {
                              if (!self || serial != self->m_loadSerial)
                                  return;
                              self->m_links = result.toStringList();
                              qCInfo(lcPane).noquote() << "document complete:" << address;
                              emit self->documentComplete(address);
                          });
}

void WebEnginePane::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    const QString address = info.url().toString(QUrl::FullyEncoded);
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        // A load replaced before its end says so through Aborted; a stop
        // asked for the one before does not carry over to this one.
        m_stopping = false;
        emit loadStarted(address);
        return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        onStopped(address);
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        return;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        break;
    }
    LoadFailure failure = engineLoadFailure(info.errorDomain(), info.errorCode(), info.errorString());
    if (failure.kind == LoadFailure::Kind::Aborted && m_stopping) {
        onStopped(address);
        return;
    }
    if (failure.kind == LoadFailure::Kind::Certificate)
        failure.certificateFingerprint = m_page->rejectedFingerprint(info.url());
    qCWarning(lcPane).noquote() << "load failed:" << address << "-"
                                << (failure.kind == LoadFailure::Kind::HttpStatus
                                        ? QStringLiteral("HTTP status %1").arg(failure.code)
                                        : failure.engineText);
    emit loadFailed(address, failure);
}

void WebEnginePane::onStopped(const QString &address)
{
    if (!m_stopping)
        return;
    m_stopping = false;
    qCInfo(lcPane).noquote() << "load stopped:" << address;
    // Stopped while the pictures of a page still came, the page itself is
    // there and is the learner's page now; stopped before its document
    // came, the page shown before stays, and so do its links.
    const quint64 serial = m_loadSerial;
    const QPointer<WebEnginePane> self(this);
    m_page->runJavaScript(QStringLiteral("location.href"), ScriptWorld, [self, serial, address](const QVariant &shown) {
        if (!self || serial != self->m_loadSerial)
            return;
        if (QUrl(shown.toString()) == QUrl(address)) {
            self->reportComplete(address);
            return;
        }
        emit self->loadFailed(address, LoadFailure{LoadFailure::Kind::Aborted, -3, QStringLiteral("stopped"), {}});
    });
}

void WebEnginePane::onRenderProcessTerminated(int status, int exitCode)
{
    if (status == QWebEnginePage::NormalTerminationStatus)
        return;
    // The page's renderer died; show the same page again rather than a blank pane.
    qCWarning(lcPane) << "renderer ended (status" << status << "code" << exitCode << "), reloading";
    QTimer::singleShot(0, m_page, [this] { m_page->triggerAction(QWebEnginePage::Reload); });
}

} // namespace Tamberlyn::Platform
