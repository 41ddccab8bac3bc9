#pragma once

#include "change_events.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

class LumDocument;

// Discovers chosen controllers and tells when each has answered or failed,
// for shells that must know before they go on (the command line's status and
// upload). The wait is bounded: a controller still asking when the time is
// up is taken as it stands (not found, unless an earlier answer found it).
//
//   start(): discover() on each -> poll until none is discovering
//            or the deadline passed -> finished()
class DiscoveryWait : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMsec = 15000;

    DiscoveryWait(LumDocument *document, const IdSet &controllerIds,
                  int timeoutMsec = DefaultTimeoutMsec, QObject *parent = nullptr);

    // Starts discovery of each controller afresh and the wait; finished()
    // follows from the event loop, never from within this call.
    void start();
    // Ends the wait at once; finished() follows from the event loop.
    void stop();
    bool isFinished() const { return m_finished; }
    // Whether the deadline ended the wait while some controller still asked.
    bool timedOut() const { return m_timedOut; }

signals:
    void finished();

private slots:
    void check();

private:
    bool anyDiscovering() const;
    void finish();

    LumDocument *m_document;
    IdSet m_controllerIds;
    int m_timeoutMsec;
    QDeadlineTimer m_deadline;
    QTimer m_poll;
    bool m_finished = false;
    bool m_timedOut = false;
};
