#pragma once

#include "test_environment.h"

#include <QProcess>
#include <QTemporaryDir>

// Debian's pyftpdlib on a free port, serving a temporary folder to "rigward"
// with the password "secret".
class RealFtpServer
{
public:
    RealFtpServer()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {TestEnvironment::sourceDir() +
                             QStringLiteral("/tests/tandem_qt/network/ftp_server.py"),
                         m_home.path()});
        if (m_process.waitForReadyRead(10000))
            m_port = quint16(m_process.readLine().trimmed().toUInt());
    }
    ~RealFtpServer()
    {
        m_process.closeWriteChannel(); // the server ends when its stdin closes
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    quint16 port() const { return m_port; }
    QString home() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    quint16 m_port = 0;
};
