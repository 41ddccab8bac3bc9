#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A real mail server for the tests: aiosmtpd on a free port of 127.0.0.1
// (tests/appengine/smtp_test_server.py, which takes `options` such as
// --auth login), keeping message n as it was received and its envelope.
class SmtpTestServer
{
public:
    explicit SmtpTestServer(const QStringList &options = {});
    ~SmtpTestServer();

    quint16 port() const { return m_port; } // 0 when the server did not start
    QString folder() const { return m_folder.path(); }
    int messageCount() const;
    QString message(int number) const;
    // "mail_from", "rcpt_tos" and "authenticated".
    QJsonObject envelope(int number) const;

private:
    QByteArray read(int number, const char *suffix) const;

    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
};
