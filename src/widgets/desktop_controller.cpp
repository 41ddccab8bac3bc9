#include "desktop_controller.h"

#include "add_installation_command.h"
#include "add_installation_group_command.h"
#include "app_constants.h"
#include "desktop_dialogs.h"
#include "desktop_prompts.h"
#include "desktop_selection.h"
#include "gui_shell.h"
#include "lum_application.h"
#include "lum_document.h"
#include "lum_preferences.h"
#include "main_window.h"
#include "password_handling.h"
#include "application_dialogs.h"
#include "recent_files.h"
#include "remove_installation_command.h"
#include "remove_installation_group_command.h"
#include "schedule_upload_command.h"
#include "schedule_upload_group_command.h"
#include "set_installation_template_command.h"
#include "unattended_schedule.h"
#include "upload_feedback.h"
#include "upload_runs.h"
#include "version_checker.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QUndoGroup>
#include <QUndoStack>

#include <algorithm>

namespace {
const QString LastFileKey = QStringLiteral("File/LastFile");

// An edit that changed nothing: the same name and equal controller templates.
bool sameTemplate(const InstallationTemplate &a, const InstallationTemplate &b)
{
    const auto &first = a.controllerTemplates();
    const auto &second = b.controllerTemplates();
    return a.name() == b.name() &&
           std::equal(first.begin(), first.end(), second.begin(), second.end(),
                      [](const auto &x, const auto &y) { return *x == *y; });
}

QString fileFilter()
{
    return QCoreApplication::translate("DesktopController", "%1 Rigwarden files (*.%2)")
        .arg(AppConstants::organisationName(), AppConstants::documentExtension());
}

// The folder the file dialogs start in: that of the last file used, else
// the user's documents.
QString startFolder()
{
    const QString last = QSettings().value(LastFileKey).toString();
    if (last.isEmpty())
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QFileInfo info(last);
    return info.isDir() ? last : info.absolutePath();
}
} // namespace

// Counts a lifecycle operation while it runs, so that a quit asked meanwhile
// waits until the question in front of the operator has been answered.
class LifecycleScope
{
public:
    explicit LifecycleScope(DesktopController *controller) : m_controller(controller)
    {
        ++m_controller->m_lifecycleDepth;
    }
    ~LifecycleScope() { m_controller->leaveLifecycle(); }
    LifecycleScope(const LifecycleScope &) = delete;
    LifecycleScope &operator=(const LifecycleScope &) = delete;

private:
    DesktopController *m_controller;
};

DesktopController::DesktopController(LumApplication *app, GuiShell *shell, QObject *parent)
    : QObject(parent), m_app(app), m_shell(shell), m_undoGroup(new QUndoGroup(this)),
      m_recentFiles(new RecentFiles(QStringLiteral("File/RecentFile"), 5, this)),
      m_prompts(std::make_unique<DesktopPrompts>([this] { return mainWindow(); })),
      m_dialogs(std::make_unique<ApplicationDialogs>())
{
    LumDocument *document = m_app->document();
    document->setPrompts(m_prompts.get());

    m_undoGroup->addStack(document->undoStack());
    m_undoGroup->setActiveStack(document->undoStack());
    m_undoAction = m_undoGroup->createUndoAction(this);
    m_undoAction->setIcon(QIcon(QStringLiteral(":/icons/22x22/undo.png")));
    m_undoAction->setShortcuts(QKeySequence::Undo);
    m_redoAction = m_undoGroup->createRedoAction(this);
    m_redoAction->setIcon(QIcon(QStringLiteral(":/icons/22x22/redo.png")));
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    const QKeySequence ctrlShiftZ(QStringLiteral("Ctrl+Shift+Z"));
    if (!redoKeys.contains(ctrlShiftZ))
        redoKeys << ctrlShiftZ;
    m_redoAction->setShortcuts(redoKeys);
    // The document's state counts the master password too, which the undo
    // stack does not know of.
    connect(document, &LumDocument::cleanChanged, this, &DesktopController::undoStateChanged);

    m_recentFiles->load();
    connect(m_recentFiles, &RecentFiles::recentFileTriggered, this,
            &DesktopController::openRecentDocument);

    connect(qApp, &QApplication::focusChanged, this, &DesktopController::focusInOut);
    qApp->installEventFilter(this);
    connect(m_app, &LumApplication::applicationLaunched, this,
            &DesktopController::onApplicationLaunched);
    // Queued: the second start gets its answer before any question is asked.
    connect(m_app, &LumApplication::launchRequested, this, &DesktopController::onLaunchRequested,
            Qt::QueuedConnection);
    connect(m_app, &LumApplication::launchDialogRequested, this,
            &DesktopController::showLaunchDialog);
    connect(m_app, &LumApplication::changeEvent, this, &DesktopController::onChangeEvent);
    connect(m_app, &LumApplication::documentClosed, this, &DesktopController::onDocumentClosed);
    connect(m_app, &LumApplication::documentOpened, this, [this] {
        emit undoStateChanged(true);
        emit installationCountChanged(m_app->document()->installations().count());
    });
    connect(m_app, &LumApplication::uploadReportCompleted, this,
            &DesktopController::uploadReportCompleted);
}

