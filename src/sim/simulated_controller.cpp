#include "simulated_controller.h"

#include "sim_ftp_session.h"
#include "sim_http_session.h"
#include "sim_show_file.h"
#include "types.h"

#include <QDir>
#include <QFileInfo>
#include <QTcpServer>
#include <QXmlStreamWriter>

#include <cstdio>

SimulatedController::SimulatedController(int index, const SimControllerConfig &config,
                                         const QString &folder, QObject *parent)
    : QObject(parent), m_index(index), m_config(config), m_folder(folder),
      m_httpServer(new QTcpServer(this)), m_ftpServer(new QTcpServer(this)),
      m_otherProject(QUuid::createUuid())
{
    connect(m_httpServer, &QTcpServer::newConnection, this, &SimulatedController::onHttpConnection);
    connect(m_ftpServer, &QTcpServer::newConnection, this, &SimulatedController::onFtpConnection);
}

bool SimulatedController::listen(const QHostAddress &address, quint16 httpPort, quint16 ftpPort,
                                 QString *error)
{
    if (!QDir().mkpath(m_folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(m_folder);
        return false;
    }
    if (!m_httpServer->listen(address, httpPort)) {
        *error = QStringLiteral("controller %1: HTTP port %2: %3")
                     .arg(m_index)
                     .arg(httpPort)
                     .arg(m_httpServer->errorString());
        return false;
    }
    if (!m_ftpServer->listen(address, ftpPort)) {
        *error = QStringLiteral("controller %1: FTP port %2: %3")
                     .arg(m_index)
                     .arg(ftpPort)
                     .arg(m_ftpServer->errorString());
        return false;
    }
    return true;
}

QString SimulatedController::serialNumber() const
{
    return QStringLiteral("SIM%1").arg(m_index, 5, 10, QLatin1Char('0'));
}

quint16 SimulatedController::httpPort() const
{
    return m_httpServer->serverPort();
}

quint16 SimulatedController::ftpPort() const
{
    return m_ftpServer->serverPort();
}

QByteArray SimulatedController::statusXml() const
{
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("response"));
    xml.writeStartElement(QStringLiteral("hardwareType"));
    xml.writeAttribute(QStringLiteral("id"), QString::number(m_config.hardwareType));
    xml.writeCharacters(HardwareType::name(m_config.hardwareType));
    xml.writeEndElement();
    xml.writeTextElement(QStringLiteral("serialNumber"), serialNumber());
    xml.writeStartElement(QStringLiteral("firmwareVersion"));
    xml.writeTextElement(QStringLiteral("major"), QString::number(m_config.firmware[0]));
    xml.writeTextElement(QStringLiteral("minor"), QString::number(m_config.firmware[1]));
    xml.writeTextElement(QStringLiteral("point"), QString::number(m_config.firmware[2]));
    xml.writeEndElement();
    xml.writeTextElement(QStringLiteral("cfCardSizeKb"), QString::number(m_config.cardSizeKb));
    xml.writeStartElement(QStringLiteral("project"));
    xml.writeTextElement(QStringLiteral("projectName"), m_projectName);
    xml.writeTextElement(QStringLiteral("projectUuid"),
                         m_projectUuid.isNull() ? QString() : m_projectUuid.toString());
    xml.writeTextElement(QStringLiteral("projectUploadDate"),
                         m_projectUploadDate.isValid()
                             ? m_projectUploadDate.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                             : QString());
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

QPair<int, QByteArray> SimulatedController::activate()
{
    if (m_config.launch == SimControllerConfig::Launch_Refused) {
        trace(QStringLiteral("launch refused"));
        return {500, QByteArrayLiteral("Launch refused")};
    }
    if (m_lastShowFile.isEmpty())
        m_lastShowFile = keptShowFile();
    if (m_lastShowFile.isEmpty()) {
        trace(QStringLiteral("launch: no show file uploaded"));
        return {404, QByteArrayLiteral("No show file has been uploaded")};
    }
    QUuid uuid;
    switch (m_config.launch) {
    case SimControllerConfig::Launch_NullUuid:
        break;
    case SimControllerConfig::Launch_OtherProject:
        uuid = m_otherProject;
        break;
    default:
        uuid = SimShowFile::projectUuid(m_folder + QLatin1Char('/') + m_lastShowFile,
                                        SimShowFile::layoutOfName(m_lastShowFile));
        break;
    }
    if (!uuid.isNull()) {
        // The project now running; its name is made up from its identity.
        m_projectUuid = uuid;
        m_projectName = QStringLiteral("Project %1").arg(uuid.toString(QUuid::Id128).left(8));
        m_projectUploadDate = QDateTime::currentDateTime();
    }
    trace(QStringLiteral("launch of %1: %2").arg(m_lastShowFile, uuid.toString()));
    return {200, uuid.toString().toLatin1()};
}

void SimulatedController::noteShowFileStored(const QString &remoteName)
{
    m_lastShowFile = remoteName;
}

// A show file that an earlier run left in a kept folder counts as uploaded:
// the newer one when both kinds are there.
QString SimulatedController::keptShowFile() const
{
    QString newest;
    QDateTime newestTime;
    for (const QString &name : {QStringLiteral("upload.wr_"), QStringLiteral("newshow.kma")}) {
        const QFileInfo info(m_folder + QLatin1Char('/') + name);
        if (info.isFile() && (newest.isEmpty() || info.lastModified() > newestTime)) {
            newest = name;
            newestTime = info.lastModified();
        }
    }
    return newest;
}

bool SimulatedController::isShowFileName(const QString &remoteName)
{
    return remoteName == QLatin1String("upload.wr_") || remoteName == QLatin1String("newshow.kma");
}

void SimulatedController::trace(const QString &text) const
{
    if (m_verbose)
        std::fprintf(stderr, "controller %d: %s\n", m_index, qPrintable(text));
}

void SimulatedController::onHttpConnection()
{
    while (QTcpSocket *socket = m_httpServer->nextPendingConnection())
        new SimHttpSession(socket, this);
}

void SimulatedController::onFtpConnection()
{
    while (QTcpSocket *socket = m_ftpServer->nextPendingConnection())
        new SimFtpSession(socket, this);
}
