#pragma once

#include "change_events.h"
#include "version_checker.h"

#include <QObject>
#include <QPointer>

#include <memory>

class DesktopDialogs;
class DesktopPrompts;
class DesktopSelection;
class GuiShell;
class InstallationTemplate;
class LumApplication;
class QAction;
class QUndoCommand;
class QUndoGroup;
class QWidget;
class RecentFiles;
class UnattendedSchedule;

// The desktop's side of the application object: the project's lifecycle
// with its questions and file dialogs, the undo group, the recent files, the
// launch events and the hand-over from a second start, the editing and
// scheduling commands, manual uploads, the release check, and a quit that
// stops the upload runs cleanly. What a shell without an operator needs too
// (opening and closing a project, the runs, the schedule timer) is in the
// core; this class asks the questions around it.
class DesktopController : public QObject
{
    Q_OBJECT

public:
    // The upload runs' stop wait when quitting, as for an unattended run.
    static constexpr int DefaultQuitWaitMsec = 90000;

    DesktopController(LumApplication *app, GuiShell *shell, QObject *parent = nullptr);
    ~DesktopController() override;

    // The dialogs of the flows; a stand-in answers until they exist.
    void setDialogs(std::unique_ptr<DesktopDialogs> dialogs);
    DesktopDialogs *dialogs() const { return m_dialogs.get(); }
    // The installation tree's selection; nothing is selected without one.
    void setSelection(DesktopSelection *selection);
    void setQuitWait(int msec) { m_quitWaitMsec = msec; }

    QUndoGroup *undoGroup() const { return m_undoGroup; }
    QAction *undoAction() const { return m_undoAction; }
    QAction *redoAction() const { return m_redoAction; }
    RecentFiles *recentFiles() const { return m_recentFiles; }
    VersionChecker *versionChecker() const { return m_versionChecker; }

    // Asked when a project is to close: true when nothing uploads, or the
    // operator chose to stop the uploads (they are then stopped).
    bool confirmActiveUploads();
    // Asked when a project is to close: true when it is unmodified, saved,
    // or the operator discards the changes.
    bool maybeSave();

    // Starts a run over the controllers (at least one); its report's identifier.
    uint upload(const IdSet &controllerIds, bool manual);
    // The schedule dialog for the controllers; the changes of time become
    // one undoable step, or children of `macro` when given.
    void scheduleControllers(const IdSet &controllerIds, QUndoCommand *macro = nullptr);

public slots:
    bool newDocument();
    bool openDocument();
    bool openDocument(const QString &path);
    bool openRecentDocument(const QString &path);
    bool saveDocument();
    bool saveDocumentAs();
    bool closeDocument();
    // The main window's close, the tray's Quit and the launch dialog's Exit:
    // the closing questions, then the runs stop, then the event loop ends.
    void quit();

    void addInstallationGroup();
    void addInstallation();
    void addInstallationToSelectedGroup();
    void editSelectedInstallationTemplate();
    void deleteSelectedInstallations();
    void scheduleSelectedControllers();
    void uploadSelectedControllers();

    void updateSoftware();
    void onReleaseDataAvailable();
    void focusInOut(QWidget *old, QWidget *now);

signals:
    void documentPathChanged();
    void installationCountChanged(uint count);
    void controllerIpChanged(uint controllerId);
    void uploadScheduleChanged();
    void uploadReportCompleted(bool success);
    void undoStateChanged(bool clean);
    // Show files changed while the application was in the background.
    void installationModelRebuildNeeded();
    // The release feed names a newer release.
    void softwareUpdateAvailable();
    // The runs have stopped and the event loop is told to end.
    void quitting();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void onApplicationLaunched(const QString &path);
    void onLaunchRequested(const QString &path);
    void showLaunchDialog();
    void onChangeEvent(QEvent *event);
    void onDocumentClosed();
    void finishQuit();

private:
    friend class LifecycleScope;

    enum FilesChangedAnswer
    {
        Answer_UploadNow,
        Answer_Schedule,
        Answer_DontUpload
    };

    QWidget *mainWindow() const;
    bool closingQuestionsPass();
    void showWindowOrLaunchDialog();
    void queueLaunchDialog();
    void warn(const QString &title, const QString &text);
    bool hasRoomFor(uint groupId, uint count);
    FilesChangedAnswer askFilesChanged();
    IdSet controllersWithChangedFiles(uint groupId, const InstallationTemplate &edited) const;
    void leaveLifecycle();

    LumApplication *m_app;
    GuiShell *m_shell;
    QUndoGroup *m_undoGroup;
    QAction *m_undoAction;
    QAction *m_redoAction;
    RecentFiles *m_recentFiles;
    std::unique_ptr<DesktopPrompts> m_prompts;
    std::unique_ptr<DesktopDialogs> m_dialogs;
    DesktopSelection *m_selection = nullptr;
    QPointer<VersionChecker> m_versionChecker;
    QPointer<UnattendedSchedule> m_stopping;
    int m_quitWaitMsec = DefaultQuitWaitMsec;
    // Lifecycle operations under way (their questions may be open).
    int m_lifecycleDepth = 0;
    bool m_quitPending = false;
    bool m_quitting = false;
    bool m_launchDialogQueued = false;
    bool m_launchDialogRunning = false;
};