DesktopController::~DesktopController()
{
    m_app->document()->setPrompts(nullptr);
    qApp->removeEventFilter(this);
}

void DesktopController::setDialogs(std::unique_ptr<DesktopDialogs> dialogs)
{
    m_dialogs = std::move(dialogs);
}

void DesktopController::setSelection(DesktopSelection *selection)
{
    m_selection = selection;
}

QWidget *DesktopController::mainWindow() const
{
    return MainWindow::exists() ? MainWindow::instance() : nullptr;
}

void DesktopController::warn(const QString &title, const QString &text)
{
    QMessageBox::warning(mainWindow(), title, text);
}

// --- Questions ----------------------------------------------------------------------

bool DesktopController::confirmActiveUploads()
{
    LumDocument *document = m_app->document();
    if (!m_app->isDocumentOpen() || document->allIdle(IdSet()))
        return true;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        mainWindow(), tr("Active uploads"),
        tr("There are uploads in progress. Closing the document will terminate them.\n"
           "Do you wish to close the document?"),
        QMessageBox::Close | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Close)
        return false;
    document->cancelUploads(IdSet());
    return true;
}

bool DesktopController::maybeSave()
{
    LumDocument *document = m_app->document();
    if (!m_app->isDocumentOpen() || document->isClean())
        return true;
    const QString name =
        document->path().isEmpty() ? tr("The project") : QFileInfo(document->path()).fileName();
    const QMessageBox::StandardButton answer = QMessageBox::question(
        mainWindow(), tr("Save"),
        tr("%1 has been modified. Do you want to save the changes?").arg(name),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return saveDocument();
    return answer == QMessageBox::Discard;
}

bool DesktopController::closingQuestionsPass()
{
    return !m_app->isDocumentOpen() || (confirmActiveUploads() && maybeSave());
}

// --- Lifecycle ----------------------------------------------------------------------

bool DesktopController::newDocument()
{
    LifecycleScope scope(this);
    if (!closingQuestionsPass())
        return false;
    m_app->endProject();
    m_app->beginProject(false);
    return true;
}

bool DesktopController::openDocument()
{
    LifecycleScope scope(this);
    if (!closingQuestionsPass())
        return false;
    const QString path =
        QFileDialog::getOpenFileName(mainWindow(), tr("Open File"), startFolder(), fileFilter());
    if (path.isEmpty())
        return false;
    return openDocument(path);
}

bool DesktopController::openRecentDocument(const QString &path)
{
    LifecycleScope scope(this);
    if (!closingQuestionsPass())
        return false;
    return openDocument(path);
}

// Asks nothing: the callers asked their questions before.
bool DesktopController::openDocument(const QString &path)
{
    if (path.isEmpty()) {
        // A second start without a file: the open project stays.
        showWindowOrLaunchDialog();
        return false;
    }
    LifecycleScope scope(this);
    LumDocument *document = m_app->document();
    m_app->endProject();
    QSettings().setValue(LastFileKey, path);
    QString error;
    if (!document->load(path, &error)) {
        document->reset();
        warn(tr("Open File"), tr("The project %1 could not be opened: %2.")
                                  .arg(QDir::toNativeSeparators(path), error));
        queueLaunchDialog();
        return false;
    }
    m_recentFiles->add(path);
    if (!PasswordHandling::checkMasterPasswordOnOpen(document, mainWindow())) {
        document->reset();
        queueLaunchDialog();
        return false;
    }
    m_app->beginProject(true);
    return true;
}

bool DesktopController::saveDocument()
{
    LumDocument *document = m_app->document();
    if (document->path().isEmpty())
        return saveDocumentAs();
    LifecycleScope scope(this);
    if (!PasswordHandling::confirmSaveWithPasswords(document, mainWindow()))
        return false;
    QString error;
    if (!document->save(&error)) {
        warn(tr("Save File"), error);
        return false;
    }
    m_recentFiles->add(document->path());
    emit undoStateChanged(true);
    return true;
}

bool DesktopController::saveDocumentAs()
{
    LifecycleScope scope(this);
    LumDocument *document = m_app->document();
    if (!PasswordHandling::confirmSaveWithPasswords(document, mainWindow()))
        return false;
    QString path =
        QFileDialog::getSaveFileName(mainWindow(), tr("Save File As"), startFolder(), fileFilter());
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix() != AppConstants::documentExtension())
        path += QLatin1Char('.') + AppConstants::documentExtension();
    QSettings().setValue(LastFileKey, path);
    QString error;
    if (!document->saveAs(path, &error)) {
        warn(tr("Save File As"), error);
        return false;
    }
    m_recentFiles->add(path);
    emit undoStateChanged(true);
    emit documentPathChanged();
    return true;
}

