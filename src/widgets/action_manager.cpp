#include "action_manager.h"

#include "app_constants.h"
#include "desktop_selection.h"
#include "lum_application.h"
#include "lum_document.h"
#include "upload_feedback.h"

#include <QAction>
#include <QIcon>

namespace {
struct ActionSpec
{
    const char *text;
    const char *icon; // under :/icons/22x22/; none when null
    QKeySequence::StandardKey key;
};

// In the order of ActionManager::Action.
const ActionSpec specs[ActionManager::Action_MAX] = {
    {QT_TRANSLATE_NOOP("ActionManager", "New"), "new_document", QKeySequence::New},
    {QT_TRANSLATE_NOOP("ActionManager", "Open..."), "open_document", QKeySequence::Open},
    {QT_TRANSLATE_NOOP("ActionManager", "Open Recent"), "open_document", QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Save"), "save_document", QKeySequence::Save},
    {QT_TRANSLATE_NOOP("ActionManager", "Save As..."), "save_document_as",
     QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Close"), "close_document", QKeySequence::Close},
    {QT_TRANSLATE_NOOP("ActionManager", "Add Installation"), "add_installation",
     QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Edit Project Template"), "edit_installation",
     QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Remove Installation"), "remove_installation",
     QKeySequence::Delete},
    {QT_TRANSLATE_NOOP("ActionManager", "Upload All"), "upload_all", QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Upload"), "upload", QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Cancel All Uploads"), "cancel_all_uploads",
     QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Cancel Upload"), "cancel_upload",
     QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Cancel Uploads"), nullptr, QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Schedule Upload"), "schedule_upload",
     QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Remove From Scheduled Upload"), "cancel_scheduled_upload",
     QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Cancel Scheduled Uploads"), "cancel_all_scheduled_uploads",
     QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Web Interface"), "www", QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Email Settings"), "mail", QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Password Manager"), "locked", QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Preferences"), "preferences", QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Help"), "help", QKeySequence::HelpContents},
    {QT_TRANSLATE_NOOP("ActionManager", "About"), "about", QKeySequence::UnknownKey},
    {QT_TRANSLATE_NOOP("ActionManager", "Software Update"), "important", QKeySequence::UnknownKey},
};

bool isActive(UploadState state)
{
    return state == UploadState_Pending || state == UploadState_Transcoding ||
           state == UploadState_Uploading || state == UploadState_Retrying ||
           state == UploadState_Verifying;
}
} // namespace

ActionManager::ActionManager(LumApplication *app, QObject *parent) : QObject(parent), m_app(app)
{
    for (int number = 0; number < Action_MAX; ++number) {
        const ActionSpec &spec = specs[number];
        auto *action = new QAction(tr(spec.text), this);
        if (spec.icon)
            action->setIcon(
                QIcon(QStringLiteral(":/icons/22x22/%1.png").arg(QLatin1String(spec.icon))));
        if (spec.key != QKeySequence::UnknownKey)
            action->setShortcuts(spec.key);
        m_actions << action;
    }
    m_actions[Action_OpenRecent]->setToolTip(tr("Open..."));
    m_actions[Action_SoftwareUpdate]->setToolTip(
        tr("A newer version of %1 is available").arg(AppConstants::displayName()));
    m_actions[Action_CancelUploadsTray]->setVisible(false);
    m_actions[Action_SoftwareUpdate]->setVisible(false);
    onDocumentClosed();
}

QAction *ActionManager::action(int number) const
{
    Q_ASSERT(number >= 0 && number < Action_MAX);
    return m_actions.at(number);
}

void ActionManager::enable(std::initializer_list<int> numbers, bool enabled)
{
    for (const int number : numbers)
        m_actions[number]->setEnabled(enabled);
}

bool ActionManager::anySelectedController(bool (*test)(LumApplication *, uint)) const
{
    if (!m_documentOpen || !m_selection)
        return false;
    for (const uint controllerId : m_selection->selectedControllers()) {
        if (m_app->document()->controllerExists(controllerId) && test(m_app, controllerId))
            return true;
    }
    return false;
}

void ActionManager::onDocumentClosed()
{
    m_documentOpen = false;
    enable({Action_Save, Action_SaveAs, Action_Close, Action_AddInstallation,
            Action_EditProjectTemplate, Action_RemoveInstallation, Action_UploadAll, Action_Upload,
            Action_CancelAllUploads, Action_CancelUpload, Action_ScheduleUpload,
            Action_RemoveFromSchedule, Action_CancelScheduledUploads, Action_WebInterface,
            Action_EmailSettings, Action_PasswordManager},
           false);
    m_actions[Action_CancelUploadsTray]->setVisible(false);
}

void ActionManager::onDocumentOpened()
{
    m_documentOpen = true;
    onUndoStateChanged(m_app->document()->isClean());
    enable({Action_SaveAs, Action_Close, Action_AddInstallation, Action_EmailSettings,
            Action_PasswordManager},
           true);
    enable({Action_EditProjectTemplate, Action_RemoveInstallation, Action_ScheduleUpload,
            Action_WebInterface},
           false);
    onInstallationChange();
    onControllerDiscovery();
    onFeedbackChanged();
    onScheduleChanged();
}

void ActionManager::onUndoStateChanged(bool clean)
{
    m_actions[Action_Save]->setEnabled(m_documentOpen && !clean);
}

void ActionManager::onInstallationChange()
{
    m_actions[Action_UploadAll]->setEnabled(m_documentOpen);
}

void ActionManager::onControllerDiscovery()
{
    m_actions[Action_Upload]->setEnabled(anySelectedController([](LumApplication *app, uint id) {
        return app->document()->controller(id)->discoveryState() == Discovery_Found;
    }));
}

void ActionManager::onFeedbackChanged()
{
    const UploadFeedback *feedback = m_app->document()->uploadFeedback();
    bool active = false;
    if (m_documentOpen) {
        for (const Controller *controller : m_app->document()->controllers()) {
            if (isActive(feedback->state(controller->getId()))) {
                active = true;
                break;
            }
        }
    }
    m_actions[Action_CancelAllUploads]->setEnabled(active);
    m_actions[Action_CancelUpload]->setEnabled(
        active && anySelectedController([](LumApplication *app, uint id) {
            return app->document()->uploadFeedback()->isUploading(id);
        }));
    m_actions[Action_CancelUploadsTray]->setVisible(active);
}

void ActionManager::onScheduleChanged()
{
    m_actions[Action_RemoveFromSchedule]->setEnabled(
        anySelectedController([](LumApplication *app, uint id) {
            return app->document()->uploadSchedule().isScheduled(id);
        }));
    m_actions[Action_CancelScheduledUploads]->setEnabled(
        m_documentOpen && m_app->document()->uploadSchedule().nextUploadTime().isValid());
}

void ActionManager::onSelectionChanged()
{
    const IdSet groups = m_selection ? m_selection->selectedGroups() : IdSet();
    const IdSet installations = m_selection ? m_selection->selectedInstallations() : IdSet();
    const IdSet controllers = m_selection ? m_selection->selectedControllers() : IdSet();
    const bool open = m_documentOpen;
    m_actions[Action_EditProjectTemplate]->setEnabled(open && groups.size() == 1);
    m_actions[Action_RemoveInstallation]->setEnabled(open &&
                                                     !(groups.empty() && installations.empty()));
    m_actions[Action_ScheduleUpload]->setEnabled(open && !controllers.empty());
    m_actions[Action_WebInterface]->setEnabled(open && !controllers.empty());
    onControllerDiscovery();
    onFeedbackChanged();
    onScheduleChanged();
}
