#include "unattended_schedule.h"

#include "lum_document.h"
#include "upload_runs.h"

UnattendedSchedule::UnattendedSchedule(UploadRuns *runs, LumDocument *document, QObject *parent)
    : QObject(parent), m_runs(runs), m_document(document)
{
    m_stopTimer.setSingleShot(true);
    connect(&m_stopTimer, &QTimer::timeout, this, &UnattendedSchedule::onStopTimeout);
}

void UnattendedSchedule::start()
{
    m_document->discoverAll();
    m_runs->rearmScheduleTimer();
}

void UnattendedSchedule::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    connect(m_runs, &UploadRuns::settled, this, &UnattendedSchedule::onSettled);
    m_stopTimer.start(m_stopWaitMsec);
    m_runs->cancelAll(); // settled() follows, also when nothing was under way
}

void UnattendedSchedule::onSettled()
{
    if (m_stopping && m_runs->isSettled())
        finish();
}

void UnattendedSchedule::onStopTimeout()
{
    m_stopTimedOut = true;
    finish();
}

void UnattendedSchedule::finish()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_stopTimer.stop();
    disconnect(m_runs, &UploadRuns::settled, this, &UnattendedSchedule::onSettled);
    emit stopped();
}