bool DesktopController::closeDocument()
{
    LifecycleScope scope(this);
    if (!closingQuestionsPass())
        return false;
    m_app->endProject();
    queueLaunchDialog();
    return true;
}

void DesktopController::onDocumentClosed()
{
    emit undoStateChanged(true);
    emit installationCountChanged(0);
}

// --- Quitting -----------------------------------------------------------------------

void DesktopController::quit()
{
    if (m_quitting)
        return;
    if (m_lifecycleDepth > 0) {
        // A question of the lifecycle is open: its operation ends first,
        // then the quit asks what it still needs to.
        m_quitPending = true;
        return;
    }
    m_quitPending = false;
    {
        LifecycleScope scope(this);
        if (!closingQuestionsPass())
            return;
    }
    m_quitting = true;
    // Whatever still runs (the answer may have been to keep a project
    // without uploads, or a mail may be going out) ends before the
    // application goes.
    auto *stopping = new UnattendedSchedule(m_app->uploadRuns(), m_app->document(), this);
    stopping->setStopWait(m_quitWaitMsec);
    connect(stopping, &UnattendedSchedule::stopped, this, &DesktopController::finishQuit);
    m_stopping = stopping;
    stopping->stop();
}

void DesktopController::finishQuit()
{
    m_stopping->deleteLater();
    m_app->endProject();
    emit quitting();
    QCoreApplication::exit(0);
}

void DesktopController::leaveLifecycle()
{
    if (--m_lifecycleDepth == 0 && m_quitPending)
        QMetaObject::invokeMethod(this, &DesktopController::quit, Qt::QueuedConnection);
}

// --- Launch ---------------------------------------------------------------------------

