#pragma once

#include <QList>
#include <QObject>

class DesktopSelection;
class LumApplication;
class QAction;

// Every command of the main window, and which of them may run now: decided
// from the open project, the tree's selection, the upload feedback and the
// schedule. The slots are connected by whoever owns the sources; each
// re-applies the rules that depend on what it announces.
class ActionManager : public QObject
{
    Q_OBJECT

public:
    enum Action
    {
        Action_New = 0,
        Action_Open = 1,
        Action_OpenRecent = 2,
        Action_Save = 3,
        Action_SaveAs = 4,
        Action_Close = 5,
        Action_AddInstallation = 6,
        Action_EditProjectTemplate = 7,
        Action_RemoveInstallation = 8,
        Action_UploadAll = 9,
        Action_Upload = 10,
        Action_CancelAllUploads = 11,
        Action_CancelUpload = 12,
        Action_CancelUploadsTray = 13,
        Action_ScheduleUpload = 14,
        Action_RemoveFromSchedule = 15,
        Action_CancelScheduledUploads = 16,
        Action_WebInterface = 17,
        Action_EmailSettings = 18,
        Action_PasswordManager = 19,
        Action_Preferences = 20,
        Action_Help = 21,
        Action_About = 22,
        Action_SoftwareUpdate = 23,
        Action_MAX = 24
    };

    explicit ActionManager(LumApplication *app, QObject *parent = nullptr);

    QAction *action(int number) const;
    // The tree's selection; nothing counts as selected without one.
    void setSelection(const DesktopSelection *selection) { m_selection = selection; }
    bool isDocumentOpen() const { return m_documentOpen; }

public slots:
    void onDocumentOpened();
    void onDocumentClosed();
    void onUndoStateChanged(bool clean);
    void onSelectionChanged();
    void onFeedbackChanged();
    void onScheduleChanged();
    void onInstallationChange();
    void onControllerDiscovery();

private:
    void enable(std::initializer_list<int> numbers, bool enabled);
    bool anySelectedController(bool (*test)(LumApplication *, uint)) const;

    LumApplication *m_app;
    const DesktopSelection *m_selection = nullptr;
    QList<QAction *> m_actions;
    bool m_documentOpen = false;
};
