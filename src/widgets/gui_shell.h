#pragma once

#include <QObject>
#include <QPointer>
#include <QSplashScreen>

class LumApplication;
class QWidget;

// The GUI's side of the application object: the splash screen, and the
// windows' reactions to what the application announces.
class GuiShell : public QObject
{
    Q_OBJECT

public:
    explicit GuiShell(LumApplication *app, QObject *parent = nullptr);
    ~GuiShell() override;

    QSplashScreen *splashScreen() const { return m_splash; }
    // The splash's text: the version and the maker's lines below the artwork.
    static QString splashMessage();

public slots:
    // Shows the splash for `millisecs` (0: until clicked or hidden).
    void showSplashScreen(int millisecs, QWidget *parent);
    void showSplashScreen(int millisecs);
    void showSplashScreen();
    void hideSplashScreen();

private slots:
    void onApplicationLaunched(const QString &path);
    void onLaunchRequested(const QString &path);

private:
    QPointer<QSplashScreen> m_splash;
};