void DesktopController::onApplicationLaunched(const QString &path)
{
    m_versionChecker = new VersionChecker(AppConstants::releaseFeedUrl(), this);
    connect(m_versionChecker, &VersionChecker::releaseDataAvailable, this,
            &DesktopController::onReleaseDataAvailable);
    if (!path.isEmpty() && openDocument(path)) {
        m_shell->hideSplashScreen();
        return;
    }
    queueLaunchDialog();
}

void DesktopController::onLaunchRequested(const QString &path)
{
    qInfo("Hand-over received: launch %s", qUtf8Printable(path));
    if (path.isEmpty()) {
        openDocument(path);
        return;
    }
    {
        LifecycleScope scope(this);
        if (closingQuestionsPass())
            openDocument(path);
    }
    if (MainWindow::exists())
        MainWindow::instance()->bringToFront();
}

void DesktopController::showWindowOrLaunchDialog()
{
    MainWindow::instance()->bringToFront();
    queueLaunchDialog();
}

// The launch dialog follows through the event loop when nothing is open and
// the window is on the screen (not when started into the tray).
void DesktopController::queueLaunchDialog()
{
    if (m_app->isDocumentOpen() || m_launchDialogQueued || m_launchDialogRunning || m_quitting)
        return;
    if (!MainWindow::exists() || !MainWindow::instance()->isVisible())
        return;
    m_launchDialogQueued = true;
    QCoreApplication::postEvent(m_app, new QEvent(QEvent::Type(Event_ShowLaunchDialog)));
}

void DesktopController::showLaunchDialog()
{
    m_launchDialogQueued = false;
    if (m_app->isDocumentOpen() || m_launchDialogRunning || m_quitting)
        return;
    m_launchDialogRunning = true;
    m_dialogs->runLaunchDialog(this, m_recentFiles, mainWindow());
    m_launchDialogRunning = false;
}

bool DesktopController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != qApp || event->type() != QEvent::FileOpen)
        return QObject::eventFilter(watched, event);
    const QString path = static_cast<QFileOpenEvent *>(event)->file();
    LifecycleScope scope(this);
    if (closingQuestionsPass() && openDocument(path))
        m_shell->hideSplashScreen();
    return true;
}

// --- Model changes ------------------------------------------------------------------

void DesktopController::onChangeEvent(QEvent *event)
{
    LumDocument *document = m_app->document();
    switch (int(event->type())) {
    case Event_InstallationGroupAdded:
    case Event_InstallationGroupRemoved:
    case Event_InstallationAdded:
    case Event_InstallationRemoved:
        emit installationCountChanged(document->installations().count());
        break;
    case Event_ControllerDiscovery: {
        const uint controllerId = static_cast<ControllerDiscoveryEvent *>(event)->id();
        if (document->controllerExists(controllerId))
            emit controllerIpChanged(controllerId);
        break;
    }
    case Event_ScheduledUploadTimeChanged:
        emit uploadScheduleChanged();
        break;
    default:
        break;
    }
}

// Coming back from another application: show files edited meanwhile are read
// again, except those of controllers whose uploads are under way.
void DesktopController::focusInOut(QWidget *old, QWidget *now)
{
    if (old || !now || !m_app->isDocumentOpen() || !MainWindow::exists() ||
        now->window() != MainWindow::instance())
        return;
    if (!m_app->document()->reanalyseIdleChangedShowFiles().empty())
        emit installationModelRebuildNeeded();
}

// --- Editing ------------------------------------------------------------------------

bool DesktopController::hasRoomFor(uint groupId, uint count)
{
    QString reason;
    LumDocument *document = m_app->document();
    const bool room = groupId == LumDocument::NoId
                          ? document->hasRoomForGroup(&reason)
                          : document->hasRoomForInstallations(groupId, count, &reason);
    if (!room)
        warn(tr("Add Installation"), reason);
    return room;
}

