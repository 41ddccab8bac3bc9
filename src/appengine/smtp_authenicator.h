#pragma once

#include <QByteArray>
#include <QString>

// The user name and password with which the mail client logs in to a server
// that asks for it. Filled in by whoever answers the client's request.
class SmtpAuthenicator
{
public:
    SmtpAuthenicator() = default;
    SmtpAuthenicator(const QString &username, const QString &password);

    QString username() const { return m_username; }
    QString password() const { return m_password; }
    void setUsername(const QString &username) { m_username = username; }
    void setPassword(const QString &password) { m_password = password; }
    bool isComplete() const { return !m_username.isEmpty() && !m_password.isEmpty(); }

    // The client's answer to a CRAM-MD5 challenge (RFC 2195), before base64:
    // the user name, a blank and the keyed digest in lower-case hexadecimal.
    QByteArray cramMd5Response(const QByteArray &challenge) const;

    // HMAC-MD5 (RFC 2104) of the message under the key; 16 raw bytes.
    static QByteArray hmacMd5(const QByteArray &key, const QByteArray &message);

private:
    QString m_username;
    QString m_password;
};
