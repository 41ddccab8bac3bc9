#pragma once

#include "sim_controller_config.h"

#include <QDateTime>
#include <QHostAddress>
#include <QObject>
#include <QUuid>

class QTcpServer;

// One simulated show controller: an HTTP port that answers the status and
// launch requests and an FTP port that stores uploads in the controller's
// own folder. It runs no project until a launch loads an uploaded show file.
class SimulatedController : public QObject
{
    Q_OBJECT

public:
    SimulatedController(int index, const SimControllerConfig &config, const QString &folder,
                        QObject *parent = nullptr);

    // Listens on both ports (0 picks free ones); false with a reason.
    bool listen(const QHostAddress &address, quint16 httpPort, quint16 ftpPort, QString *error);

    int index() const { return m_index; }
    const SimControllerConfig &config() const { return m_config; }
    QString folder() const { return m_folder; }
    QString serialNumber() const;
    quint16 httpPort() const;
    quint16 ftpPort() const;
    void setVerbose(bool verbose) { m_verbose = verbose; }

    // The body of the answer to "/query/system".
    QByteArray statusXml() const;
    // The answer to "/private/activate_upload": HTTP status and body.
    QPair<int, QByteArray> activate();

    // Counts the STOR commands of every session; the first is 1.
    int nextStorNumber() { return ++m_storCount; }
    // A show file arrived completely.
    void noteShowFileStored(const QString &remoteName);
    // The remote name of a show file is one of the two the controller loads.
    static bool isShowFileName(const QString &remoteName);

    // Writes one line to stderr when verbose.
    void trace(const QString &text) const;

private:
    QString keptShowFile() const;
    void onHttpConnection();
    void onFtpConnection();

    int m_index;
    SimControllerConfig m_config;
    QString m_folder;
    QTcpServer *m_httpServer;
    QTcpServer *m_ftpServer;
    bool m_verbose = false;
    int m_storCount = 0;

    QString m_lastShowFile;
    QString m_projectName;
    QUuid m_projectUuid;
    QDateTime m_projectUploadDate;
    QUuid m_otherProject;
};
