#pragma once

#include "log_entry.h"
#include "upload_report.h"

#include <QObject>

class EventLog;
class LumDocument;
class LumPreferences;
class MediaTranscoder;
class UploadRuns;

// The one application object of the process, without widgets: both the GUI
// and the command line create it. It owns the event log and the preferences,
// receives the model's change events and turns them into signals for the
// shell that runs it.
class LumApplication : public QObject
{
    Q_OBJECT

public:
    // Creates the one instance; a second creation is a programming error.
    static LumApplication *create(QObject *parent = nullptr);
    static LumApplication *instance();
    ~LumApplication() override;

    // The application-wide log call. Without an application object (a bare
    // model in a unit test) the entry is dropped.
    static void log(LogCategory category, const QString &message, int level,
                    bool escapeControlChars);

    // The only way the controller link reports the outcome of a controller
    // in an upload run; dropped without an application object.
    static void reportUploadResult(uint reportId, uint controllerId, UploadReport::State result,
                                   const QString &message);

    // Process-wide log display level, set from "-log_level=" at start-up.
    static int logLevel();
    static void setLogLevel(int level);

    EventLog *eventLog() const { return m_eventLog; }
    LumPreferences *preferences() const { return m_preferences; }
    // The one project document of the run; reset, never replaced.
    LumDocument *document() const { return m_document; }
    // Upload runs, their reports and the schedule timer.
    UploadRuns *uploadRuns() const { return m_uploadRuns; }

    // Creates the process-wide media transcoder, owned by the application.
    // Only shells that upload create it: without one the document's
    // conversion requests do nothing, so tools that only read and write
    // projects never spend time converting media.
    MediaTranscoder *createMediaTranscoder();

    // Whether a project is open: from a successful new or open until the
    // next close. The document exists, empty, when none is.
    bool isDocumentOpen() const { return m_documentOpen; }
    // The document holds the project to work on from now on. A project read
    // from a file is first brought up to date with its show files, every
    // controller is asked for its status and the schedule timer is armed.
    // documentOpened() follows.
    void beginProject(bool loadedFromFile);
    // Ends the project: its schedule stops, documentClosing(), the document
    // is reset (its runs end as cancelled), the log is cleared, then
    // documentClosed(). Nothing happens when no project is open.
    void endProject();

public slots:
    // Understands "launch" optionally followed by one blank and a path.
    void singleAppMessageReceived(const QString &message);

signals:
    void documentOpened();
    void documentClosing();
    void documentClosed();
    // The launch event arrived with the file named on the command line.
    void applicationLaunched(const QString &path);
    // Another start handed over "launch [path]".
    void launchRequested(const QString &path);
    void launchDialogRequested();
    // Every model change event, after the application's own reaction; sent
    // events are delivered before the sender goes on.
    void changeEvent(QEvent *event);
    // Every controller of an upload run has reported; true when none failed.
    void uploadReportCompleted(bool success);

protected:
    bool event(QEvent *event) override;

private:
    explicit LumApplication(QObject *parent);

    EventLog *m_eventLog;
    LumPreferences *m_preferences;
    LumDocument *m_document;
    UploadRuns *m_uploadRuns;
    bool m_documentOpen = false;
};
