#include "automated_upload.h"

#include "discovery_wait.h"
#include "lum_assert.h"
#include "lum_document.h"
#include "upload_report.h"
#include "upload_runs.h"

AutomatedUpload::AutomatedUpload(UploadRuns *runs, LumDocument *document, QObject *parent)
    : QObject(parent), m_runs(runs), m_document(document),
      m_discoveryWaitMsec(DiscoveryWait::DefaultTimeoutMsec)
{
    m_mailTimer.setSingleShot(true);
    connect(&m_mailTimer, &QTimer::timeout, this, &AutomatedUpload::onMailTimeout);
}

AutomatedUpload::~AutomatedUpload()
{
    delete m_discovery.data();
}

void AutomatedUpload::start(const IdSet &controllerIds)
{
    LUM_ASSERT(m_stage == Stage_Idle);
    LUM_ASSERT(controllerIds.size() > 0);
    m_controllerIds = controllerIds;
    m_stage = Stage_Discovering;
    m_discovery = new DiscoveryWait(m_document, controllerIds, m_discoveryWaitMsec, this);
    connect(m_discovery, &DiscoveryWait::finished, this, &AutomatedUpload::onDiscovered);
    m_discovery->start();
}

void AutomatedUpload::cancel()
{
    if (m_cancelled)
        return;
    switch (m_stage) {
    case Stage_Discovering:
        m_cancelled = true;
        m_discovery->stop(); // onDiscovered then starts nothing
        break;
    case Stage_Running:
        m_cancelled = true;
        cancelRun();
        break;
    default:
        break; // nothing left to cancel
    }
}

void AutomatedUpload::onDiscovered()
{
    m_discovery->deleteLater();
    if (m_cancelled) {
        finish();
        return;
    }
    m_stage = Stage_Running;
    connect(m_runs, &UploadRuns::runStarting, this, &AutomatedUpload::onRunStarting);
    connect(m_runs, &UploadRuns::reportCompleted, this, &AutomatedUpload::onReportCompleted);
    // Controllers removed meanwhile cannot take part.
    IdSet existing;
    for (const uint controllerId : m_controllerIds) {
        if (m_document->controllerExists(controllerId))
            existing.insert(controllerId);
    }
    m_controllerIds = existing;
    if (existing.empty()) {
        finish();
        return;
    }
    // Every result may come in within upload() (controllers not found), so
    // the report's identifier is taken as the run starts.
    m_starting = true;
    m_runs->upload(existing, false);
    m_starting = false;
}

void AutomatedUpload::onRunStarting(uint reportId)
{
    if (!m_starting)
        return; // another run
    m_reportId = reportId;
    emit runStarted(reportId);
}

// Only the controllers that have not reported yet: one that reported "Upload
// already in progress" belongs to another run.
void AutomatedUpload::cancelRun()
{
    const UploadReport *report = m_runs->report(m_reportId);
    if (!report)
        return;
    IdSet open;
    for (const auto &[controllerId, result] : report->results()) {
        if (result.result == UploadReport::State_None && m_document->controllerExists(controllerId))
            open.insert(controllerId);
    }
    if (!open.empty())
        m_document->cancelUploads(open);
}

void AutomatedUpload::onReportCompleted(const UploadReport &report)
{
    if (m_stage != Stage_Running || report.id() != m_reportId)
        return;
    m_reportText = report.text();
    m_failedCount = report.failedCount();
    disconnect(m_runs, &UploadRuns::reportCompleted, this, &AutomatedUpload::onReportCompleted);
    m_stage = Stage_Mailing;
    connect(m_runs, &UploadRuns::alertMailFinished, this, &AutomatedUpload::checkMail);
    m_mailTimer.start(m_mailWaitMsec);
    // The alert mail is started right after this signal, and may end within
    // its own start.
    QMetaObject::invokeMethod(this, &AutomatedUpload::checkMail, Qt::QueuedConnection);
    emit reportReady();
}

void AutomatedUpload::checkMail()
{
    if (m_stage == Stage_Mailing && !m_runs->isMailPending(m_reportId))
        finish();
}

void AutomatedUpload::onMailTimeout()
{
    if (m_stage != Stage_Mailing)
        return;
    m_mailTimedOut = true;
    finish();
}

void AutomatedUpload::finish()
{
    m_mailTimer.stop();
    disconnect(m_runs, nullptr, this, nullptr);
    m_stage = Stage_Finished;
    emit finished();
}
