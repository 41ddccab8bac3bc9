#pragma once

// Helpers for the tests of rigwarden-cli, run as the operator runs it: the
// commands as processes, projects written as JSON and imported, simulated
// controllers and a real mail server.

#include "link_fixture.h"
#include "smtp_test_server.h"
#include "test_environment.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <csignal>

namespace CliFixture {

using namespace LinkFixture;
using namespace Qt::StringLiterals;

// rigwarden-cli running in the background; its output is collected as it
// comes, and the test's own servers keep serving while it is awaited.
class CliProcess
{
public:
    explicit CliProcess(const QStringList &arguments)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                         [this] { m_out += m_process.readAllStandardOutput(); });
        QObject::connect(&m_process, &QProcess::readyReadStandardError,
                         [this] { m_err += m_process.readAllStandardError(); });
        m_process.start(TestEnvironment::binDir() + u"/rigwarden-cli"_s, arguments);
        m_process.closeWriteChannel();
    }
    ~CliProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    bool waitForOutput(const QString &text, int timeout = 20000)
    {
        return QTest::qWaitFor([&] { return out().contains(text) || !isRunning(); }, timeout) &&
               out().contains(text);
    }
    bool waitForFinished(int timeout = 30000)
    {
        const bool finished = waitUntil([this] { return !isRunning(); }, timeout);
        m_out += m_process.readAllStandardOutput();
        m_err += m_process.readAllStandardError();
        return finished;
    }
    void sendSignal(int signalNumber) { ::kill(pid_t(m_process.processId()), signalNumber); }

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    bool crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    int exitCode() const { return m_process.exitCode(); }
    QString out() const { return QString::fromUtf8(m_out); }
    QString err() const { return QString::fromUtf8(m_err); }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

struct Finished
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the command to its end; exit code -1 when it crashed or did not end.
inline Finished runCli(const QStringList &arguments, int timeout = 60000)
{
    CliProcess process(arguments);
    const bool ended = process.waitForFinished(timeout) && !process.crashed();
    return {ended ? process.exitCode() : -1, process.out(), process.err()};
}

// Projects over the show folder's show, written as JSON and imported.
class Rig : public ShowFolder
{
public:
    // One controller of the project: its HTTP and FTP ports on 127.0.0.1
    // (nothing listens on port 1), and the time of its scheduled upload when valid.
    struct Controller
    {
        quint16 httpPort = 80;
        quint16 ftpPort = 21;
        QDateTime scheduled = {};
    };

    // The project of one group with an installation per controller, mailing
    // every report to the server at `mailPort` when given, saved as `name`;
    // its path, or an empty text when the import failed.
    QString project(const QString &name, const QList<Controller> &controllers,
                    quint16 mailPort = 0) const
    {
        QStringList installations;
        for (const Controller &each : controllers) {
            QString scheduled;
            if (each.scheduled.isValid())
                scheduled = u", \"scheduledUpload\": \"%1\""_s.arg(
                    each.scheduled.toString(Qt::ISODateWithMs));
            installations << uR"({"name": "Site %1", "controllers": [
                {"hostname": "127.0.0.1", "httpPort": %2, "ftpPort": %3%4}]})"_s
                                 .arg(installations.size() + 1)
                                 .arg(each.httpPort)
                                 .arg(each.ftpPort)
                                 .arg(scheduled);
        }
        QString mail;
        if (mailPort != 0)
            mail = uR"("mail": {"enabled": true, "server": "127.0.0.1", "port": %1,
                "recipients": ["ops@example.com"]},)"_s.arg(mailPort);
        const QString json = uR"({"rigwardenProject": 1, %1 "groups": [{"name": "Stage",
            "controllerTemplates": [{"number": 1, "hardwareType": 1, "name": "Lights",
                "showFile": "%2", "mediaPaths": [{"clip": -1, "type": "Folder", "path": "%3"}]}],
            "installations": [%4]}]})"_s.arg(mail, showPath(), QFileInfo(clipPath(1)).path(),
                                             installations.join(u", "_s));
        const QString jsonPath = m_dir.filePath(name + u".json"_s);
        if (!ShowFileBytes::writeFile(jsonPath, json.toUtf8()))
            return QString();
        const QString projectPath = m_dir.filePath(name);
        const Finished imported = runCli({u"import"_s, jsonPath, projectPath});
        if (imported.exitCode != 0) {
            qWarning("%s", qPrintable(imported.err));
            return QString();
        }
        return projectPath;
    }

private:
    QTemporaryDir m_dir;
};

// The controllers of a simulator's listing (as rigwarden-sim --json prints it)
// as controllers of a project, scheduled at `scheduled`.
inline QList<Rig::Controller> controllersOf(const QJsonDocument &listing,
                                            const QDateTime &scheduled = {})
{
    QList<Rig::Controller> controllers;
    for (const QJsonValue each : listing[u"controllers"_s].toArray())
        controllers.append(
            {quint16(each[u"http"_s].toInt()), quint16(each[u"ftp"_s].toInt()), scheduled});
    return controllers;
}

} // namespace CliFixture
