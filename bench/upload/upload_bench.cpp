// rw_upload_bench: the controller link at scale, for run_upload_bench.py.
//
//   rw_upload_bench fleet LISTING.json WORK_DIR [PARALLEL]
//     A project of one controller per simulated controller of the listing
//     (rigwarden-sim --json), all sharing one show of 20 MiB (a 4 MiB show
//     file and two 8 MiB slot files): discovery of all, a first upload run
//     that sends everything, and a second one that finds every file on the
//     controllers. Prints wall times, memory and the files read and sent.
//
//   rw_upload_bench single HOST HTTP_PORT FTP_PORT SHOW_MIB WORK_DIR
//     One controller, a show file of SHOW_MIB MiB and no media: prints the
//     seconds its STOR took, from the file's "Uploading" to its "Complete",
//     and writes the show file as WORK_DIR/show.bin for the FTP client's own
//     benchmark to send the same bytes.
//
// Figures go to stdout as "name value" lines; exit 1 when a run did not
// succeed everywhere.

#include "digest_cache.h"
#include "discovery_wait.h"
#include "event_log.h"
#include "installation_template.h"
#include "lum_application.h"
#include "lum_document.h"
#include "media_transcoder.h"
#include "upload_feedback.h"
#include "upload_report.h"
#include "upload_runs.h"
#include "upload_slots.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr int RunTimeoutMsec = 30 * 60 * 1000;

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / MiB : 0;
}

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void raiseFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void figure(const char *name, double value)
{
    std::printf("%s %.3f\n", name, value);
    std::fflush(stdout);
}

bool writeRandom(QIODevice &file, qint64 bytes)
{
    QByteArray block(int(MiB), Qt::Uninitialized);
    while (bytes > 0) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(block.data()),
                                              block.size() / int(sizeof(quint32)));
        const qint64 size = qMin<qint64>(bytes, block.size());
        if (file.write(block.constData(), size) != size)
            return false;
        bytes -= size;
    }
    return true;
}

// A general show file (NX family, version 315, big-endian) naming its clips'
// slot files, followed by the show's own data up to `bytes`.
bool writeShow(const QString &path, const QList<QByteArray> &clipNames, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream stream(&file);
    stream << quint16(0xFF33) << quint32(0x5678) << quint16(0xFF33) << quint16(315) << quint8(1)
           << quint8(0) << quint8(0) << quint16(1);
    stream << quint32(0x6fa1c1e0) << quint32(0x0c4a4f8e) << quint32(0x9d513c2b)
           << quint32(0x8f0e2a17);
    stream << quint16(clipNames.size());
    for (const QByteArray &name : clipNames) {
        stream << quint16(name.size());
        stream.writeRawData(name.constData(), int(name.size()));
    }
    return writeRandom(file, bytes - file.pos());
}

// One group whose controller template sends the show and its slot files,
// with an installation per address.
QList<uint> buildProject(LumDocument &document, const QString &showPath, const QString &mediaFolder,
                         const QString &host, const QList<QPair<int, int>> &ports)
{
    auto controllerTemplate = std::make_shared<ControllerTemplate>();
    controllerTemplate->setHardwareType(1);
    controllerTemplate->setName(QStringLiteral("Lights"));
    controllerTemplate->setMediaPath(-1, MediaType_Folder, mediaFolder);
    controllerTemplate->setShowFile(showPath);
    InstallationTemplate installationTemplate(QStringLiteral("Stage"));
    installationTemplate.appendControllerTemplate(controllerTemplate);
    const uint groupId = document.addGroup(installationTemplate);
    QList<uint> controllerIds;
    for (const auto &[http, ftp] : ports) {
        const uint installationId = document.addInstallation(groupId);
        const uint controllerId = document.installation(installationId)->controllerIds().first();
        document.controller(controllerId)->restoreAddress(host, uint(http), uint(ftp));
        controllerIds << controllerId;
    }
    return controllerIds;
}

IdSet idSet(const QList<uint> &ids)
{
    return IdSet(ids.begin(), ids.end());
}