void DesktopController::addInstallationGroup()
{
    if (!m_app->isDocumentOpen() || !hasRoomFor(LumDocument::NoId, 0))
        return;
    const InstallationTemplatePtr built = m_dialogs->buildTemplate(nullptr, mainWindow());
    if (built)
        m_app->document()->undoStack()->push(new AddInstallationGroupCommand(built));
}

void DesktopController::addInstallation()
{
    if (!m_app->isDocumentOpen())
        return;
    if (m_app->document()->groups().isEmpty()) {
        addInstallationGroup();
        return;
    }
    const std::optional<DesktopDialogs::InstallationChoice> choice =
        m_dialogs->chooseInstallations(mainWindow());
    if (!choice)
        return;
    if (!choice->groupId) {
        addInstallationGroup();
        return;
    }
    if (hasRoomFor(*choice->groupId, choice->count))
        m_app->document()->undoStack()->push(
            new AddInstallationCommand(*choice->groupId, choice->count));
}

void DesktopController::addInstallationToSelectedGroup()
{
    const IdSet groups = m_selection ? m_selection->selectedGroups() : IdSet();
    if (groups.size() != 1 || !hasRoomFor(*groups.begin(), 1))
        return;
    m_app->document()->undoStack()->push(new AddInstallationCommand(*groups.begin(), 1));
}

void DesktopController::editSelectedInstallationTemplate()
{
    const IdSet groups = m_selection ? m_selection->selectedGroups() : IdSet();
    if (groups.size() != 1)
        return;
    const uint groupId = *groups.begin();
    LumDocument *document = m_app->document();
    const InstallationTemplatePtr edited = m_dialogs->buildTemplate(
        document->group(groupId)->installationTemplate().get(), mainWindow());
    // Nothing to undo when OK changed nothing.
    if (!edited || sameTemplate(*document->group(groupId)->installationTemplate(), *edited))
        return;
    const IdSet changed = controllersWithChangedFiles(groupId, *edited);
    auto *macro = new QUndoCommand(tr("Set Installation Template"));
    new SetInstallationTemplateCommand(groupId, edited, macro);
    const FilesChangedAnswer answer = changed.empty() ? Answer_DontUpload : askFilesChanged();
    if (answer == Answer_Schedule)
        scheduleControllers(changed, macro);
    document->undoStack()->push(macro);
    if (answer == Answer_UploadNow)
        upload(changed, true);
}

DesktopController::FilesChangedAnswer DesktopController::askFilesChanged()
{
    QMessageBox box(QMessageBox::Question, tr("Files changed"),
                    tr("Files referenced by some controllers have changed.\n"
                       "Do you want to upload affected controllers now, schedule an upload for "
                       "later or not upload changes yet?"),
                    QMessageBox::NoButton, mainWindow());
    QPushButton *uploadNow = box.addButton(tr("Upload Now"), QMessageBox::AcceptRole);
    QPushButton *schedule = box.addButton(tr("Schedule Upload"), QMessageBox::ActionRole);
    QPushButton *dontUpload = box.addButton(tr("Don't Upload"), QMessageBox::RejectRole);
    box.setDefaultButton(uploadNow);
    box.setEscapeButton(dontUpload);
    box.exec();
    if (box.clickedButton() == uploadNow)
        return Answer_UploadNow;
    return box.clickedButton() == schedule ? Answer_Schedule : Answer_DontUpload;
}

// The controllers of the group whose show file or media differ between
// their present controller template and the edited one.
IdSet DesktopController::controllersWithChangedFiles(uint groupId,
                                                     const InstallationTemplate &edited) const
{
    const LumDocument *document = m_app->document();
    const InstallationGroup *group = document->group(groupId);
    const auto &present = group->installationTemplate()->controllerTemplates();
    const auto &next = edited.controllerTemplates();
    IdSet changed;
    for (const uint installationId : group->installationIds()) {
        const QList<uint> controllerIds = document->installation(installationId)->controllerIds();
        for (qsizetype i = 0; i < controllerIds.size(); ++i) {
            const bool same = i < present.size() && i < next.size() &&
                              present.at(i)->showFile() == next.at(i)->showFile() &&
                              present.at(i)->showProjectUuid() == next.at(i)->showProjectUuid() &&
                              present.at(i)->mediaPaths() == next.at(i)->mediaPaths();
            if (!same)
                changed.insert(controllerIds.at(i));
        }
    }
    return changed;
}

