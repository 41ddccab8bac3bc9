#pragma once

#include "change_events.h"
#include "lum_application.h"

#include <QCoreApplication>

#include <utility>

// Records the (type, identifier) of the model change events that reach the
// application object. Posted events arrive only when the queue is delivered.
class ChangeEventRecorder : public QObject
{
public:
    using Seen = QList<std::pair<int, uint>>;

    ChangeEventRecorder()
    {
        QCoreApplication::sendPostedEvents(); // what earlier steps posted is not ours
        connect(LumApplication::instance(), &LumApplication::changeEvent, this,
                [this](QEvent *event) {
                    seen.append({int(event->type()), static_cast<IdEvent *>(event)->id()});
                });
    }

    // Delivers posted events, then hands over what arrived.
    Seen take()
    {
        QCoreApplication::sendPostedEvents();
        return std::exchange(seen, {});
    }

    Seen seen;
};
