#pragma once

#include <QObject>
#include <QTimer>

class LumDocument;
class UploadRuns;

// The project's upload schedule kept without an operator (the command line's
// run, on a server without a desktop session): every controller is
// discovered, and the scheduled runs start at their times with their reports
// and alert mails, as in the application.
//
//   start() -> Running -> stop() -> Stopping: no run starts any more, the
//   uploads under way are cancelled; once their reports are complete and
//   their mails done, or the stop wait has passed -> stopped()
class UnattendedSchedule : public QObject
{
    Q_OBJECT

public:
    // A launch in flight when stopping still takes up to its answer time,
    // and a mail up to its connection time and dialogue.
    static constexpr int DefaultStopWaitMsec = 90000;

    UnattendedSchedule(UploadRuns *runs, LumDocument *document, QObject *parent = nullptr);

    void setStopWait(int msec) { m_stopWaitMsec = msec; }

    // Discovers every controller and arms the schedule timer.
    void start();
    // Ends the schedule cleanly; stopped() follows from the event loop.
    void stop();
    bool isStopping() const { return m_stopping; }
    // The stop wait passed with runs or mails still under way.
    bool stopTimedOut() const { return m_stopTimedOut; }

signals:
    void stopped();

private slots:
    void onSettled();
    void onStopTimeout();

private:
    void finish();

    UploadRuns *m_runs;
    LumDocument *m_document;
    int m_stopWaitMsec = DefaultStopWaitMsec;
    QTimer m_stopTimer;
    bool m_stopping = false;
    bool m_stopped = false;
    bool m_stopTimedOut = false;
};
