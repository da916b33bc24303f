#pragma once

#include "looks.h"

#include <QObject>
#include <QVariantMap>

namespace Tamberlyn::Platform {
class BrowserPane;
}

namespace Tamberlyn::Reading {

// The look of the pages of one browser pane: every page it loads from now
// on, and the page it shows, which changes in place (no reload, the
// learner's place kept).
class PageLook final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageLook)

public:
    PageLook(Platform::BrowserPane &pane, Look look, QObject *parent = nullptr);

    void show(Look look);

    // Where no page paints, in each look: between two pages, and under a
    // page without a ground of its own.
    static QColor backdrop(Look look);

signals:
    // The page shown has taken the look; `report` is what the page script
    // says it did (lookscript.h).
    void shown(Tamberlyn::Reading::Look look, const QVariantMap &report);

private:
    void setDocumentScript(Look look);
    void Web_DocumentComplete(const QString &address);

    Platform::BrowserPane &m_pane;
    Look m_look;
};

} // namespace Tamberlyn::Reading
