// rw_window_bench: the desktop window over a large project, for
// run_window_bench.py.
//
//   rw_window_bench PROJECT.lmp SIGNALS [upload|core]
//     Opens the project in the main window (offscreen), as the operator
//     does, then:
//     - builds its installation tree again from scratch and times it, with
//       the heap it takes per controller;
//     - sends SIGNALS upload-progress signals of the controllers' files in
//       turn through the upload feedback, drawing the window every 64, and
//       prints the time per signal;
//     - with "upload", once every controller is found, runs "Upload All"
//       from the toolbar to the end of its report while a 10 ms timer
//       measures how late the event loop serves it.
//     With "core" there is no window: the project is opened and uploaded
//     by the core alone, measured the same way (the event loop's own
//     lateness under the fleet's traffic, for comparison).
//
// Figures go to stdout as "name value" lines; exit 1 when the upload did not
// succeed everywhere or did not end.

#include "action_manager.h"
#include "desktop_controller.h"
#include "gui_shell.h"
#include "installation_model.h"
#include "installation_view.h"
#include "lum_application.h"
#include "lum_document.h"
#include "main_window.h"
#include "upload_feedback.h"
#include "upload_runs.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <vector>

namespace {

constexpr int RunTimeoutMsec = 30 * 60 * 1000;
constexpr int DiscoveryTimeoutMsec = 120 * 1000;

void figure(const char *name, double value)
{
    std::printf("%s %.6f\n", name, value);
    std::fflush(stdout);
}

double heapMiB()
{
    // Large blocks are mapped apart from the heap's arena.
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

template <typename Condition>
bool runUntil(Condition condition, int timeoutMsec)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeoutMsec)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return condition();
}

QList<uint> controllerIds(const LumDocument *document)
{
    QList<uint> ids;
    for (const Controller *controller : document->controllers())
        ids << controller->getId();
    return ids;
}

void measureTree(MainWindow *window, int controllerCount)
{
    InstallationModel *model = window->installationModel();
    InstallationView *view = window->installationView();
    model->clearRows();
    QCoreApplication::processEvents();
    // The heap is read without running the event loop in between: the
    // discovery's traffic would come and go in it.
    const double before = heapMiB();
    QElapsedTimer clock;
    clock.start();
    model->rebuild();
    view->doItemsLayout(); // as the view does on its next event
    const double heap = heapMiB() - before;
    QCoreApplication::processEvents(); // the view paints the rows
    figure("tree_build_seconds", double(clock.nsecsElapsed()) / 1e9);
    figure("window_kib_per_controller", heap * 1024.0 / controllerCount);
}

void measureSignals(LumDocument *document, InstallationModel *model, int signalCount)
{
    UploadFeedback *feedback = document->uploadFeedback();
    struct File
    {
        uint controllerId;
        uint mediaId;
        MediaType type;
    };
    std::vector<File> files;
    for (const Controller *controller : document->controllers()) {
        for (const FileToUpload &file : controller->filesToUpload()) {
            feedback->addFile(controller->getId(), file.mediaId(), file.mediaType, 1000);
            files.push_back({controller->getId(), file.mediaId(), file.mediaType});
        }
    }
    // The model's and the view's work for each block of 64 signals and the
    // frame's flush that ends it, timed apart from the painting in between
    // (which depends on the rows on the screen, not on the fleet). The
    // median block, so that a busy machine's interruptions do not count.
    // Once over every file of the fleet in turn, once over a fixed number
    // of files spread over it (the same number of rows at any fleet size,
    // though under more controllers in a larger fleet), and once over one
    // file per controller. The first pass over every file is measured
    // apart: it meets each file's records for the first time since the tree
    // was built, fetched from memory rather than the caches.
    const auto measure = [&](size_t spread, const char *name, int signalCount) {
        constexpr int Block = 64;
        const size_t step = std::max<size_t>(1, files.size() / spread);
        const size_t count = std::min(spread, files.size());
        std::vector<qint64> blocks;
        qint64 paintNsecs = 0;
        QElapsedTimer clock;
        for (int i = 0; i + Block <= signalCount; i += Block) {
            clock.start();
            for (int j = i; j < i + Block; ++j) {
                const File &file = files[(size_t(j) % count) * step];
                feedback->setFileProgress(file.controllerId, file.mediaId, file.type,
                                          quint64(j % 1000));
            }
            model->flushProgress();
            blocks.push_back(clock.nsecsElapsed());
            clock.start();
            QCoreApplication::processEvents();
            paintNsecs += clock.nsecsElapsed();
        }
        if (blocks.empty())
            return;
        std::nth_element(blocks.begin(), blocks.begin() + blocks.size() / 2, blocks.end());
        figure(name, double(blocks[blocks.size() / 2]) / 1e3 / Block);
        if (spread == files.size() && signalCount != int(files.size()))
            figure("frame_milliseconds", double(paintNsecs) / 1e6 / double(blocks.size()));
    };
    measure(files.size(), "signal_microseconds_first_pass", int(files.size()));
    measure(files.size(), "signal_microseconds", signalCount);
    measure(512, "signal_microseconds_same_rows", signalCount);
    // One file of each controller in turn, as a fleet uploading at once
    // reports: the same work per signal at any fleet size.
    measure(size_t(document->controllers().count()), "signal_microseconds_each_controller",
            signalCount);
    for (const File &file : files)
        feedback->reset(file.controllerId);
}

