#include "smtp_test_server.h"

#include "test_environment.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

SmtpTestServer::SmtpTestServer(const QStringList &options)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    QStringList{TestEnvironment::sourceDir() +
                                    QStringLiteral("/tests/appengine/smtp_test_server.py"),
                                m_folder.path()} +
                        options);
    // The server prints its port once it listens.
    if (m_process.waitForReadyRead(15000))
        m_port = quint16(m_process.readLine().trimmed().toUInt());
}

SmtpTestServer::~SmtpTestServer()
{
    m_process.kill();
    m_process.waitForFinished();
}

int SmtpTestServer::messageCount() const
{
    return int(QDir(m_folder.path()).entryList({QStringLiteral("*.eml")}).size());
}

QString SmtpTestServer::message(int number) const
{
    return QString::fromUtf8(read(number, "eml"));
}

QJsonObject SmtpTestServer::envelope(int number) const
{
    return QJsonDocument::fromJson(read(number, "json")).object();
}

QByteArray SmtpTestServer::read(int number, const char *suffix) const
{
    QFile file(m_folder.filePath(QStringLiteral("%1.%2").arg(number).arg(QLatin1String(suffix))));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