void DesktopController::deleteSelectedInstallations()
{
    if (!m_selection)
        return;
    LumDocument *document = m_app->document();
    const IdSet groups = m_selection->selectedGroups();
    if (!groups.empty()) {
        IdSet installations;
        for (const uint groupId : groups) {
            const QList<uint> ids = document->group(groupId)->installationIds();
            installations.insert(ids.begin(), ids.end());
        }
        // An empty group has nothing to confirm.
        if (!installations.empty() && !document->confirmRemoval(installations))
            return;
        auto *macro = new QUndoCommand(tr("Remove Installations"));
        for (const uint groupId : groups)
            new RemoveInstallationGroupCommand(groupId, macro);
        document->undoStack()->push(macro);
        return;
    }
    const IdSet installations = m_selection->selectedInstallations();
    if (!document->confirmRemoval(installations))
        return;
    auto *macro = new QUndoCommand(tr("Remove Installation"));
    for (const uint installationId : installations)
        new RemoveInstallationCommand(installationId, macro);
    document->undoStack()->push(macro);
}

// --- Uploads and schedule -------------------------------------------------------------

uint DesktopController::upload(const IdSet &controllerIds, bool manual)
{
    return m_app->uploadRuns()->upload(controllerIds, manual);
}

void DesktopController::uploadSelectedControllers()
{
    const IdSet controllers = m_selection ? m_selection->selectedControllers() : IdSet();
    if (!controllers.empty())
        upload(controllers, true);
}

void DesktopController::scheduleSelectedControllers()
{
    const IdSet controllers = m_selection ? m_selection->selectedControllers() : IdSet();
    if (!controllers.empty())
        scheduleControllers(controllers);
}

void DesktopController::scheduleControllers(const IdSet &controllerIds, QUndoCommand *macro)
{
    const UploadSchedule &schedule = m_app->document()->uploadSchedule();
    const QDateTime current =
        controllerIds.size() == 1 ? schedule.scheduledTime(*controllerIds.begin()) : QDateTime();
    const std::optional<QDateTime> chosen = m_dialogs->chooseScheduleTime(current, mainWindow());
    if (!chosen)
        return;
    IdSet changing;
    for (const uint controllerId : controllerIds) {
        if (schedule.scheduledTime(controllerId) != *chosen)
            changing.insert(controllerId);
    }
    if (changing.empty())
        return;
    auto *group = new ScheduleUploadGroupCommand(macro);
    for (const uint controllerId : changing)
        group->setText((new ScheduleUploadCommand(controllerId, *chosen, group))->text());
    if (!macro)
        m_app->document()->undoStack()->push(group);
}

// --- Software updates ---------------------------------------------------------------

void DesktopController::onReleaseDataAvailable()
{
    if (!m_versionChecker)
        return;
    const bool includeBeta =
        m_app->preferences()->value(LumPreferences::Key_NotifyAboutBetaReleases).toBool();
    if (m_versionChecker->isUpToDate(AppConstants::version(), !includeBeta)) {
        // Later: the checker is still inside its reply's signal.
        m_versionChecker->deleteLater();
        m_versionChecker = nullptr;
        return;
    }
    emit softwareUpdateAvailable();
}

void DesktopController::updateSoftware()
{
    if (!m_versionChecker)
        return;
    const bool includeBeta =
        m_app->preferences()->value(LumPreferences::Key_NotifyAboutBetaReleases).toBool();
    m_dialogs->runSoftwareUpdate(m_versionChecker, includeBeta, mainWindow());
}
