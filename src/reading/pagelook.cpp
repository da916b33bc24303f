#include "pagelook.h"

#include "lookscript.h"
#include "readingaidslog.h"

#include "navigation/coursemap.h"
#include "platform/browserpane.h"

#include <QElapsedTimer>
#include <QPointer>

#include <memory>

namespace Tamberlyn::Reading {

namespace {

constexpr char ScriptName[] = "tamberlyn-look";

QString pageOf(const QString &address)
{
    return Navigation::pageNameOf(address).value_or(address);
}

QString described(const QVariantMap &report)
{
    return QStringLiteral("%1, %2 elements, %3 ms in the page, text %4 on %5, at y %6")
        .arg(report.value(QStringLiteral("mode")).toString(),
             QString::number(report.value(QStringLiteral("elements")).toInt()),
             QString::number(report.value(QStringLiteral("ms")).toDouble()),
             report.value(QStringLiteral("text")).toString(), report.value(QStringLiteral("ground")).toString(),
             QString::number(report.value(QStringLiteral("y")).toInt()));
}

} // namespace

PageLook::PageLook(Platform::BrowserPane &pane, Look look, QObject *parent)
    : QObject(parent)
    , m_pane(pane)
    , m_look(look)
{
    setDocumentScript(look);
    m_pane.setBackdrop(backdrop(look));
    connect(&m_pane, &Platform::BrowserPane::documentComplete, this, &PageLook::Web_DocumentComplete);
}

QColor PageLook::backdrop(Look look)
{
    switch (look) {
    case Look::Dark:
        // White as the dark look turns a page's ground (pagelook.js).
        return QColor(31, 31, 31);
    case Look::HighContrast:
        return Qt::black;
    case Look::Light:
        break;
    }
    return Qt::white;
}

void PageLook::setDocumentScript(Look look)
{
    // Light pages are the pages as made: no script at all runs in them, so
    // a page turn in the light look costs what it always did.
    m_pane.setDocumentScript(QLatin1String(ScriptName), look == Look::Light ? QString() : documentLookScript(look));
}

void PageLook::show(Look look)
{
    m_look = look;
    setDocumentScript(look);
    m_pane.setBackdrop(backdrop(look));
    const QString address = m_pane.locationUrl();
    if (address.isEmpty())
        return;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    const QPointer<PageLook> self(this);
    m_pane.runScript(applyLookScript(look), [self, look, address, clock](const QVariant &result) {
        if (!self)
            return;
        const QVariantMap report = result.toMap();
        qCInfo(lcReadingAids).noquote() << QStringLiteral("look %1 shown on %2 in %3 ms: %4")
                                               .arg(lookName(look), pageOf(address), QString::number(clock->elapsed()),
                                                    described(report));
        emit self->shown(look, report);
    });
}

void PageLook::Web_DocumentComplete(const QString &address)
{
    // The page took its look as it was made; only a log line would tell
    // more, so the page is asked only when one is written.
    if (m_look == Look::Light || !lcReadingAids().isInfoEnabled())
        return;
    const Look look = m_look;
    m_pane.runScript(lastLookScript(), [look, address](const QVariant &result) {
        const QVariantMap report = result.toMap();
        if (report.isEmpty())
            qCInfo(lcReadingAids).noquote() << QStringLiteral("look %1 not taken by %2").arg(lookName(look), pageOf(address));
        else
            qCInfo(lcReadingAids).noquote()
                << QStringLiteral("look %1 on %2: %3").arg(lookName(look), pageOf(address), described(report));
    });
}

} // namespace Tamberlyn::Reading
