#include "main_window.h"

#include "action_manager.h"
#include "app_constants.h"
#include "change_events.h"
#include "clear_scheduled_uploads_command.h"
#include "desktop_controller.h"
#include "desktop_dialogs.h"
#include "gui_shell.h"
#include "installation_model.h"
#include "installation_selection_model.h"
#include "installation_view.h"
#include "log_viewer.h"
#include "lum_application.h"
#include "lum_document.h"
#include "password_manager.h"
#include "recent_files.h"
#include "schedule_upload_command.h"
#include "schedule_upload_group_command.h"
#include "upload_feedback.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMetaMethod>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QUndoStack>
#include <QUrl>

namespace {
MainWindow *theWindow = nullptr;
std::optional<bool> forcedTray;

const QString PositionKey = QStringLiteral("Geometry/Position");
const QString SizeKey = QStringLiteral("Geometry/Size");
const QString MaximisedKey = QStringLiteral("Geometry/Maximised");
const QString DocksKey = QStringLiteral("Geometry/Docks");
// The tray's tool tip follows progress at most this often.
constexpr int TrayToolTipMsec = 250;
} // namespace

MainWindow *MainWindow::instance()
{
    if (!theWindow)
        theWindow = new MainWindow;
    return theWindow;
}

bool MainWindow::exists()
{
    return theWindow != nullptr;
}

void MainWindow::destroyInstance()
{
    delete theWindow;
    theWindow = nullptr;
}

