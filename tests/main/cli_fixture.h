#pragma once

// Helpers for the tests of rigwarden-cli, run as the operator runs it: the
// commands and rigwarden-sim as processes, projects written as JSON and
// imported, a real mail server.

#include "show_file_bytes.h"
#include "smtp_test_server.h"
#include "test_environment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace CliFixture {

using namespace Qt::StringLiterals;

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// rigwarden-cli running in the background; its output is collected as it comes.
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
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    bool waitForOutput(const QString &text, int timeout = 20000)
    {
        return QTest::qWaitFor([&] { return out().contains(text) || !isRunning(); }, timeout) &&
               out().contains(text);
    }
    bool waitForFinished(int timeout = 30000)
    {
        const bool finished = m_process.waitForFinished(timeout);
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
    QStringList outLines() const { return out().split(u'\n', Qt::SkipEmptyParts); }

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

// Runs the command to its end.
inline Finished runCli(const QStringList &arguments, int timeout = 60000)
{
    CliProcess process(arguments);
    if (!process.waitForFinished(timeout))
        qWarning("rigwarden-cli %s did not finish", qPrintable(arguments.join(u' ')));
    return {process.crashed() ? -1 : process.exitCode(), process.out(), process.err()};
}

// rigwarden-sim as a process, with the ports and folders of its controllers.
class Simulator
{
public:
    explicit Simulator(const QStringList &arguments = {})
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(TestEnvironment::binDir() + u"/rigwarden-sim"_s,
                        QStringList{u"--json"_s} + arguments);
        if (m_process.waitForReadyRead(15000))
            m_listing = QJsonDocument::fromJson(m_process.readLine()).object();
    }
    ~Simulator()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    bool isValid() const { return !controllers().isEmpty(); }
    QJsonArray controllers() const { return m_listing.value(u"controllers"_s).toArray(); }
    quint16 httpPort(int index) const { return port(index, "http"); }
    quint16 ftpPort(int index) const { return port(index, "ftp"); }

private:
    quint16 port(int index, const char *which) const
    {
        return quint16(
            controllers().at(index).toObject().value(QString::fromLatin1(which)).toInt());
    }

    QProcess m_process;
    QJsonObject m_listing;
};

// A general show file for hardware type 1 whose two clips are slot files in a
// media folder, and projects over it written as JSON and imported.
class Rig
{
public:
    explicit Rig(int clipBytes = 4000)
    {
        QDir(m_dir.path()).mkdir(u"media"_s);
        ShowFileBytes::General show;
        show.deviceType = 1;
        for (int clip = 1; clip <= 2; ++clip) {
            const QByteArray name = "clip" + QByteArray::number(clip) + ".bin";
            show.names << name;
            ShowFileBytes::writeFile(mediaFolder() + u'/' + QString::fromLatin1(name),
                                     QByteArray(clipBytes + clip, char('a' + clip)));
        }
        ShowFileBytes::writeFile(showPath(), show.bytes());
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString showPath() const { return path(u"show.bin"_s); }
    QString mediaFolder() const { return path(u"media"_s); }

    // One controller of the project: its HTTP and FTP ports on 127.0.0.1, and
    // the time of its scheduled upload when valid.
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
            "installations": [%4]}]})"_s.arg(mail, showPath(), mediaFolder(),
                                             installations.join(u", "_s));
        const QString jsonPath = path(name + u".json"_s);
        if (!ShowFileBytes::writeFile(jsonPath, json.toUtf8()))
            return QString();
        const QString projectPath = path(name);
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

// The simulator's controllers as controllers of a project, scheduled at `scheduled`.
inline QList<Rig::Controller> controllersOf(const Simulator &simulator,
                                            const QDateTime &scheduled = {})
{
    QList<Rig::Controller> controllers;
    for (int i = 0; i < simulator.controllers().size(); ++i)
        controllers.append({simulator.httpPort(i), simulator.ftpPort(i), scheduled});
    return controllers;
}

// A port on 127.0.0.1 where nothing listens.
inline quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again as the server goes
}

// A line of the event log as the log viewer shows it.
inline bool isLogLine(const QString &line)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        u"\\w{3} \\w{3} +\\d{1,2} \\d\\d:\\d\\d:\\d\\d \\d{4} - "
        "\\[(APP|HTTP|FTP|SMTP|SCHEDULE|MEDIA)\\] - .*"_s));
    return pattern.match(line).hasMatch();
}

} // namespace CliFixture
