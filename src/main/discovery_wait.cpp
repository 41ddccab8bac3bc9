#include "discovery_wait.h"

#include "lum_document.h"

namespace {
// An HTTP error ends discovery without any event, so the wait looks.
constexpr int PollMsec = 20;
} // namespace

DiscoveryWait::DiscoveryWait(LumDocument *document, const IdSet &controllerIds, int timeoutMsec,
                             QObject *parent)
    : QObject(parent), m_document(document), m_controllerIds(controllerIds),
      m_timeoutMsec(timeoutMsec)
{
    m_poll.setInterval(PollMsec);
    connect(&m_poll, &QTimer::timeout, this, &DiscoveryWait::check);
}

void DiscoveryWait::start()
{
    m_finished = false;
    m_timedOut = false;
    for (const uint controllerId : m_controllerIds) {
        if (m_document->controllerExists(controllerId))
            m_document->controller(controllerId)->discover();
    }
    m_deadline.setRemainingTime(m_timeoutMsec, Qt::PreciseTimer);
    m_poll.start();
}

void DiscoveryWait::stop()
{
    if (m_finished || !m_poll.isActive())
        return;
    m_poll.stop();
    QMetaObject::invokeMethod(this, &DiscoveryWait::finish, Qt::QueuedConnection);
}

void DiscoveryWait::check()
{
    if (!anyDiscovering()) {
        finish();
    } else if (m_deadline.hasExpired()) {
        m_timedOut = true;
        finish();
    }
}

bool DiscoveryWait::anyDiscovering() const
{
    for (const uint controllerId : m_controllerIds) {
        if (m_document->controllerExists(controllerId) &&
            m_document->controller(controllerId)->isDiscovering())
            return true;
    }
    return false;
}

void DiscoveryWait::finish()
{
    if (m_finished)
        return;
    m_poll.stop();
    m_finished = true;
    emit finished();
}
