#pragma once

#include "platform/loadfailure.h"

#include <QObject>
#include <QString>

#include <chrono>

class QTimer;

namespace Tamberlyn::Platform {
class BrowserPane;
}

namespace Tamberlyn::Shell {

// Watches the course's first page from its load to the first document
// Web1 completes. Until then a failed load, or no page within the wait, is
// reported, and the learner may load it again; the load itself goes on
// after the wait, so a page that comes late still starts the course. Once
// a page has come the watch is over: later failures are the pane's affair.
class FirstPageWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FirstPageWatch)

public:
    FirstPageWatch(Platform::BrowserPane &web1, std::chrono::milliseconds wait, QObject *parent = nullptr);

    // Loads `address` as the first page, or loads it again.
    void load(const QString &address);
    void retry() { load(m_address); }

signals:
    void failed(const QString &address, const Tamberlyn::Platform::LoadFailure &failure);
    // The first page has come; it has been handled like any page.
    void loaded();

private:
    enum class Phase { Idle, Loading, Failed, Over };

    void onDocumentComplete();
    void onLoadFailed(const QString &address, const Platform::LoadFailure &failure);
    void onWaitOver();

    Platform::BrowserPane &m_web1;
    QTimer *m_wait;
    QString m_address;
    Phase m_phase = Phase::Idle;
};

} // namespace Tamberlyn::Shell
