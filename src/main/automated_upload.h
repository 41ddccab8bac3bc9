#pragma once

#include "change_events.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class DiscoveryWait;
class LumDocument;
class UploadReport;
class UploadRuns;

// One upload run that nobody watches over, from discovery to the mailed
// report (the command line's upload). The run is automated as a scheduled
// run is: no questions, a pending retry is not cut short, and the report
// counts as not started by the operator for the alert mail.
//
//   start() -> Discovering: each controller is discovered; the run starts
//              once each has answered or failed (bounded)
//           -> Running: until every controller has reported, retries
//              included as the preferences say
//           -> Mailing: until the alert mail, if one is sent, has gone out
//              or failed, or the mail wait has passed
//           -> Finished: finished()
//   cancel(): while discovering, no run starts; while running, every
//   controller of the run cancels and the report says "Upload was cancelled".
class AutomatedUpload : public QObject
{
    Q_OBJECT

public:
    enum Stage
    {
        Stage_Idle = 0,
        Stage_Discovering = 1,
        Stage_Running = 2,
        Stage_Mailing = 3,
        Stage_Finished = 4
    };

    // Beyond the mail client's own 30 s for the connection, the dialogue with
    // a server that stops answering is not bounded; this is.
    static constexpr int DefaultMailWaitMsec = 60000;

    AutomatedUpload(UploadRuns *runs, LumDocument *document, QObject *parent = nullptr);
    ~AutomatedUpload() override;

    void setDiscoveryWait(int msec) { m_discoveryWaitMsec = msec; }
    void setMailWait(int msec) { m_mailWaitMsec = msec; }

    // Controllers that exist in the document, at least one.
    void start(const IdSet &controllerIds);
    void cancel();

    Stage stage() const { return m_stage; }
    bool isCancelled() const { return m_cancelled; }
    // Whether the run started, so that there is a report.
    bool hasReport() const { return m_reportId != NoReport; }
    uint reportId() const { return m_reportId; }
    // Once finished with a report: its text and failed results.
    QString reportText() const { return m_reportText; }
    int failedCount() const { return m_failedCount; }
    // The mail wait passed before the alert mail was done.
    bool mailTimedOut() const { return m_mailTimedOut; }

signals:
    void runStarted(uint reportId);
    // Every controller of the run has reported; the report's text is known
    // and the alert mail is about to be sent.
    void reportReady();
    void finished();

private slots:
    void onDiscovered();
    void onRunStarting(uint reportId);
    void onReportCompleted(const UploadReport &report);
    void checkMail();
    void onMailTimeout();

private:
    static constexpr uint NoReport = uint(-1);

    void cancelRun();
    void finish();

    UploadRuns *m_runs;
    LumDocument *m_document;
    IdSet m_controllerIds;
    QPointer<DiscoveryWait> m_discovery;
    int m_discoveryWaitMsec;
    int m_mailWaitMsec = DefaultMailWaitMsec;
    QTimer m_mailTimer;
    Stage m_stage = Stage_Idle;
    bool m_cancelled = false;
    bool m_starting = false;
    uint m_reportId = NoReport;
    QString m_reportText;
    int m_failedCount = 0;
    bool m_mailTimedOut = false;
};
