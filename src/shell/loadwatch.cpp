#include "loadwatch.h"

#include "platform/browserpane.h"

#include <QTimer>

namespace Tamberlyn::Shell {

namespace {

QTimer *oneShot(const char *name, std::chrono::milliseconds interval, QObject *parent)
{
    auto *timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setSingleShot(true);
    timer->setInterval(interval);
    return timer;
}

} // namespace

LoadWatch::LoadWatch(Platform::BrowserPane &web1, QObject *parent)
    : QObject(parent)
    , m_web1(web1)
    , m_firstPageWait(oneShot("firstPageWait", std::chrono::seconds(30), this))
    , m_moment(oneShot("loadMoment", Moment, this))
    , m_windowWait(oneShot("loadWindowWait", WindowWait, this))
{
    connect(m_firstPageWait, &QTimer::timeout, this, &LoadWatch::onFirstPageWaitOver);
    connect(m_moment, &QTimer::timeout, this, [this] { emit slow(m_address); });
    connect(m_windowWait, &QTimer::timeout, this, [this] { emit overdue(m_address); });
    connect(&m_web1, &Platform::BrowserPane::loadStarted, this, &LoadWatch::onLoadStarted);
    connect(&m_web1, &Platform::BrowserPane::loadProgress, this, [this](int percent) {
        if (m_loading)
            emit progress(percent);
    });
    connect(&m_web1, &Platform::BrowserPane::documentComplete, this, &LoadWatch::onDocumentComplete);
    connect(&m_web1, &Platform::BrowserPane::loadFailed, this, &LoadWatch::onLoadFailed);
}

void LoadWatch::loadFirstPage(const QString &address, std::chrono::milliseconds firstPageWait)
{
    m_firstPageWait->setInterval(firstPageWait);
    m_started = true;
    m_firstAddress = address;
    m_failedAddress = address;
    begin(address);
    m_web1.navigate(address);
}

void LoadWatch::retry()
{
    if (m_failedAddress.isEmpty())
        return;
    begin(m_failedAddress);
    m_web1.navigate(m_failedAddress);
}

bool LoadWatch::stop()
{
    if (!m_loading)
        return false;
    m_stopAsked = true;
    m_web1.stop();
    return true;
}

void LoadWatch::begin(const QString &address)
{
    m_address = address;
    m_loading = true;
    m_stopAsked = false;
    m_moment->start();
    m_windowWait->start();
    if (awaitingFirstPage())
        m_firstPageWait->start();
}

void LoadWatch::settle()
{
    m_loading = false;
    m_stopAsked = false;
    m_moment->stop();
    m_windowWait->stop();
}

void LoadWatch::onLoadStarted(const QString &address)
{
    // The start the engine reports for a load we began ourselves keeps its
    // timers running; any other (a button, a link, a step back) starts them.
    if (m_loading && address == m_address)
        return;
    m_address = address;
    m_loading = true;
    m_stopAsked = false;
    m_moment->start();
    m_windowWait->start();
}

void LoadWatch::onDocumentComplete()
{
    const bool first = awaitingFirstPage();
    m_pageSeen = true;
    m_firstPageWait->stop();
    settle();
    emit loaded(first);
}

void LoadWatch::onLoadFailed(const QString &address, const Platform::LoadFailure &failure)
{
    const QString where = address.isEmpty() ? m_address : address;
    if (failure.kind == Platform::LoadFailure::Kind::Aborted) {
        // A load replaced by a newer one says nothing about the server; the
        // newer one reports for itself. Only the learner's own stop counts.
        if (!m_stopAsked)
            return;
        m_failedAddress = where;
        const bool first = awaitingFirstPage();
        settle();
        m_firstPageWait->stop();
        emit stopped(where, first);
        return;
    }
    m_failedAddress = where;
    settle();
    m_firstPageWait->stop();
    emit failed(where, failure, awaitingFirstPage());
}

void LoadWatch::onFirstPageWaitOver()
{
    if (!awaitingFirstPage() || !m_loading)
        return;
    // The load is left running: the server may yet answer, and then the
    // course starts as it always does.
    emit failed(m_firstAddress, Platform::LoadFailure{Platform::LoadFailure::Kind::TimedOut, 0, {}, {}}, true);
}

} // namespace Tamberlyn::Shell
