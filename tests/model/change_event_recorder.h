#pragma once

#include "change_events.h"
#include "lum_application.h"

#include <QCoreApplication>
#include <QList>
#include <QObject>

#include <utility>

// Records the (type, identifier) of every model change event that reaches the
// application object. Posted events arrive only once the queue is delivered.
class ChangeEventRecorder : public QObject
{
public:
    using Seen = QList<std::pair<int, uint>>;

    ChangeEventRecorder()
    {
        QCoreApplication::sendPostedEvents(); // what earlier steps posted is not ours
        connect(LumApplication::instance(), &LumApplication::changeEvent, this,
                [this](QEvent *event) {
                    m_seen.append({int(event->type()), static_cast<IdEvent *>(event)->id()});
                });
    }

    // What arrived so far, without delivering posted events.
    Seen seen() const { return m_seen; }
    // Delivers posted events, then hands over and forgets what arrived.
    Seen take()
    {
        QCoreApplication::sendPostedEvents();
        return std::exchange(m_seen, {});
    }

private:
    Seen m_seen;
};
