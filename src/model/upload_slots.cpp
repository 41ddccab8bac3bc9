#include "upload_slots.h"

#include "controller.h"
#include "lum_application.h"
#include "lum_preferences.h"

#include <QCoreApplication>
#include <QPointer>

namespace {
QPointer<UploadSlots> &theSlots()
{
    static QPointer<UploadSlots> current;
    return current;
}
} // namespace

UploadSlots *UploadSlots::instance()
{
    if (!theSlots())
        theSlots() = new UploadSlots(QCoreApplication::instance());
    return theSlots();
}

void UploadSlots::forget(const Controller *controller)
{
    if (theSlots())
        theSlots()->release(controller);
}

UploadSlots::UploadSlots(QObject *parent) : QObject(parent)
{}

int UploadSlots::limit() const
{
    if (m_limitOverride >= 0)
        return m_limitOverride;
    const LumApplication *application = LumApplication::instance();
    if (!application)
        return 0;
    return qMax(
        0, application->preferences()->value(LumPreferences::Key_MaxSimultaneousUploads).toInt());
}

void UploadSlots::setLimitOverride(int limit)
{
    m_limitOverride = limit;
    grantWaiting();
}

bool UploadSlots::isFree() const
{
    const int maximum = limit();
    return maximum == 0 || m_holders.size() < maximum;
}

bool UploadSlots::acquire(const Controller *controller)
{
    if (m_holders.contains(controller))
        return true;
    grantWaiting(); // the limit may have been raised since
    if (m_waiting.isEmpty() && isFree()) {
        m_holders.append(controller);
        return true;
    }
    if (!m_waiting.contains(controller))
        m_waiting.append(controller);
    return false;
}

void UploadSlots::release(const Controller *controller)
{
    m_waiting.removeOne(controller);
    if (m_holders.removeOne(controller))
        grantWaiting();
}

// The controller starts from the event loop: a slot is mostly freed in the
// middle of another controller's work.
void UploadSlots::grantWaiting()
{
    while (!m_waiting.isEmpty() && isFree()) {
        const Controller *next = m_waiting.takeFirst();
        m_holders.append(next);
        QMetaObject::invokeMethod(const_cast<Controller *>(next), &Controller::startWithUploadSlot,
                                  Qt::QueuedConnection);
    }
}
