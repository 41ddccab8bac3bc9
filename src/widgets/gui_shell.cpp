#include "gui_shell.h"

#include "app_constants.h"

#include <QBitmap>
#include <QSplashScreen>
#include <QTimer>

GuiShell::GuiShell(LumApplication *, QObject *parent) : QObject(parent)
{}

GuiShell::~GuiShell()
{
    delete m_splash;
}

QString GuiShell::splashMessage()
{
    return AppConstants::splashTopSpacing() + tr("Version %1\n").arg(AppConstants::versionText()) +
           tr("Lumora show-control software\n") + tr("Copyright Lumora. All rights reserved.\n");
}

void GuiShell::showSplashScreen(int millisecs, QWidget *parent)
{
    if (!m_splash) {
        const QPixmap picture(QStringLiteral(":/splash.png"));
        m_splash = new QSplashScreen(picture, Qt::WindowStaysOnTopHint);
        if (parent)
            m_splash->setParent(parent, m_splash->windowFlags());
        m_splash->setMask(picture.mask());
        QFont font = m_splash->font();
        font.setPixelSize(12);
        m_splash->setFont(font);
    }
    m_splash->showMessage(splashMessage(), Qt::AlignHCenter | Qt::AlignVCenter,
                          AppConstants::splashTextColour());
    m_splash->show();
    if (millisecs != 0)
        QTimer::singleShot(millisecs, this, &GuiShell::hideSplashScreen);
}

void GuiShell::showSplashScreen(int millisecs)
{
    showSplashScreen(millisecs, nullptr);
}

void GuiShell::showSplashScreen()
{
    showSplashScreen(0, nullptr);
}

void GuiShell::hideSplashScreen()
{
    if (m_splash)
        m_splash->hide();
}
