#include "upload_runs.h"

#include "app_constants.h"
#include "lum_application.h"
#include "lum_assert.h"
#include "lum_document.h"
#include "smtp.h"

namespace {
constexpr int DiscoveryPollMsec = 50;

void logSchedule(const QString &message)
{
    LumApplication::log(Category_Schedule, message, 0, false);
}
} // namespace

UploadRuns::UploadRuns(LumDocument *document, QObject *parent)
    : QObject(parent), m_document(document)
{
    m_scheduleTimer.setSingleShot(true);
    // The default coarse timer may fire up to 5 % early; a run never starts
    // before its time.
    m_scheduleTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_scheduleTimer, &QTimer::timeout, this, &UploadRuns::onScheduleDue);
    m_discoveryPoll.setInterval(DiscoveryPollMsec);
    connect(&m_discoveryPoll, &QTimer::timeout, this, &UploadRuns::checkWaitingRuns);
    connect(document, &LumDocument::aboutToReset, this, &UploadRuns::endProjectRuns);
}

UploadRuns::~UploadRuns()
{
    for (const QPointer<Smtp> &mail : std::as_const(m_mails))
        delete mail.data();
}

// --- Runs and reports -----------------------------------------------------------------

uint UploadRuns::upload(const IdSet &controllerIds, bool manual)
{
    LUM_ASSERT(controllerIds.size() > 0);
    auto report = std::make_unique<UploadReport>(m_document, controllerIds, manual);
    report->setStartTime(QDateTime::currentDateTime());
    const uint reportId = report->id();
    m_reports[reportId] = std::move(report);
    emit runStarting(reportId);
    for (const uint controllerId : controllerIds) {
        if (!manual)
            m_document->uploadSchedule().unschedule(controllerId);
        m_document->controller(controllerId)->upload(reportId, manual);
    }
    return reportId;
}

void UploadRuns::uploadWhenDiscovered(const IdSet &controllerIds, bool manual)
{
    const IdSet existing = existingControllers(controllerIds);
    if (existing.empty())
        return;
    if (!anyDiscovering(existing)) {
        upload(existing, manual);
        return;
    }
    m_waitingRuns.append(WaitingRun{existing, manual, QDeadlineTimer(m_discoveryWaitMsec)});
    m_discoveryPoll.start();
}

void UploadRuns::checkWaitingRuns()
{
    for (qsizetype i = 0; i < m_waitingRuns.size();) {
        WaitingRun &run = m_waitingRuns[i];
        run.controllerIds = existingControllers(run.controllerIds);
        if (!run.controllerIds.empty() && !run.deadline.hasExpired() &&
            anyDiscovering(run.controllerIds)) {
            ++i;
            continue;
        }
        const WaitingRun ready = m_waitingRuns.takeAt(i);
        if (!ready.controllerIds.empty())
            upload(ready.controllerIds, ready.manual);
        else
            queueSettledCheck(); // its controllers are gone: no report
    }
    if (m_waitingRuns.isEmpty())
        m_discoveryPoll.stop();
}

bool UploadRuns::anyDiscovering(const IdSet &controllerIds) const
{
    for (const uint controllerId : controllerIds) {
        if (m_document->controller(controllerId)->isDiscovering())
            return true;
    }
    return false;
}

IdSet UploadRuns::existingControllers(const IdSet &controllerIds) const
{
    IdSet existing;
    for (const uint controllerId : controllerIds) {
        if (m_document->controllerExists(controllerId))
            existing.insert(controllerId);
    }
    return existing;
}

void UploadRuns::reportUploadResult(uint reportId, uint controllerId, UploadReport::State result,
                                    const QString &message)
{
    const auto found = m_reports.find(reportId);
    if (found == m_reports.end())
        return;
    found->second->setResult(controllerId, result, message);
    if (!found->second->isComplete())
        return;
    // Out of the registry first, so that late results and the receivers of
    // the signal see the run as over.
    const std::unique_ptr<UploadReport> completed = std::move(found->second);
    m_reports.erase(found);
    emit uploadReportCompleted(completed->failedCount() == 0);
    emit reportCompleted(*completed);
    sendAlertMail(*completed);
    queueSettledCheck();
}

const UploadReport *UploadRuns::report(uint reportId) const
{
    const auto found = m_reports.find(reportId);
    return found == m_reports.end() ? nullptr : found->second.get();
}

void UploadRuns::onTranscodeComplete(const QString &sourcePath, MediaType type,
                                     MediaTranscoder::State state)
{
    for (Controller *controller : m_document->controllers())
        controller->mediaTranscoded(sourcePath, type, state);
}

// --- Alert mail ---------------------------------------------------------------------

void UploadRuns::sendAlertMail(const UploadReport &report)
{
    const MailSettings &settings = m_document->mailSettings();
    if (!settings.enabled)
        return;
    if (report.isManual() && !settings.sendForManualUploads)
        return;
    if (settings.server.isEmpty()) {
        LumApplication::log(Category_Smtp, tr("SMTP server address not set"), 0, false);
        return;
    }
    if (settings.recipients.isEmpty()) {
        LumApplication::log(Category_Smtp, tr("No SMTP recipients set"), 0, false);
        return;
    }
    auto *mail = new Smtp();
    connect(mail, &Smtp::authenticationRequired, m_document,
            &LumDocument::handleSmtpAuthenticationRequest);
    connect(mail, &Smtp::sent, mail, &QObject::deleteLater);
    const uint reportId = report.id();
    connect(mail, &Smtp::sent, this, [this, reportId](bool delivered) {
        m_mails.remove(reportId);
        emit alertMailFinished(delivered);
        queueSettledCheck();
    });
    for (const QString &recipient : settings.recipients)
        mail->addRecipient(recipient);
    mail->setFrom(QStringLiteral("\"%1\" <>").arg(AppConstants::displayName()));
    mail->setSubject(tr("Automated report from %1").arg(AppConstants::displayName()));
    mail->setBody(report.text());
    m_mails.insert(reportId, mail);
    mail->send(settings.server, settings.port);
}

