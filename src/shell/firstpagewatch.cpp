#include "firstpagewatch.h"

#include "platform/browserpane.h"

#include <QTimer>

namespace Tamberlyn::Shell {

FirstPageWatch::FirstPageWatch(Platform::BrowserPane &web1, std::chrono::milliseconds wait, QObject *parent)
    : QObject(parent)
    , m_web1(web1)
    , m_wait(new QTimer(this))
{
    m_wait->setObjectName(QStringLiteral("firstPageWait"));
    m_wait->setSingleShot(true);
    m_wait->setInterval(wait);
    connect(m_wait, &QTimer::timeout, this, &FirstPageWatch::onWaitOver);
    connect(&m_web1, &Platform::BrowserPane::documentComplete, this, &FirstPageWatch::onDocumentComplete);
    connect(&m_web1, &Platform::BrowserPane::loadFailed, this, &FirstPageWatch::onLoadFailed);
}

void FirstPageWatch::load(const QString &address)
{
    if (m_phase == Phase::Over)
        return;
    m_address = address;
    m_phase = Phase::Loading;
    m_wait->start();
    m_web1.navigate(address);
}

void FirstPageWatch::onDocumentComplete()
{
    if (m_phase == Phase::Idle || m_phase == Phase::Over)
        return;
    m_phase = Phase::Over;
    m_wait->stop();
    disconnect(&m_web1, nullptr, this, nullptr);
    emit loaded();
}

void FirstPageWatch::onLoadFailed(const QString &address, const Platform::LoadFailure &failure)
{
    // A load replaced by a newer one says nothing about the server; the
    // newer one reports for itself.
    if (m_phase == Phase::Idle || m_phase == Phase::Over || failure.kind == Platform::LoadFailure::Kind::Aborted)
        return;
    m_phase = Phase::Failed;
    m_wait->stop();
    emit failed(address.isEmpty() ? m_address : address, failure);
}

void FirstPageWatch::onWaitOver()
{
    if (m_phase != Phase::Loading)
        return;
    // The load is left running: the server may yet answer, and then the
    // course starts as it always does.
    m_phase = Phase::Failed;
    emit failed(m_address, Platform::LoadFailure{Platform::LoadFailure::Kind::TimedOut, 0, {}, {}});
}

} // namespace Tamberlyn::Shell
