#pragma once

#include <QDialog>

class QAuthenticator;
class QLineEdit;

// Asks for the password a controller's web page demands. Accepting stores
// the typed password in the request's authenticator; the plain text goes
// nowhere else.
class AuthenticationDialog : public QDialog
{
    Q_OBJECT

public:
    AuthenticationDialog(QAuthenticator *authenticator, QWidget *parent = nullptr);

    // The controllers' web pages know one account, "admin": names it in the
    // authenticator and asks for its password. False when the operator
    // cancelled, and the page load is to be aborted.
    static bool askAdministrator(QAuthenticator *authenticator, QWidget *parent);

public slots:
    void accept() override;

private:
    QAuthenticator *m_authenticator;
    QLineEdit *m_password;
};
