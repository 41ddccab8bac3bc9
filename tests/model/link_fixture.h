#pragma once

// Helpers for the end-to-end tests of the controller link: a project built
// through the document's interface, show files and media on disk, simulated
// controllers in-process, fast timers, and the event log and reports of runs.

#include "controller_simulator.h"
#include "event_log.h"
#include "installation_template.h"
#include "lum_application.h"
#include "lum_document.h"
#include "lum_preferences.h"
#include "password_cipher.h"
#include "show_file_bytes.h"
#include "simulated_controller.h"
#include "upload_feedback.h"
#include "upload_runs.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace LinkFixture {

// No test waits real seconds: a retry "second" lasts 20 ms.
inline void useFastTimers(int ftpInactivityMsec = 10000, int httpAnswerMsec = 10000,
                          int ftpReadingMsec = 20000)
{
    Controller::setTimings({50, 200, ftpInactivityMsec, httpAnswerMsec, 20, ftpReadingMsec});
}

// Runs the event loop until the condition holds. QTest::qWaitFor sleeps
// between rounds, which slows every network exchange down.
template <typename Condition>
bool waitUntil(Condition condition, int timeout = 10000)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    if (condition())
        return true;
    poll.start(1);
    loop.exec();
    return condition();
}

inline LumApplication *app()
{
    return LumApplication::instance();
}
inline LumDocument *document()
{
    return app()->document();
}
inline UploadFeedback *feedback()
{
    return document()->uploadFeedback();
}
inline Controller *controller(uint id)
{
    return document()->controller(id);
}
inline UploadRuns *runs()
{
    return app()->uploadRuns();
}

inline void setPreference(LumPreferences::Key key, const QVariant &value)
{
    app()->preferences()->setValue(key, value);
}

// An empty project, an empty log, no scheduled run armed, the default upload
// preferences except a one-second retry interval, and fast timers.
inline void resetApplication()
{
    document()->reset();
    runs()->stopScheduleTimer();
    app()->eventLog()->clear();
    setPreference(LumPreferences::Key_MaxAttempts, 3);
    setPreference(LumPreferences::Key_RetryInterval, 1);
    setPreference(LumPreferences::Key_StopOnFirstFail, false);
    setPreference(LumPreferences::Key_UploadUnchangedFiles, false);
    useFastTimers();
}

