#pragma once

#include "change_events.h"
#include "lum_application.h"

#include <QCoreApplication>
#include <QStringList>

#include <utility>

// Records the change events that reach the application object as short
// texts, joined by "; ": "1006 {3,4} select; 1003 7; 1012".
class EventTextRecorder : public QObject
{
public:
    EventTextRecorder()
    {
        QCoreApplication::sendPostedEvents(); // what earlier steps posted is not ours
        // Removed and restored controllers stop and restart their discovery,
        // which posts discovery events of its own: not the commands' concern.
        connect(LumApplication::instance(), &LumApplication::changeEvent, this,
                [this](QEvent *event) {
                    if (event->type() != QEvent::Type(Event_ControllerDiscovery))
                        m_seen << describe(event);
                });
    }

    // Delivers posted events, then hands over what arrived.
    QString take()
    {
        QCoreApplication::sendPostedEvents();
        return std::exchange(m_seen, {}).join(QStringLiteral("; "));
    }

private:
    static QString describe(QEvent *event)
    {
        const int type = int(event->type());
        QString text = QString::number(type);
        bool quiet = false;
        if (type == Event_InstallationAdded || type == Event_InstallationRemoved) {
            QStringList ids;
            for (const uint id : static_cast<IdSetEvent *>(event)->ids())
                ids << QString::number(id);
            text += QStringLiteral(" {%1}").arg(ids.join(QLatin1Char(',')));
            if (type == Event_InstallationAdded)
                quiet = static_cast<InstallationAddedEvent *>(event)->noSelection();
        } else if (type != Event_ScheduledUploadTimeChanged) {
            text += QLatin1Char(' ') + QString::number(static_cast<IdEvent *>(event)->id());
            if (type == Event_InstallationGroupAdded)
                quiet = static_cast<InstallationGroupAddedEvent *>(event)->noSelection();
        }
        if (type == Event_InstallationAdded || type == Event_InstallationGroupAdded)
            text += quiet ? QStringLiteral(" quiet") : QStringLiteral(" select");
        return text;
    }

    QStringList m_seen;
};
