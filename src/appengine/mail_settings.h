#pragma once

#include <QString>
#include <QStringList>

// The alert-mail settings of a project, changed as one record so that an
// edit in the mail dialog is one undoable step. The password is held in the
// enciphered form of PasswordCipher and deciphered only for the mail client.
class MailSettings
{
public:
    static constexpr quint16 DefaultPort = 25;

    // Whether the mail dialog accepts the address as a recipient.
    static bool isValidRecipient(const QString &address);

    bool enabled = false;
    // Also mail the reports of uploads started by the operator.
    bool sendForManualUploads = false;
    QString server;
    quint16 port = DefaultPort;
    QString username;
    QStringList recipients;
    QString password;

    bool operator==(const MailSettings &other) const = default;
};