// Starts the upload of every controller once all are found, and measures it
// to the end of its report.
bool measureUpload(LumApplication *app, const std::function<void()> &start)
{
    const QList<uint> ids = controllerIds(app->document());
    const bool found = runUntil(
        [&] {
            return std::all_of(ids.begin(), ids.end(), [&](uint id) {
                return app->document()->controller(id)->discoveryState() == Discovery_Found;
            });
        },
        DiscoveryTimeoutMsec);
    figure("found", found ? 1 : 0);
    if (!found)
        return false;

    std::vector<double> lateness;
    QElapsedTimer tick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        lateness.push_back(std::max(0.0, double(tick.nsecsElapsed()) / 1e6 - 10.0));
        tick.restart();
    });
    bool completed = false;
    bool success = false;
    // Nobody answers questions here: a modal window ends the run as failed.
    QTimer modalWatch;
    modalWatch.setInterval(500);
    QObject::connect(&modalWatch, &QTimer::timeout, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            const auto *box = qobject_cast<QMessageBox *>(modal);
            std::fprintf(stderr, "rw_window_bench: unexpected \"%s\" %s\n",
                         qUtf8Printable(modal->windowTitle()),
                         box ? qUtf8Printable(box->text()) : "");
            completed = true;
            modal->close();
        }
    });
    modalWatch.start();
    // Ends with this function: a report completed later (when the project
    // closes) must not reach its variables.
    QObject scope;
    QObject::connect(app, &LumApplication::uploadReportCompleted, &scope, [&](bool ok) {
        completed = true;
        success = ok;
    });
    QElapsedTimer clock;
    clock.start();
    tick.start();
    probe.start();
    start();
    // Outside the loop's events: the start holds the loop by itself.
    figure("upload_start_ms", double(clock.nsecsElapsed()) / 1e6);
    runUntil([&] { return completed; }, RunTimeoutMsec);
    probe.stop();
    figure("upload_seconds", double(clock.nsecsElapsed()) / 1e9);
    figure("upload_success", success ? 1 : 0);
    std::sort(lateness.begin(), lateness.end());
    if (!lateness.empty()) {
        figure("latency_p99_ms",
               lateness[std::min(lateness.size() - 1, lateness.size() * 99 / 100)]);
        figure("latency_max_ms", lateness.back());
        figure("latency_samples", double(lateness.size()));
    }
    return completed && success;
}

// Adds up the time the loop spends on each kind of receiver and event, for
// finding what makes it late (on stderr, after the run).
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    // Counts the event loop of the main thread only: the network threads
    // deliver their events through here too.
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth > 0 || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        ++m_depth;
        QElapsedTimer clock;
        clock.start();
        // Named first: the event may delete its receiver.
        const QString name = QStringLiteral("%1 event %2")
                                 .arg(QLatin1String(receiver->metaObject()->className()))
                                 .arg(event->type());
        const bool result = QApplication::notify(receiver, event);
        const qint64 nsecs = clock.nsecsElapsed();
        m_busy[name] += nsecs;
        qint64 &longest = m_longest[name];
        longest = std::max(longest, nsecs);
        --m_depth;
        return result;
    }
    // The kinds that took longest in all, then those that held the loop
    // longest at once (what makes a timer late).
    void report() const
    {
        reportTop("busy", m_busy);
        reportTop("longest", m_longest);
    }

private:
    static void reportTop(const char *title, const QHash<QString, qint64> &times)
    {
        std::vector<std::pair<qint64, QString>> sorted;
        for (auto each = times.begin(); each != times.end(); ++each)
            sorted.push_back({each.value(), each.key()});
        std::sort(sorted.begin(), sorted.end(), std::greater<>());
        for (size_t i = 0; i < std::min<size_t>(sorted.size(), 12); ++i)
            std::fprintf(stderr, "%s: %8.1f ms %s\n", title, double(sorted[i].first) / 1e6,
                         qUtf8Printable(sorted[i].second));
    }

    QHash<QString, qint64> m_busy;
    QHash<QString, qint64> m_longest;
    int m_depth = 0;
};

} // namespace

int main(int argc, char **argv)
{
    TimedApplication qtApp(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: rw_window_bench PROJECT.lmp SIGNALS [upload|core]\n");
        return 2;
    }
    std::unique_ptr<LumApplication> app(LumApplication::create());
    app->createMediaTranscoder();
    if (arguments.value(3) == QLatin1String("core")) {
        if (!app->document()->load(arguments.at(1)))
            return 2;
        app->beginProject(true);
        const bool ok = measureUpload(app.get(), [&] {
            const QList<uint> ids = controllerIds(app->document());
            app->uploadRuns()->upload(IdSet(ids.begin(), ids.end()), true);
        });
        app->endProject();
        return ok ? 0 : 1;
    }
    GuiShell shell(app.get());
    MainWindow *window = MainWindow::instance();
    auto controller = std::make_unique<DesktopController>(app.get(), &shell);
    window->attach(controller.get(), &shell);
    window->show();
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    if (!controller->openDocument(arguments.at(1))) {
        std::fprintf(stderr, "rw_window_bench: %s could not be opened\n",
                     qUtf8Printable(arguments.at(1)));
        return 2;
    }
    QCoreApplication::processEvents();
    figure("open_seconds", double(clock.nsecsElapsed()) / 1e9);
    const int count = int(app->document()->controllers().count());
    figure("controllers", count);

    measureTree(window, count);
    measureSignals(app->document(), window->installationModel(), arguments.at(2).toInt());
    const bool ok = arguments.size() < 4 || measureUpload(app.get(), [&] {
                        window->actions()->action(ActionManager::Action_UploadAll)->trigger();
                    });

    qtApp.report();
    app->endProject();
    MainWindow::destroyInstance();
    controller.reset();
    app.reset();
    return ok ? 0 : 1;
}
