#pragma once

#include "web_browser.h"

class QAuthenticator;

// A controller's own web interface, with "Administration", which goes to the
// controller's administration pages. When a page asks for credentials, the
// controller's one account, "admin", is named and its password asked for;
// cancelling aborts that page's load and leaves the browser usable.
class ControllerBrowser : public WebBrowser
{
    Q_OBJECT

public:
    explicit ControllerBrowser(QWidget *parent = nullptr);

    // "http://HOST[:PORT]/default/" for the page shown. The port stays when
    // it is not 80: a controller on another port has no web server on 80.
    static QUrl adminAddress(const QUrl &shown);

public slots:
    void showAdminInterface();
    void onAuthenticationRequested(const QUrl &requestUrl, QAuthenticator *authenticator);
};
