#include "controller_browser.h"

#include "authentication_dialog.h"

#include <QAction>
#include <QAuthenticator>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>

ControllerBrowser::ControllerBrowser(QWidget *parent) : WebBrowser(parent)
{
    toolBar()->addSeparator();
    QAction *admin = toolBar()->addAction(
        QIcon(QStringLiteral(":/icons/22x22/system_settings.png")), tr("Administration"));
    admin->setToolTip(tr("Administration"));
    connect(admin, &QAction::triggered, this, &ControllerBrowser::showAdminInterface);
    connect(view()->page(), &QWebEnginePage::authenticationRequired, this,
            &ControllerBrowser::onAuthenticationRequested);
}

QUrl ControllerBrowser::adminAddress(const QUrl &shown)
{
    QUrl address;
    address.setScheme(QStringLiteral("http"));
    address.setHost(shown.host());
    if (shown.port(80) != 80)
        address.setPort(shown.port());
    address.setPath(QStringLiteral("/default/"));
    return address;
}

void ControllerBrowser::showAdminInterface()
{
    setUrl(adminAddress(view()->url()));
}

void ControllerBrowser::onAuthenticationRequested(const QUrl &, QAuthenticator *authenticator)
{
    if (!AuthenticationDialog::askAdministrator(authenticator, this)) {
        // A null authenticator tells the web engine to give up on the page.
        *authenticator = QAuthenticator();
    }
}