inline std::unique_ptr<ControllerSimulator> startSimulator(const QStringList &arguments = {})
{
    SimOptions options;
    QString error;
    auto simulator = std::make_unique<ControllerSimulator>();
    if (!options.parse(arguments, &error) || !simulator->start(options, &error)) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    return simulator;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A general show file for hardware type 1 whose clips are slot files in a
// media folder, each a few kilobytes of its own bytes. Its clip n is slot n - 1.
class ShowFolder
{
public:
    explicit ShowFolder(int clipCount = 2)
    {
        QDir(m_dir.path()).mkdir(QStringLiteral("media"));
        ShowFileBytes::General show;
        show.deviceType = 1;
        for (int clip = 1; clip <= clipCount; ++clip) {
            show.names << "clip" + QByteArray::number(clip) + ".bin";
            writeClip(clip, QByteArray(clip * 3000 + 500, char('a' + clip)));
        }
        ShowFileBytes::writeFile(showPath(), show.bytes());
    }

    QString showPath() const { return m_dir.filePath(QStringLiteral("show.bin")); }
    QString clipPath(int clip) const
    {
        return m_dir.filePath(QStringLiteral("media/clip%1.bin").arg(clip));
    }
    void writeClip(int clip, const QByteArray &bytes) const
    {
        ShowFileBytes::writeFile(clipPath(clip), bytes);
    }

    ControllerTemplatePtr controllerTemplate() const
    {
        auto controllerTemplate = std::make_shared<ControllerTemplate>();
        controllerTemplate->setHardwareType(1);
        controllerTemplate->setMediaPath(-1, MediaType_Folder,
                                         m_dir.filePath(QStringLiteral("media")));
        controllerTemplate->setShowFile(showPath());
        return controllerTemplate;
    }

private:
    QTemporaryDir m_dir;
};

// A group whose template holds the controller template, with `count`
// installations; their controllers, in order.
inline QList<uint> addControllers(const ControllerTemplatePtr &controllerTemplate, int count = 1)
{
    InstallationTemplate installationTemplate;
    installationTemplate.appendControllerTemplate(controllerTemplate);
    const uint groupId = document()->addGroup(installationTemplate);
    QList<uint> controllerIds;
    for (int i = 0; i < count; ++i) {
        const uint installationId = document()->addInstallation(groupId);
        controllerIds << document()->installation(installationId)->controllerIds().first();
    }
    return controllerIds;
}

// A controller of the template at ports on 127.0.0.1, as a project opens it:
// not asked yet.
inline uint addControllerAt(const ControllerTemplatePtr &controllerTemplate, quint16 httpPort,
                            quint16 ftpPort = 21)
{
    const uint id = addControllers(controllerTemplate).first();
    controller(id)->restoreAddress(QStringLiteral("127.0.0.1"), httpPort, ftpPort);
    return id;
}

// Points the controller at ports on 127.0.0.1 and waits until discovery has
// answered or failed.
inline bool connectTo(uint controllerId, quint16 httpPort, quint16 ftpPort,
                      const QString &password = QStringLiteral("any"))
{
    Controller *target = controller(controllerId);
    if (!password.isNull())
        target->setPassword(PasswordCipher::encode(password));
    target->setFtpPort(ftpPort);
    target->setHttpPort(httpPort);
    target->setHostname(QStringLiteral("127.0.0.1"));
    return waitUntil([target] { return !target->isDiscovering(); });
}

inline bool connectTo(uint controllerId, const SimulatedController *simulated,
                      const QString &password = QStringLiteral("any"))
{
    return connectTo(controllerId, simulated->httpPort(), simulated->ftpPort(), password);
}

// A simulator started with the given options and, in one group of the
// template, a controller discovered on each simulated controller; `id` is the
// first one.
struct Site
{
    std::unique_ptr<ControllerSimulator> simulator;
    QList<uint> ids;
    uint id = 0;

    const SimulatedController *simulated(int i = 0) const { return simulator->controllers().at(i); }
    QByteArray remoteFile(const QString &name) const
    {
        return readFile(simulated()->folder() + QLatin1Char('/') + name);
    }
};

inline bool startSite(Site &site, const ControllerTemplatePtr &controllerTemplate,
                      const QStringList &arguments = {},
                      const QString &password = QStringLiteral("any"))
{
    site.simulator = startSimulator(arguments);
    if (!site.simulator)
        return false;
    site.ids = addControllers(controllerTemplate, int(site.simulator->controllers().size()));
    site.id = site.ids.first();
    for (int i = 0; i < site.ids.size(); ++i) {
        if (!connectTo(site.ids.at(i), site.simulated(i), password))
            return false;
    }
    return true;
}

inline IdSet idSet(const QList<uint> &list)
{
    return IdSet(list.begin(), list.end());
}

// The messages of the log up to a level, in order; of one category when given.
inline QStringList logMessages(int maxLevel = 0, int category = -1)
{
    QStringList messages;
    for (const LogEntry &entry : app()->eventLog()->entries()) {
        if (entry.level <= maxLevel && (category < 0 || entry.category == category))
            messages << entry.message;
    }
    return messages;
}

inline bool logged(QAnyStringView message)
{
    return logMessages().contains(message.toString());
}

inline QStringList logMessagesStarting(QAnyStringView prefix, int maxLevel = 2)
{
    QStringList matching;
    for (const QString &message : logMessages(maxLevel)) {
        if (message.startsWith(prefix.toString()))
            matching << message;
    }
    return matching;
}

// The log lines of the files sent, in order.
inline QStringList sentFiles()
{
    QStringList sent;
    for (const QString &line : logMessages(0, Category_Ftp)) {
        if (line.startsWith(QLatin1String("Uploading \"")) ||
            line.startsWith(QLatin1String("Uploading validator")))
            sent << line;
    }
    return sent;
}

// The completed reports of upload runs, by report identifier.
class Reports : public QObject
{
public:
    struct Completed
    {
        bool success = false;
        QString text;
        UploadReport::Results results;
    };

    Reports()
    {
        connect(app()->uploadRuns(), &UploadRuns::reportCompleted, this,
                [this](const UploadReport &report) {
                    m_completed[report.id()] =
                        Completed{report.failedCount() == 0, report.text(), report.results()};
                });
    }
    // Runs the event loop (not a polling loop, which would slow every
    // exchange down) until the report completes.
    bool wait(uint reportId, int timeout = 20000)
    {
        if (m_completed.contains(reportId))
            return true;
        QEventLoop loop;
        QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
        connect(app()->uploadRuns(), &UploadRuns::reportCompleted, &loop,
                [&loop, reportId](const UploadReport &report) {
                    if (report.id() == reportId)
                        loop.quit();
                });
        loop.exec();
        return m_completed.contains(reportId);
    }
    bool isCompleted(uint reportId) const { return m_completed.contains(reportId); }
    Completed get(uint reportId) const { return m_completed.value(reportId); }
    std::pair<UploadReport::State, QString> result(uint reportId, uint controllerId) const
    {
        const UploadReport::ControllerResult result =
            m_completed.value(reportId).results.at(controllerId);
        return {result.result, result.message};
    }
    int count() const { return int(m_completed.size()); }
    Completed last() const { return m_completed.isEmpty() ? Completed() : m_completed.last(); }

private:
    QMap<uint, Completed> m_completed;
};

// Runs an upload of the controllers; its report once completed.
inline Reports::Completed run(const IdSet &controllerIds, bool manual = false, int timeout = 20000)
{
    Reports reports;
    const uint reportId = app()->uploadRuns()->upload(controllerIds, manual);
    if (!reports.wait(reportId, timeout))
        qWarning("the run %u did not complete", reportId);
    return reports.get(reportId);
}

inline std::pair<UploadReport::State, QString> uploadResult(uint controllerId, bool manual = false,
                                                            int timeout = 20000)
{
    const UploadReport::Results results = run({controllerId}, manual, timeout).results;
    const auto found = results.find(controllerId);
    if (found == results.end())
        return {UploadReport::State_None, QStringLiteral("no result")};
    return {found->second.result, found->second.message};
}

inline std::pair<UploadReport::State, QString> failed(const char *message)
{
    return {UploadReport::State_Failed, QString::fromUtf8(message)};
}

inline std::pair<UploadReport::State, QString> cancelled()
{
    return {UploadReport::State_Cancelled, QStringLiteral("Upload was cancelled")};
}

} // namespace LinkFixture