bool UploadRuns::isMailPending(uint reportId) const
{
    return !m_mails.value(reportId).isNull();
}

int UploadRuns::pendingMailCount() const
{
    int count = 0;
    for (const QPointer<Smtp> &mail : m_mails) {
        if (mail)
            ++count;
    }
    return count;
}

// --- Settling -----------------------------------------------------------------------

bool UploadRuns::isSettled() const
{
    return m_reports.empty() && m_waitingRuns.isEmpty() && pendingMailCount() == 0;
}

// The project closes: its schedule and the runs waiting for discovery go
// (identifiers are reused by the next project), and runs under way end as
// cancelled, since their controllers go with the project.
void UploadRuns::endProjectRuns()
{
    stopScheduleTimer();
    std::vector<std::pair<uint, uint>> unfinished; // report, controller
    for (const auto &[reportId, report] : m_reports) {
        for (const auto &[controllerId, result] : report->results()) {
            if (result.result == UploadReport::State_None)
                unfinished.emplace_back(reportId, controllerId);
        }
    }
    for (const auto &[reportId, controllerId] : unfinished)
        reportUploadResult(reportId, controllerId, UploadReport::State_Cancelled,
                           tr("Upload was cancelled"));
    queueSettledCheck();
}

void UploadRuns::cancelAll()
{
    stopScheduleTimer();
    m_document->cancelUploads(IdSet());
    queueSettledCheck();
}

// From the event loop: a completed report's mail starts right after the
// report's signals, and a mail may end within its own send().
void UploadRuns::queueSettledCheck()
{
    if (m_settledCheckQueued)
        return;
    m_settledCheckQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_settledCheckQueued = false;
            if (isSettled())
                emit settled();
        },
        Qt::QueuedConnection);
}

// --- Schedule -------------------------------------------------------------------------

void UploadRuns::onChangeEvent(QEvent *event)
{
    if (int(event->type()) == Event_ScheduledUploadTimeChanged)
        rearmScheduleTimer();
}

void UploadRuns::rearmScheduleTimer()
{
    const bool wasRunning = m_scheduleTimer.isActive();
    m_scheduleTimer.stop();
    const QDateTime next = m_document->uploadSchedule().nextUploadTime();
    if (next.isValid()) {
        const QDateTime now = QDateTime::currentDateTime();
        if (next > now) {
            armScheduleTimer(next, now);
            logSchedule(tr("Next upload scheduled for %1").arg(next.toString(Qt::TextDate)));
        } else {
            logSchedule(tr("Scheduled upload time (%1) has passed - uploading now")
                            .arg(next.toString(Qt::TextDate)));
            queueScheduleDue();
        }
    }
    if (wasRunning && !m_scheduleTimer.isActive())
        logSchedule(tr("Scheduled upload cancelled"));
}

void UploadRuns::stopScheduleTimer()
{
    m_scheduleTimer.stop();
    m_waitingRuns.clear();
    m_discoveryPoll.stop();
}

// Fires on the whole second at or after the time; a time less than a second
// ahead gets the milliseconds that remain.
void UploadRuns::armScheduleTimer(const QDateTime &next, const QDateTime &now)
{
    const qint64 seconds = now.secsTo(next);
    qint64 interval = seconds > 0 ? (seconds + 1) * 1000 - now.time().msec() : now.msecsTo(next);
    interval = qBound<qint64>(1, interval, MaximumTimerMsec);
    m_scheduleTimer.start(int(interval));
}

void UploadRuns::queueScheduleDue()
{
    if (m_dueQueued)
        return;
    m_dueQueued = true;
    QMetaObject::invokeMethod(this, &UploadRuns::onScheduleDue, Qt::QueuedConnection);
}

// The timer fired or a passed time was found: the earliest run starts only
// when its time has come, else the timer waits again.
void UploadRuns::onScheduleDue()
{
    m_dueQueued = false;
    const QDateTime next = m_document->uploadSchedule().nextUploadTime();
    const QDateTime now = QDateTime::currentDateTime();
    if (next.isValid() && next > now) {
        armScheduleTimer(next, now);
        return;
    }
    startScheduledUpload();
}

void UploadRuns::startScheduledUpload()
{
    const UploadSchedule::ControllerIds due = m_document->uploadSchedule().takeNext();
    if (!due.empty()) {
        logSchedule(tr("Starting scheduled upload"));
        // Nobody may have looked at the files for months: send what is on
        // the disk now, except to templates whose uploads are under way.
        m_document->reanalyseIdleChangedShowFiles();
        uploadWhenDiscovered(due, false);
    } else {
        logSchedule(tr("Scheduled upload time passed but no controllers were scheduled to upload"));
    }
    ScheduledUploadTimeChangedEvent changed;
    sendChangeEvent(changed);
}
