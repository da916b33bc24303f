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

// Watches every load of Web1 from its start to its end: says when one has
// taken more than a moment and how far it has come, and when one ended
// without a page, and why. Until the course's first page has come the wait
// for it is bounded too: after the wait the learner is told, and the load
// goes on, so a page that comes late still starts the course.
class LoadWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoadWatch)

public:
    // A load longer than this gets a sign that it is under way.
    static constexpr std::chrono::milliseconds Moment{500};
    // A load this long while no window of the viewer is on the screen
    // brings one up.
    static constexpr std::chrono::milliseconds WindowWait{1000};

    explicit LoadWatch(Platform::BrowserPane &web1, QObject *parent = nullptr);

    // LastBit's load of the opening page, waited for `firstPageWait` at
    // most before the learner is told.
    void loadFirstPage(const QString &address, std::chrono::milliseconds firstPageWait);
    // Loads the page that failed last again.
    void retry();
    // Stops the load under way; false when there is none.
    bool stop();

    // Whether a course page has come.
    bool coursePageSeen() const { return m_pageSeen; }
    // The first page has been asked for and has not come: until it comes,
    // a failure is the whole course's.
    bool awaitingFirstPage() const { return m_started && !m_pageSeen; }
    bool isLoading() const { return m_loading; }
    QString loadingAddress() const { return m_address; }

signals:
    // The load of `address` has taken a moment, then about a second.
    void slow(const QString &address);
    void overdue(const QString &address);
    void progress(int percent);
    // The load brought no page. `firstPage` while no course page has come.
    void failed(const QString &address, const Tamberlyn::Platform::LoadFailure &failure, bool firstPage);
    // The learner stopped the load before its page came; the page shown
    // before stays.
    void stopped(const QString &address, bool firstPage);
    // A page has come and has been handled like any page.
    void loaded(bool firstPage);

private:
    void onLoadStarted(const QString &address);
    void onDocumentComplete();
    void onLoadFailed(const QString &address, const Platform::LoadFailure &failure);
    void onFirstPageWaitOver();
    void begin(const QString &address);
    void settle();

    Platform::BrowserPane &m_web1;
    QTimer *m_firstPageWait;
    QTimer *m_moment;
    QTimer *m_windowWait;
    QString m_firstAddress;
    QString m_address;        // of the load under way, or of the last one
    QString m_failedAddress;  // what Retry loads
    bool m_started = false;   // the first page has been asked for
    bool m_pageSeen = false;
    bool m_loading = false;
    bool m_stopAsked = false;
};

} // namespace Tamberlyn::Shell
