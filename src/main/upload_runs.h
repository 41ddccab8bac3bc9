#pragma once

#include "change_events.h"
#include "media_transcoder.h"
#include "upload_report.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <map>
#include <memory>

class LumDocument;
class Smtp;

// The upload runs of the application, for the GUI and the command line
// alike: starting a run over chosen controllers with its report, collecting
// the controllers' results, mailing a completed report, and starting the
// scheduled runs of the document's upload schedule at their times.
//
// The schedule timer is single-shot and precise, armed for the earliest
// scheduled time on a whole-second boundary. A run whose time has come
// waits until each of its controllers' discovery has answered or failed
// (bounded), so that a run due at the opening of a project does not find its
// controllers "not found" merely because nobody has asked them yet.
class UploadRuns : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultDiscoveryWaitMsec = 15000;
    // The timer is never armed for longer; it re-arms when it fires early.
    static constexpr qint64 MaximumTimerMsec = 24 * 3600 * 1000;

    explicit UploadRuns(LumDocument *document, QObject *parent = nullptr);
    ~UploadRuns() override;

    // Starts one run over the controllers (at least one, each existing) and
    // returns its report's identifier. A run not started by the operator
    // (`manual` false) is unattended: no questions, and its controllers
    // leave the schedule.
    uint upload(const IdSet &controllerIds, bool manual);
    // Starts the run once no controller of it is still being discovered, or
    // once the discovery wait has passed. Controllers no longer in the
    // document are left out; nothing starts when none is left.
    void uploadWhenDiscovered(const IdSet &controllerIds, bool manual);
    // A controller's outcome in the run `reportId`; results for a report
    // that completed or never existed are ignored.
    void reportUploadResult(uint reportId, uint controllerId, UploadReport::State result,
                            const QString &message);

    // The report of a run still under way; null otherwise.
    const UploadReport *report(uint reportId) const;
    int runningReportCount() const { return int(m_reports.size()); }
    // Runs waiting for their controllers' discovery.
    int waitingRunCount() const { return int(m_waitingRuns.size()); }

    // Mails the report when the document's mail settings ask for it.
    void sendAlertMail(const UploadReport &report);
    // Alert mails still being sent.
    int pendingMailCount() const;
    // Whether the alert mail of that run is still being sent.
    bool isMailPending(uint reportId) const;

    // Nothing under way: no run open, none waiting for discovery, no alert
    // mail being sent.
    bool isSettled() const;
    // Stops every run for good, as when the process is to end: the schedule
    // timer stops, runs waiting for discovery are dropped and every
    // controller's upload is cancelled. The reports of the runs complete as
    // their controllers conclude, and are mailed as usual; settled() follows.
    void cancelAll();

    // Arms the timer for the next scheduled time (after a project was opened
    // and on every change of the schedule).
    void rearmScheduleTimer();
    // When the project closes: the timer stops and the runs still waiting
    // for discovery are dropped (their controllers are gone).
    void stopScheduleTimer();
    const QTimer *scheduleTimer() const { return &m_scheduleTimer; }
    void setDiscoveryWait(int msec) { m_discoveryWaitMsec = msec; }

public slots:
    // Takes the controllers of the earliest scheduled time and starts their run.
    void startScheduledUpload();
    // Re-arms the timer when the schedule changed.
    void onChangeEvent(QEvent *event);
    // Hands a finished conversion to every controller.
    void onTranscodeComplete(const QString &sourcePath, MediaType type,
                             MediaTranscoder::State state);

signals:
    // A run's report is filed and its controllers are about to start.
    void runStarting(uint reportId);
    // Every controller of a run has reported; true when none failed.
    void uploadReportCompleted(bool success);
    // Right after uploadReportCompleted, with the completed report.
    void reportCompleted(const UploadReport &report);
    void alertMailFinished(bool delivered);
    // The runs became settled (see isSettled): a report completed and its
    // mail, if any, went out or failed, or the last waiting run was dropped.
    // Emitted from the event loop after the change.
    void settled();

private slots:
    void onScheduleDue();
    void checkWaitingRuns();

private:
    void endProjectRuns();

    struct WaitingRun
    {
        IdSet controllerIds;
        bool manual = false;
        QDeadlineTimer deadline;
    };

    void queueSettledCheck();
    void armScheduleTimer(const QDateTime &next, const QDateTime &now);
    void queueScheduleDue();
    bool anyDiscovering(const IdSet &controllerIds) const;
    IdSet existingControllers(const IdSet &controllerIds) const;

    LumDocument *m_document;
    std::map<uint, std::unique_ptr<UploadReport>> m_reports;
    QTimer m_scheduleTimer;
    bool m_dueQueued = false;
    bool m_settledCheckQueued = false;
    QList<WaitingRun> m_waitingRuns;
    QTimer m_discoveryPoll;
    int m_discoveryWaitMsec = DefaultDiscoveryWaitMsec;
    QMap<uint, QPointer<Smtp>> m_mails; // by report
};
