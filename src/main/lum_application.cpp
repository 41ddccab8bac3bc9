#include "lum_application.h"

#include "app_constants.h"
#include "change_events.h"
#include "crash_handler.h"
#include "event_log.h"
#include "lum_assert.h"
#include "lum_document.h"
#include "lum_preferences.h"
#include "media_transcoder.h"
#include "upload_runs.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStandardPaths>

#include <sys/resource.h>

namespace {
LumApplication *theInstance = nullptr;
int processLogLevel = 0;

// Dumps go to the per-user data folder. The GUI tells the user in a window of
// the message program beside it; the command line tells on stderr.
void installCrashReporting()
{
    installCrashHandler(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                        QLatin1String("/core_dumps"));
    const QCoreApplication *qtApp = QCoreApplication::instance();
    if (qtApp && qtApp->inherits("QGuiApplication")) {
        setCrashMessageProgram(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                               crashMessageProgramName());
    }
}

// An upload holds a control and a data connection and a file for each
// controller, and a fleet has up to 1024 of them: the soft limit of open
// files (often 1024) is lifted to the hard one, for either shell.
void raiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}
} // namespace

LumApplication *LumApplication::create(QObject *parent)
{
    LumApplication *&instance = theInstance;
    LUM_ASSERT(instance == NULL);
    instance = new LumApplication(parent);
    return instance;
}

LumApplication *LumApplication::instance()
{
    return theInstance;
}

LumApplication::LumApplication(QObject *parent) : QObject(parent)
{
    QCoreApplication::setOrganizationName(AppConstants::organisationName());
    QCoreApplication::setApplicationName(AppConstants::applicationName());
    QCoreApplication::setApplicationVersion(AppConstants::versionText());
    installCrashReporting();
    raiseOpenFileLimit();
    m_eventLog = new EventLog(this);
    m_preferences = new LumPreferences(this);
    m_document = new LumDocument(this);
    m_uploadRuns = new UploadRuns(m_document, this);
    connect(m_uploadRuns, &UploadRuns::uploadReportCompleted, this,
            &LumApplication::uploadReportCompleted);
    connect(this, &LumApplication::changeEvent, m_uploadRuns, &UploadRuns::onChangeEvent);
}

LumApplication::~LumApplication()
{
    theInstance = nullptr;
}

void LumApplication::log(LogCategory category, const QString &message, int level,
                         bool escapeControlChars)
{
    if (theInstance)
        theInstance->m_eventLog->log(category, message, level, escapeControlChars);
}

void LumApplication::reportUploadResult(uint reportId, uint controllerId,
                                        UploadReport::State result, const QString &message)
{
    if (theInstance)
        theInstance->m_uploadRuns->reportUploadResult(reportId, controllerId, result, message);
}

MediaTranscoder *LumApplication::createMediaTranscoder()
{
    MediaTranscoder *transcoder = MediaTranscoder::create(this);
    connect(transcoder, &MediaTranscoder::transcodeComplete, m_uploadRuns,
            &UploadRuns::onTranscodeComplete);
    return transcoder;
}

void LumApplication::beginProject(bool loadedFromFile)
{
    if (loadedFromFile) {
        m_document->reanalyseChangedShowFiles();
        m_document->discoverAll();
        m_uploadRuns->rearmScheduleTimer();
    }
    m_documentOpen = true;
    emit documentOpened();
}

void LumApplication::endProject()
{
    if (!m_documentOpen)
        return;
    m_uploadRuns->stopScheduleTimer();
    emit documentClosing();
    m_document->reset();
    m_documentOpen = false;
    m_eventLog->clear();
    emit documentClosed();
}

int LumApplication::logLevel()
{
    return processLogLevel;
}

void LumApplication::setLogLevel(int level)
{
    processLogLevel = level;
}

void LumApplication::singleAppMessageReceived(const QString &message)
{
    static const QRegularExpression launch(
        QRegularExpression::anchoredPattern(QStringLiteral("launch(?: (.+))?")));
    const QRegularExpressionMatch match = launch.match(message);
    if (match.hasMatch())
        emit launchRequested(match.captured(1));
}

bool LumApplication::event(QEvent *event)
{
    if (!isChangeEvent(event->type()))
        return QObject::event(event);

    switch (int(event->type())) {
    case Event_ApplicationLaunched:
        emit applicationLaunched(static_cast<ApplicationLaunchedEvent *>(event)->path());
        break;
    case Event_ShowLaunchDialog:
        emit launchDialogRequested();
        break;
    case Event_Unused:
        break;
    default:
        emit changeEvent(event);
        break;
    }
    return true;
}
