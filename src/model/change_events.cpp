#include "change_events.h"

#include "lum_application.h"

#include <QCoreApplication>

#include <memory>

bool isChangeEvent(QEvent::Type type)
{
    return type >= QEvent::Type(Event_ApplicationLaunched) &&
           type <= QEvent::Type(Event_ScheduledUploadTimeChanged);
}

void postChangeEvent(QEvent *event)
{
    std::unique_ptr<QEvent> owned(event);
    if (QObject *receiver = LumApplication::instance())
        QCoreApplication::postEvent(receiver, owned.release());
}

void sendChangeEvent(QEvent &event)
{
    if (QObject *receiver = LumApplication::instance())
        QCoreApplication::sendEvent(receiver, &event);
}
