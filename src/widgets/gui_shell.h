#pragma once

#include <QObject>
#include <QPointer>
#include <QSplashScreen>

class LumApplication;
class QWidget;

// The GUI's splash screen.
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

private:
    QPointer<QSplashScreen> m_splash;
};
