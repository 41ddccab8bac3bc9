#pragma once

#include <QMainWindow>

class LogViewer;
class QLabel;
class QSystemTrayIcon;

// The application's one top-level window: for now the log dock and a note of
// what was asked at launch, until the installation view and actions arrive.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Created on first request; destroyed by destroyInstance().
    static MainWindow *instance();
    static bool exists();
    static void destroyInstance();

    LogViewer *logViewer() const { return m_logViewer; }
    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }
    bool isInTray() const { return m_inTray; }

public slots:
    // Hides the window; only the tray entry remains.
    void minimiseToTray();
    void restoreFromTray();
    void bringToFront();
    void showLaunchNote(const QString &path);

signals:
    // Closing the window or the tray's Quit, when something decides about
    // quitting (the desktop controller); otherwise they quit at once.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    MainWindow();
    bool quitIsHandled() const;

    QLabel *m_note;
    LogViewer *m_logViewer;
    QSystemTrayIcon *m_trayIcon;
    bool m_inTray = false;
};
