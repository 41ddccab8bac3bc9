#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <optional>
#include <set>

class ActionManager;
class DesktopController;
class GuiShell;
class InstallationModel;
class InstallationView;
class LogViewer;
class LumApplication;
class QDockWidget;
class QTabWidget;
class QToolBar;

// The application's one top-level window: the toolbar of every command, the
// tab area with the installation tree first and the controllers' web pages
// after it, the "Log Viewer" dock, and the tray icon that keeps the
// application reachable while the window is hidden. The commands of the
// project's lifecycle and editing go to the desktop controller; the window
// confirms uploads, keeps its title and the tray's tool tip current and
// saves its geometry.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Created on first request; destroyed by destroyInstance().
    static MainWindow *instance();
    static bool exists();
    static void destroyInstance();
    // Whether a system tray can hold the icon; `forced` replaces the
    // desktop's answer (tests), nothing restores it.
    static bool isTrayAvailable();
    static void setTrayAvailable(std::optional<bool> forced);

    // Connects the commands to the controller (and "About" to the splash) and
    // shares the tree's selection with it.
    void attach(DesktopController *controller, GuiShell *shell);

    ActionManager *actions() const { return m_actions; }
    InstallationModel *installationModel() const { return m_model; }
    InstallationView *installationView() const { return m_view; }
    QTabWidget *tabWidget() const { return m_tabs; }
    QToolBar *toolBar() const { return m_toolBar; }
    QDockWidget *logDock() const { return m_logDock; }
    LogViewer *logViewer() const { return m_logViewer; }
    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }
    QAction *restoreAction() const { return m_restoreAction; }
    bool isInTray() const { return m_inTray; }
    // The web-interface tab of the controller; null when none is open.
    QWidget *browserTab(uint controllerId) const { return m_browserTabs.value(controllerId); }

    QMenu *createPopupMenu() override;

public slots:
    void onDocumentOpened();
    void onDocumentClosing();
    void onDocumentClosed();
    void uploadAll();
    void upload();
    void cancelAllUploads();
    void cancelUpload();
    void scheduleUpload();
    void cancelScheduledUploads();
    void removeFromScheduledUpload();
    void showWWWInterface();
    void showEmailSettings();
    void showPasswordManager();
    void showPreferencesDialog();
    void showHelp();
    void resetDocks();
    void onUploadFeedbackChanged();
    void onUploadComplete(bool ok);
    void onTabCloseRequested(int index);
    void onUndoStateChanged(bool clean);
    void onTrayIconActivated(QSystemTrayIcon::ActivationReason reason);
    // Back from the tray; asks for the launch dialog when nothing is open.
    void restoreFromTray();
    void quitFromTray();
    void refreshSystemTrayToolTip();
    void refreshWindowTitle();
    // Into the tray when there is one; otherwise minimised to the task bar.
    void minimiseToTray();
    // Shows and raises the window, out of the tray or the task bar.
    void bringToFront();

signals:
    // Closing the window or the tray's Quit, when something decides about
    // quitting (the desktop controller); otherwise they quit at once.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    MainWindow();
    ~MainWindow() override;

    LumApplication *app() const { return m_app; }
    void buildToolBar();
    void buildTray();
    void nameToolBarButtons();
    void restoreGeometrySettings();
    void saveGeometrySettings() const;
    bool quitIsHandled() const;
    bool confirmUpload(const std::set<uint> &controllerIds);
    void hideIntoTray();
    void showFromTray();

    LumApplication *m_app;
    DesktopController *m_controller = nullptr;
    ActionManager *m_actions;
    InstallationModel *m_model;
    InstallationView *m_view;
    QTabWidget *m_tabs;
    QToolBar *m_toolBar;
    QAction *m_undoPlace;
    QDockWidget *m_logDock;
    LogViewer *m_logViewer;
    QSystemTrayIcon *m_trayIcon;
    QAction *m_restoreAction;
    QHash<uint, QWidget *> m_browserTabs;
    QHash<QWidget *, uint> m_browserControllers;
    QRect m_normalGeometry;
    bool m_inTray = false;
    bool m_wasMaximised = false;
    bool m_clean = true;
    QTimer m_trayToolTipTimer;
    QTimer m_actionsTimer;
};