double discover(LumDocument &document, const IdSet &controllerIds, int *found)
{
    DiscoveryWait wait(&document, controllerIds, RunTimeoutMsec);
    QEventLoop loop;
    QObject::connect(&wait, &DiscoveryWait::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    wait.start();
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    *found = 0;
    for (const uint controllerId : controllerIds)
        *found += document.controller(controllerId)->discoveryState() == Discovery_Found;
    return seconds;
}

// A failed attempt is retried minutes later; what went wrong is shown at once.
bool tellsOfAFailure(const LogEntry &entry)
{
    if (entry.level != 0)
        return false;
    for (const char *word : {"error", "fail", "timed out", "unexpected"}) {
        if (entry.message.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

struct RunFigures
{
    double seconds = 0;
    int successes = 0;
    int filesSent = 0;
    int validatorsSent = 0;
    int digestReads = 0;
};

RunFigures uploadRun(UploadRuns &runs, const IdSet &controllerIds)
{
    RunFigures figures;
    const int readsBefore = DigestCache::instance()->readCount();
    EventLog *log = LumApplication::instance()->eventLog();
    const QMetaObject::Connection counting =
        QObject::connect(log, &EventLog::messageLogged, [&figures](const LogEntry &entry) {
            if (entry.message.startsWith(QLatin1String("Uploading \"")))
                ++figures.filesSent;
            else if (entry.message.startsWith(QLatin1String("Uploading validator to")))
                ++figures.validatorsSent;
            else if (tellsOfAFailure(entry))
                std::fprintf(stderr, "%s\n", qPrintable(entry.displayText()));
        });
    QEventLoop loop;
    QObject::connect(&runs, &UploadRuns::reportCompleted, &loop,
                     [&figures, &loop](const UploadReport &report) {
                         for (const auto &[id, result] : report.results())
                             figures.successes += result.result == UploadReport::State_Success;
                         loop.quit();
                     });
    QTimer::singleShot(RunTimeoutMsec, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    runs.upload(controllerIds, false);
    if (figures.successes == 0)
        loop.exec();
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    figures.digestReads = DigestCache::instance()->readCount() - readsBefore;
    QObject::disconnect(counting);
    QObject::disconnect(&runs, &UploadRuns::reportCompleted, &loop, nullptr);
    // The log of a run is not what is measured; the next run starts afresh.
    log->clear();
    return figures;
}

void printRun(const char *prefix, const RunFigures &figures)
{
    const QByteArray name(prefix);
    figure(name + "_seconds", figures.seconds);
    figure(name + "_successes", figures.successes);
    figure(name + "_files_sent", figures.filesSent);
    figure(name + "_validators_sent", figures.validatorsSent);
    figure(name + "_digest_reads", figures.digestReads);
    figure(name + "_peak_mib", peakMiB());
}

int fleet(const QString &listingPath, const QString &workDir)
{
    QFile listingFile(listingPath);
    if (!listingFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(listingPath));
        return 2;
    }
    QList<QPair<int, int>> ports;
    const QJsonObject listing = QJsonDocument::fromJson(listingFile.readAll()).object();
    const QString host = listing.value(QStringLiteral("address")).toString();
    const QJsonArray controllers = listing.value(QStringLiteral("controllers")).toArray();
    for (const QJsonValue &each : controllers) {
        const QJsonObject controller = each.toObject();
        ports.append({controller.value(QStringLiteral("http")).toInt(),
                      controller.value(QStringLiteral("ftp")).toInt()});
    }
    const QDir work(workDir);
    work.mkpath(QStringLiteral("media"));
    const QList<QByteArray> clips{"intro.bin", "finale.bin"};
    for (const QByteArray &clip : clips) {
        QFile file(work.filePath(QStringLiteral("media/") + QString::fromLatin1(clip)));
        if (!file.open(QIODevice::WriteOnly) || !writeRandom(file, 8 * MiB))
            return 2;
    }
    if (!writeShow(work.filePath(QStringLiteral("show.bin")), clips, 4 * MiB))
        return 2;

    LumApplication *application = LumApplication::instance();
    application->createMediaTranscoder();
    LumDocument &document = *application->document();
    const double baseline = residentMiB();
    const IdSet controllerIds =
        idSet(buildProject(document, work.filePath(QStringLiteral("show.bin")),
                           work.filePath(QStringLiteral("media")), host, ports));
    const double built = residentMiB();
    figure("controllers", double(controllerIds.size()));
    figure("baseline_mib", baseline);
    figure("project_mib_per_controller", (built - baseline) / double(controllerIds.size()));

    int found = 0;
    figure("discovery_seconds", discover(document, controllerIds, &found));
    figure("discovery_found", found);
    const double discovered = residentMiB();
    figure("discovered_mib_per_controller", (discovered - baseline) / double(controllerIds.size()));

    const RunFigures first = uploadRun(*application->uploadRuns(), controllerIds);
    printRun("first_run", first);
    const RunFigures second = uploadRun(*application->uploadRuns(), controllerIds);
    printRun("second_run", second);
    figure("peak_mib_per_controller", (peakMiB() - baseline) / double(controllerIds.size()));
    const int count = int(controllerIds.size());
    return found == count && first.successes == count && second.successes == count ? 0 : 1;
}

int single(const QString &host, int httpPort, int ftpPort, qint64 showMiB, const QString &workDir)
{
    const QDir work(workDir);
    work.mkpath(QStringLiteral("media"));
    const QString showPath = work.filePath(QStringLiteral("show.bin"));
    if (!QFile::exists(showPath) || QFile(showPath).size() != showMiB * MiB) {
        if (!writeShow(showPath, {}, showMiB * MiB))
            return 2;
    }
    LumApplication *application = LumApplication::instance();
    LumDocument &document = *application->document();
    const IdSet controllerIds = idSet(buildProject(
        document, showPath, work.filePath(QStringLiteral("media")), host, {{httpPort, ftpPort}}));
    const uint controllerId = *controllerIds.begin();
    int found = 0;
    discover(document, controllerIds, &found);

    // The show file's own transfer: from its "Uploading" to its "Complete".
    QElapsedTimer transfer;
    double storSeconds = -1;
    QObject::connect(document.uploadFeedback(),
                     qOverload<uint, uint, MediaType>(&UploadFeedback::stateChanged),
                     [&](uint id, uint mediaId, MediaType type) {
                         if (id != controllerId || type != MediaType_Show)
                             return;
                         const std::optional<UploadFeedback::FileRecord> file =
                             document.uploadFeedback()->file(id, mediaId, type);
                         if (!file)
                             return;
                         if (file->state == UploadState_Uploading)
                             transfer.start();
                         else if (file->state == UploadState_Complete && transfer.isValid())
                             storSeconds = double(transfer.nsecsElapsed()) / 1e9;
                     });
    const RunFigures run = uploadRun(*application->uploadRuns(), controllerIds);
    figure("show_mib", double(showMiB));
    figure("stor_seconds", storSeconds);
    figure("run_seconds", run.seconds);
    figure("peak_mib", peakMiB());
    return found == 1 && run.successes == 1 && storSeconds > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication qtApp(argc, argv);
    raiseFileLimit();
    std::unique_ptr<LumApplication> application(LumApplication::create());
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if ((arguments.size() == 3 || arguments.size() == 4) &&
        arguments.at(0) == QLatin1String("fleet")) {
        // A limit of simultaneous uploads, as --parallel sets it.
        if (arguments.size() == 4)
            UploadSlots::instance()->setLimitOverride(arguments.at(3).toInt());
        return fleet(arguments.at(1), arguments.at(2));
    }
    if (arguments.size() == 6 && arguments.at(0) == QLatin1String("single"))
        return single(arguments.at(1), arguments.at(2).toInt(), arguments.at(3).toInt(),
                      arguments.at(4).toLongLong(), arguments.at(5));
    std::fprintf(stderr,
                 "usage: rw_upload_bench fleet LISTING.json WORK_DIR [PARALLEL]\n"
                 "       rw_upload_bench single HOST HTTP_PORT FTP_PORT SHOW_MIB WORK_DIR\n");
    return 2;
}