bool MainWindow::isTrayAvailable()
{
    return forcedTray ? *forcedTray : QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::setTrayAvailable(std::optional<bool> forced)
{
    forcedTray = forced;
}

MainWindow::MainWindow()
    : m_app(LumApplication::instance()), m_actions(new ActionManager(m_app, this)),
      m_model(new InstallationModel(m_app, this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/22x22/tray_icon.png")));
    setAttribute(Qt::WA_AlwaysShowToolTips);
    statusBar();

    m_tabs = new QTabWidget(this);
    m_tabs->setTabsClosable(true);
    m_view = new InstallationView(m_model, m_app->document(), m_tabs);
    m_view->setActionManager(m_actions);
    m_actions->setSelection(m_view->installationSelection());
    m_tabs->addTab(m_view, tr("Installations"));
    // The installations tab never closes: it offers no close button.
    m_tabs->tabBar()->setTabButton(0, QTabBar::RightSide, nullptr);
    m_tabs->tabBar()->setTabButton(0, QTabBar::LeftSide, nullptr);
    setCentralWidget(m_tabs);
    connect(m_tabs, &QTabWidget::tabCloseRequested, this, &MainWindow::onTabCloseRequested);
    connect(m_view->installationSelection(), &InstallationSelectionModel::recordChanged, m_actions,
            &ActionManager::onSelectionChanged);

    m_logDock = new QDockWidget(tr("Log Viewer"), this);
    m_logDock->setObjectName(QStringLiteral("Log Viewer"));
    m_logDock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    m_logViewer = new LogViewer(m_logDock);
    m_logViewer->setAccessibleName(tr("Log Viewer"));
    m_logDock->setWidget(m_logViewer);
    addDockWidget(Qt::BottomDockWidgetArea, m_logDock);

    buildToolBar();
    buildTray();
    m_trayToolTipTimer.setSingleShot(true);
    m_trayToolTipTimer.setInterval(TrayToolTipMsec);
    connect(&m_trayToolTipTimer, &QTimer::timeout, this, &MainWindow::refreshSystemTrayToolTip);
    m_actionsTimer.setSingleShot(true);
    m_actionsTimer.setInterval(0);
    connect(&m_actionsTimer, &QTimer::timeout, m_actions, &ActionManager::onFeedbackChanged);

    const std::pair<int, void (MainWindow::*)()> ownSlots[] = {
        {ActionManager::Action_UploadAll, &MainWindow::uploadAll},
        {ActionManager::Action_Upload, &MainWindow::upload},
        {ActionManager::Action_CancelAllUploads, &MainWindow::cancelAllUploads},
        {ActionManager::Action_CancelUpload, &MainWindow::cancelUpload},
        {ActionManager::Action_CancelUploadsTray, &MainWindow::cancelAllUploads},
        {ActionManager::Action_ScheduleUpload, &MainWindow::scheduleUpload},
        {ActionManager::Action_RemoveFromSchedule, &MainWindow::removeFromScheduledUpload},
        {ActionManager::Action_CancelScheduledUploads, &MainWindow::cancelScheduledUploads},
        {ActionManager::Action_WebInterface, &MainWindow::showWWWInterface},
        {ActionManager::Action_EmailSettings, &MainWindow::showEmailSettings},
        {ActionManager::Action_PasswordManager, &MainWindow::showPasswordManager},
        {ActionManager::Action_Preferences, &MainWindow::showPreferencesDialog},
        {ActionManager::Action_Help, &MainWindow::showHelp},
    };
    for (const auto &[number, slot] : ownSlots)
        connect(m_actions->action(number), &QAction::triggered, this, slot);

    restoreGeometrySettings();
    onDocumentClosed();
}

MainWindow::~MainWindow()
{
    saveGeometrySettings();
}

void MainWindow::buildToolBar()
{
    m_toolBar = addToolBar(tr("Main Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("Main Toolbar"));
    m_toolBar->setMovable(false);
    const auto add = [this](std::initializer_list<int> numbers) {
        for (const int number : numbers)
            m_toolBar->addAction(m_actions->action(number));
        m_toolBar->addSeparator();
    };
    using A = ActionManager;
    add({A::Action_New, A::Action_OpenRecent, A::Action_Save, A::Action_SaveAs, A::Action_Close});
    // The undo and redo actions of the controller's undo group go here.
    m_undoPlace = m_toolBar->addSeparator();
    add({A::Action_AddInstallation, A::Action_EditProjectTemplate, A::Action_RemoveInstallation});
    add({A::Action_UploadAll, A::Action_Upload, A::Action_CancelAllUploads,
         A::Action_CancelUpload});
    add({A::Action_ScheduleUpload, A::Action_RemoveFromSchedule, A::Action_CancelScheduledUploads});
    add({A::Action_WebInterface});
    add({A::Action_EmailSettings, A::Action_PasswordManager});
    m_toolBar->addAction(m_actions->action(A::Action_Preferences));
    m_toolBar->addAction(m_actions->action(A::Action_Help));
    m_toolBar->addAction(m_actions->action(A::Action_About));
    auto *spacer = new QWidget(m_toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolBar->addWidget(spacer);
    m_toolBar->addAction(m_actions->action(A::Action_SoftwareUpdate));
    // Its shortcut works without a button.
    addAction(m_actions->action(A::Action_Open));
    nameToolBarButtons();
}

// A button reads out as its action's whole text (its own drops the "...").
// The undo group's actions change their texts and are read out as they are.
void MainWindow::nameToolBarButtons()
{
    for (int number = 0; number < ActionManager::Action_MAX; ++number) {
        QAction *action = m_actions->action(number);
        if (QWidget *button = m_toolBar->widgetForAction(action))
            button->setAccessibleName(action->text());
    }
}

void MainWindow::buildTray()
{
    m_trayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/22x22/tray_icon.png")), this);
    auto *menu = new QMenu(this);
    menu->addAction(m_actions->action(ActionManager::Action_CancelUploadsTray));
    m_restoreAction = menu->addAction(tr("&Restore"), this, &MainWindow::restoreFromTray);
    m_restoreAction->setVisible(false);
    menu->addAction(tr("&Quit"), this, &MainWindow::quitFromTray);
    m_trayIcon->setContextMenu(menu);
    connect(m_trayIcon, &QSystemTrayIcon::messageClicked, this, &MainWindow::restoreFromTray);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::onTrayIconActivated);
    m_trayIcon->setVisible(isTrayAvailable());
}

void MainWindow::attach(DesktopController *controller, GuiShell *shell)
{
    m_controller = controller;
    controller->setSelection(m_view->installationSelection());
    m_toolBar->insertAction(m_undoPlace, controller->undoAction());
    m_toolBar->insertAction(m_undoPlace, controller->redoAction());
    QAction *openRecent = m_actions->action(ActionManager::Action_OpenRecent);
    openRecent->setMenu(controller->recentFiles()->menu());

    using A = ActionManager;
    const std::pair<int, bool (DesktopController::*)()> lifecycle[] = {
        {A::Action_New, &DesktopController::newDocument},
        {A::Action_Open, qOverload<>(&DesktopController::openDocument)},
        {A::Action_OpenRecent, qOverload<>(&DesktopController::openDocument)},
        {A::Action_Save, &DesktopController::saveDocument},
        {A::Action_SaveAs, &DesktopController::saveDocumentAs},
        {A::Action_Close, &DesktopController::closeDocument},
    };
    for (const auto &[number, slot] : lifecycle)
        connect(m_actions->action(number), &QAction::triggered, controller, slot);
    const std::pair<int, void (DesktopController::*)()> commands[] = {
        {A::Action_AddInstallation, &DesktopController::addInstallation},
        {A::Action_EditProjectTemplate, &DesktopController::editSelectedInstallationTemplate},
        {A::Action_RemoveInstallation, &DesktopController::deleteSelectedInstallations},
        {A::Action_SoftwareUpdate, &DesktopController::updateSoftware},
    };
    for (const auto &[number, slot] : commands)
        connect(m_actions->action(number), &QAction::triggered, controller, slot);
    connect(m_actions->action(A::Action_About), &QAction::triggered, shell,
            qOverload<>(&GuiShell::showSplashScreen));
    // Quitting from the keyboard, as from the tray.
    auto *quit = new QAction(tr("Quit"), this);
    quit->setShortcuts(QKeySequence::Quit);
    addAction(quit);
    connect(quit, &QAction::triggered, this, &MainWindow::quitFromTray);

    connect(m_view, &InstallationView::addInstallationRequested, controller,
            &DesktopController::addInstallationToSelectedGroup);
    connect(m_view, &InstallationView::editTemplateRequested, controller,
            &DesktopController::editSelectedInstallationTemplate);
    connect(m_view, &InstallationView::deleteRequested, controller,
            &DesktopController::deleteSelectedInstallations);
    connect(this, &MainWindow::quitRequested, controller, &DesktopController::quit);

    connect(m_app, &LumApplication::documentOpened, this, &MainWindow::onDocumentOpened);
    connect(m_app, &LumApplication::documentClosing, this, &MainWindow::onDocumentClosing);
    connect(m_app, &LumApplication::documentClosed, this, &MainWindow::onDocumentClosed);
    connect(controller, &DesktopController::documentPathChanged, this,
            &MainWindow::refreshWindowTitle);
    connect(controller, &DesktopController::uploadScheduleChanged, this,
            &MainWindow::refreshSystemTrayToolTip);
    connect(controller, &DesktopController::uploadScheduleChanged, m_actions,
            &ActionManager::onScheduleChanged);
    connect(controller, &DesktopController::uploadReportCompleted, this,
            &MainWindow::onUploadComplete);
    connect(controller, &DesktopController::undoStateChanged, this,
            &MainWindow::onUndoStateChanged);
    connect(controller, &DesktopController::undoStateChanged, m_actions,
            &ActionManager::onUndoStateChanged);
    connect(controller, &DesktopController::installationCountChanged, m_actions,
            &ActionManager::onInstallationChange);
    connect(controller, &DesktopController::controllerIpChanged, m_actions,
            &ActionManager::onControllerDiscovery);
    connect(controller, &DesktopController::installationModelRebuildNeeded, m_model,
            &InstallationModel::rebuild);
    connect(controller, &DesktopController::softwareUpdateAvailable, this,
            [this] { m_actions->action(ActionManager::Action_SoftwareUpdate)->setVisible(true); });
    if (m_app->isDocumentOpen())
        onDocumentOpened();
}

QMenu *MainWindow::createPopupMenu()
{
    return nullptr;
}

// --- The project ----------------------------------------------------------------------

void MainWindow::onDocumentOpened()
{
    const UploadFeedback *feedback = m_app->document()->uploadFeedback();
    // Which controllers are active changes with their own state only; a
    // fleet starting at once is looked at once.
    connect(feedback, qOverload<uint>(&UploadFeedback::stateChanged), &m_actionsTimer,
            qOverload<>(&QTimer::start), Qt::UniqueConnection);
    connect(feedback, qOverload<uint>(&UploadFeedback::stateChanged), this,
            &MainWindow::onUploadFeedbackChanged, Qt::UniqueConnection);
    connect(feedback, qOverload<uint, uint, MediaType>(&UploadFeedback::stateChanged), this,
            &MainWindow::onUploadFeedbackChanged, Qt::UniqueConnection);
    connect(feedback, &UploadFeedback::progressChanged, this, &MainWindow::onUploadFeedbackChanged,
            Qt::UniqueConnection);
    m_actions->onDocumentOpened();
    m_view->restoreFromDocument();
    m_view->setEnabled(true);
    m_logViewer->setEnabled(true);
    m_tabs->setCurrentIndex(0);
    m_clean = m_app->document()->isClean();
    refreshWindowTitle();
    refreshSystemTrayToolTip();

    bool missing = false;
    for (const Controller *controller : m_app->document()->controllers())
        missing = missing || !controller->missingMedia().isEmpty();
    if (missing)
        QMessageBox::warning(this, tr("Missing files"),
                             tr("Some referenced files were not found."));
}

void MainWindow::onDocumentClosing()
{
    m_app->document()->uploadFeedback()->disconnect(this);
    m_app->document()->uploadFeedback()->disconnect(&m_actionsTimer);
}

void MainWindow::onDocumentClosed()
{
    for (QWidget *tab : std::as_const(m_browserControllers).keys()) {
        m_tabs->removeTab(m_tabs->indexOf(tab));
        tab->deleteLater();
    }
    m_browserTabs.clear();
    m_browserControllers.clear();
    m_actions->onDocumentClosed();
    m_view->setEnabled(false);
    m_logViewer->setEnabled(false);
    m_clean = true;
    refreshWindowTitle();
    refreshSystemTrayToolTip();
}

void MainWindow::onUndoStateChanged(bool clean)
{
    m_clean = clean;
    setWindowModified(!clean);
}

void MainWindow::refreshWindowTitle()
{
    QString title = AppConstants::displayName();
    if (m_app->isDocumentOpen()) {
        const QString path = m_app->document()->path();
        const QString name = path.isEmpty() ? tr("Untitled") : QFileInfo(path).fileName();
        title = tr("%1[*] - ").arg(name) + title;
    }
    setWindowTitle(title);
    setWindowModified(m_app->isDocumentOpen() && !m_clean);
}

// --- Uploads --------------------------------------------------------------------------

// True when every controller has a valid file to send, or the operator
// chose to go on without.
bool MainWindow::confirmUpload(const std::set<uint> &controllerIds)
{
    const LumDocument *document = m_app->document();
    const bool allValid = std::all_of(controllerIds.begin(), controllerIds.end(), [&](uint id) {
        return InstallationModel::hasValidFiles(*document->controller(id));
    });
    if (allValid)
        return true;
    QPointer<QMessageBox> box = new QMessageBox(
        QMessageBox::Warning, tr("Upload"),
        tr("Some controllers do not have a valid file to upload."), QMessageBox::NoButton, this);
    box->setInformativeText(tr("Do you want to continue with the upload?"));
    QPushButton *proceed = box->addButton(tr("Continue"), QMessageBox::YesRole);
    QPushButton *cancel = box->addButton(tr("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(proceed);
    box->setEscapeButton(cancel);
    box->exec();
    const bool go = box && box->clickedButton() == proceed;
    delete box;
    return go;
}

void MainWindow::upload()
{
    const IdSet controllers = m_view->installationSelection()->selectedControllers();
    if (!m_controller || controllers.empty() || !confirmUpload(controllers))
        return;
    m_tabs->setCurrentIndex(0);
    m_controller->upload(controllers, true);
}

void MainWindow::uploadAll()
{
    IdSet controllers;
    for (const Controller *controller : m_app->document()->controllers())
        controllers.insert(controller->getId());
    if (!m_controller || controllers.empty() || !confirmUpload(controllers))
        return;
    m_tabs->setCurrentIndex(0);
    m_controller->upload(controllers, true);
}

void MainWindow::cancelAllUploads()
{
    m_app->document()->cancelUploads(IdSet());
}

void MainWindow::cancelUpload()
{
    const IdSet controllers = m_view->installationSelection()->selectedControllers();
    if (!controllers.empty())
        m_app->document()->cancelUploads(controllers);
}

void MainWindow::scheduleUpload()
{
    if (m_controller)
        m_controller->scheduleSelectedControllers();
}

void MainWindow::removeFromScheduledUpload()
{
    LumDocument *document = m_app->document();
    auto *step = new ScheduleUploadGroupCommand;
    for (const uint controllerId : m_view->installationSelection()->selectedControllers()) {
        if (document->uploadSchedule().isScheduled(controllerId))
            step->setText((new ScheduleUploadCommand(controllerId, QDateTime(), step))->text());
    }
    if (step->childCount() == 0) {
        delete step;
        return;
    }
    document->undoStack()->push(step);
}

void MainWindow::cancelScheduledUploads()
{
    m_app->document()->undoStack()->push(new ClearScheduledUploadsCommand);
}

// The tool tip adds up every file's progress: it follows a few times a
// second, not at every signal.
void MainWindow::onUploadFeedbackChanged()
{
    if (!m_trayToolTipTimer.isActive())
        m_trayToolTipTimer.start();
}

void MainWindow::refreshSystemTrayToolTip()
{
    m_trayToolTipTimer.stop();
    const LumDocument *document = m_app->document();
    const int active = m_app->isDocumentOpen() ? document->uploadFeedback()->activeCount() : 0;
    QString text;
    if (active > 0) {
        const int progress = document->uploadFeedback()->overallProgress();
        text =
            progress < 0
                ? tr("Uploading to %n controller(s)", nullptr, active)
                : tr("Uploading to %n controller(s) - %1% complete", nullptr, active).arg(progress);
    } else {
        const QDateTime next =
            m_app->isDocumentOpen() ? document->uploadSchedule().nextUploadTime() : QDateTime();
        text = next.isValid() ? tr("Next upload at %1").arg(next.toString(Qt::TextDate))
                              : tr("No uploads pending");
    }
    m_trayIcon->setToolTip(text);
}

void MainWindow::onUploadComplete(bool ok)
{
    if (!ok && m_inTray)
        m_trayIcon->showMessage(tr("Upload failed"),
                                tr("There were errors reported in the scheduled upload."),
                                QSystemTrayIcon::Warning, 5000);
}

// --- Tabs and dialogs -------------------------------------------------------------------

void MainWindow::showWWWInterface()
{
    if (!m_controller)
        return;
    const LumDocument *document = m_app->document();
    for (const uint controllerId : m_view->installationSelection()->selectedControllers()) {
        if (QWidget *open = m_browserTabs.value(controllerId)) {
            m_tabs->setCurrentWidget(open);
            continue;
        }
        const Controller *controller = document->controller(controllerId);
        if (controller->discoveryState() == Discovery_NotFound)
            continue;
        QString host = controller->hostname();
        if (controller->httpPort() != 80)
            host += QLatin1Char(':') + QString::number(controller->httpPort());
        QWidget *page = m_controller->dialogs()->createControllerBrowser(
            QUrl(QStringLiteral("http://") + host), m_tabs);
        if (!page)
            continue;
        m_tabs->setCurrentIndex(m_tabs->addTab(page, host));
        m_browserTabs.insert(controllerId, page);
        m_browserControllers.insert(page, controllerId);
    }
}

void MainWindow::onTabCloseRequested(int index)
{
    QWidget *tab = m_tabs->widget(index);
    if (index <= 0 || !tab)
        return;
    m_browserTabs.remove(m_browserControllers.take(tab));
    m_tabs->removeTab(index);
    tab->deleteLater();
}

void MainWindow::showEmailSettings()
{
    if (m_controller)
        m_controller->dialogs()->editMailSettings(m_app->document(), this);
}

void MainWindow::showPasswordManager()
{
    QPointer<PasswordManager> manager = new PasswordManager(m_app->document(), this);
    manager->exec();
    delete manager;
}

void MainWindow::showPreferencesDialog()
{
    if (m_controller)
        m_controller->dialogs()->editPreferences(this);
}

// The help page beside the programs (a build), else where the package puts it.
void MainWindow::showHelp()
{
    const QString folder = QCoreApplication::applicationDirPath();
    QString page = folder + QStringLiteral("/help/Default.htm");
    if (!QFileInfo::exists(page))
        page = QDir::cleanPath(folder + QStringLiteral("/../share/rigwarden/help/Default.htm"));
    if (!QFileInfo::exists(page)) {
        QMessageBox::warning(this, tr("Help"),
                             tr("The help page %1 was not found. Reinstall %2 to restore it.")
                                 .arg(QDir::toNativeSeparators(page), AppConstants::displayName()));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

void MainWindow::resetDocks()
{
    m_logDock->setFloating(false);
    addDockWidget(Qt::BottomDockWidgetArea, m_logDock);
    m_logDock->show();
}

// --- Tray and window states -------------------------------------------------------------

void MainWindow::onTrayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger && m_inTray)
        restoreFromTray();
}

void MainWindow::hideIntoTray()
{
    m_inTray = true;
    m_restoreAction->setVisible(true);
    hide();
}

void MainWindow::showFromTray()
{
    m_inTray = false;
    m_restoreAction->setVisible(false);
    setGeometry(m_normalGeometry);
    if (m_wasMaximised)
        showMaximized();
    else
        showNormal();
    raise();
    activateWindow();
}

void MainWindow::restoreFromTray()
{
    showFromTray();
    if (!m_app->isDocumentOpen())
        QCoreApplication::postEvent(m_app, new QEvent(QEvent::Type(Event_ShowLaunchDialog)));
}

void MainWindow::quitFromTray()
{
    if (m_inTray)
        showFromTray();
    close();
}

void MainWindow::minimiseToTray()
{
    if (!isTrayAvailable()) {
        showMinimized();
        return;
    }
    m_wasMaximised = isMaximized();
    hideIntoTray();
}

void MainWindow::bringToFront()
{
    if (m_inTray)
        showFromTray();
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isTrayAvailable())
        return;
    const Qt::WindowStates old = static_cast<QWindowStateChangeEvent *>(event)->oldState();
    if (!(windowState() & Qt::WindowMinimized) || (old & Qt::WindowMinimized))
        return;
    m_wasMaximised = old & Qt::WindowMaximized;
    // Hidden once the state change is complete.
    QMetaObject::invokeMethod(this, &MainWindow::hideIntoTray, Qt::QueuedConnection);
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (!isMaximized() && !isMinimized())
        m_normalGeometry.moveTopLeft(pos());
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (!isMaximized() && !isMinimized())
        m_normalGeometry.setSize(size());
}

bool MainWindow::quitIsHandled() const
{
    return isSignalConnected(QMetaMethod::fromSignal(&MainWindow::quitRequested));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!quitIsHandled()) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    emit quitRequested();
}

// --- Settings ---------------------------------------------------------------------------

void MainWindow::restoreGeometrySettings()
{
    const QSettings settings;
    m_normalGeometry = QRect(settings.value(PositionKey, QPoint(0, 0)).toPoint(),
                             settings.value(SizeKey, QSize(1024, 768)).toSize());
    m_wasMaximised = settings.value(MaximisedKey, false).toBool();
    move(m_normalGeometry.topLeft());
    resize(m_normalGeometry.size());
    if (m_wasMaximised)
        setWindowState(windowState() | Qt::WindowMaximized);
    if (!restoreState(settings.value(DocksKey).toByteArray()))
        resetDocks();
}

void MainWindow::saveGeometrySettings() const
{
    QSettings settings;
    settings.setValue(PositionKey, m_normalGeometry.topLeft());
    settings.setValue(SizeKey, m_normalGeometry.size());
    settings.setValue(MaximisedKey, isMaximized() || (m_inTray && m_wasMaximised));
    settings.setValue(DocksKey, saveState());
}
