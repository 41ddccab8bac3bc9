#include "main_window.h"

#include "app_constants.h"
#include "log_viewer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMetaMethod>
#include <QSystemTrayIcon>

namespace {
MainWindow *theWindow = nullptr;
}

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

MainWindow::MainWindow()
{
    setWindowTitle(AppConstants::displayName());
    setWindowIcon(QIcon(QStringLiteral(":/icons/22x22/tray_icon.png")));
    resize(1024, 768);

    m_note = new QLabel(tr("No project is open."), this);
    m_note->setAlignment(Qt::AlignCenter);
    setCentralWidget(m_note);

    auto *dock = new QDockWidget(tr("Log Viewer"), this);
    dock->setObjectName(QStringLiteral("Log Viewer"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    m_logViewer = new LogViewer(dock);
    dock->setWidget(m_logViewer);
    addDockWidget(Qt::BottomDockWidgetArea, dock);

    m_trayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/22x22/tray_icon.png")), this);
    m_trayIcon->setToolTip(AppConstants::displayName());
    auto *trayMenu = new QMenu(this);
    trayMenu->addAction(tr("&Restore"), this, &MainWindow::restoreFromTray);
    trayMenu->addAction(tr("&Quit"), this, [this] {
        if (quitIsHandled())
            emit quitRequested();
        else
            QApplication::quit();
    });
    m_trayIcon->setContextMenu(trayMenu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && m_inTray)
                    restoreFromTray();
            });
    m_trayIcon->setVisible(true);
}

void MainWindow::minimiseToTray()
{
    m_inTray = true;
    hide();
}

void MainWindow::restoreFromTray()
{
    m_inTray = false;
    showNormal();
    bringToFront();
}

void MainWindow::bringToFront()
{
    if (m_inTray)
        restoreFromTray();
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void MainWindow::showLaunchNote(const QString &path)
{
    m_note->setText(path.isEmpty() ? tr("No project is open.")
                                   : tr("Project to open: %1").arg(path));
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
