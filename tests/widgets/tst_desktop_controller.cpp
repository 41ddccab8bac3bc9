#include "accessible_names.h"
#include "application_dialogs.h"
#include "desktop_controller.h"
#include "desktop_selection.h"
#include "gui_shell.h"
#include "launch_dialog_handler.h"
#include "link_fixture.h"
#include "lum_launch_dialog.h"
#include "main_window.h"
#include "modal_answerer.h"
#include "recent_files.h"
#include "set_installation_group_name_command.h"
#include "test_main.h"

#include <QActionGroup>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QUndoStack>

using namespace LinkFixture;
using namespace Qt::Literals::StringLiterals;

namespace {

// The application's dialogs, but for the template builder, the schedule, the
// launch dialog and the software update, which answer from a script.
class ScriptedDialogs : public ApplicationDialogs
{
public:
    InstallationTemplatePtr nextTemplate;
    std::optional<QDateTime> nextTime;
    int launchDialogs = 0;

    InstallationTemplatePtr buildTemplate(const InstallationTemplate *, QWidget *) override
    {
        return std::exchange(nextTemplate, nullptr);
    }
    std::optional<QDateTime> chooseScheduleTime(const QDateTime &, QWidget *) override
    {
        return nextTime;
    }
    void runLaunchDialog(DesktopController *, RecentFiles *, QWidget *) override
    {
        ++launchDialogs;
    }
    void runSoftwareUpdate(VersionChecker *, bool, QWidget *) override {}
};

struct FixedSelection : DesktopSelection
{
    IdSet groups;
    IdSet selectedGroups() const override { return groups; }
    IdSet selectedInstallations() const override { return {}; }
    IdSet selectedControllers() const override { return {}; }
};

// Types the path into the file dialog and accepts it. selectFile() leaves
// the name alone once the name field has the focus.
std::function<void(QWidget *)> chooseFile(const QString &path)
{
    return [path](QWidget *window) {
        auto *dialog = qobject_cast<QFileDialog *>(window);
        auto *name = window->findChild<QLineEdit *>(u"fileNameEdit"_s);
        QVERIFY(dialog && name);
        dialog->setDirectory(QFileInfo(path).path());
        name->setText(QFileInfo(path).fileName());
        QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
    };
}

// Answers from a script and records what it was asked.
struct ScriptedHandler : LaunchDialogHandler
{
    QList<bool> answers;
    QStringList calls;

    bool launchNewDocument() override { return next(u"new"_s); }
    bool launchOpenDocument(const QString &path) override
    {
        return next(QFileInfo(path).fileName());
    }
    bool launchOpenDocument() override { return next(u"open"_s); }
    bool next(const QString &call)
    {
        calls << call;
        return !answers.isEmpty() && answers.takeFirst();
    }
};

QPoint rowCentre(LaunchDialog *dialog, int row)
{
    QListView *list = dialog->recentFileList();
    return list->visualRect(list->model()->index(row < 0 ? list->model()->rowCount() - 1 : row, 0))
        .center();
}

// One showing of the dialog, steps joined by "+": a button's text, a key
// ("Ctrl N"), a click on the first item ("recent"), on the last ("browse"),
// a right click on the first ("right"), "close" the window, or "stop" it.
void perform(LaunchDialog *dialog, const QString &steps)
{
    QWidget *list = dialog->recentFileList()->viewport();
    for (const QString &step : steps.split(u'+')) {
        if (step == u"recent" || step == u"right" || step == u"browse")
            QTest::mouseClick(list, step == u"right" ? Qt::RightButton : Qt::LeftButton, {},
                              rowCentre(dialog, step == u"browse" ? -1 : 0));
        else if (step == u"close" || step == u"stop")
            step == u"close" ? void(dialog->close()) : dialog->done(LaunchDialog::Result_Stop);
        else if (step.startsWith(u"Ctrl "))
            QTest::keySequence(dialog, QKeySequence(u"Ctrl+"_s + step.back()));
        else
            ModalAnswerer::clickButton(dialog, step);
    }
}

// The entries of the menu a right click on the row offers; the first is chosen.
QStringList contextMenu(LaunchDialog *dialog, int row)
{
    QStringList offered;
    QTimer::singleShot(0, [&offered] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *action : menu->actions())
                offered << action->text();
            QTest::mouseClick(menu, Qt::LeftButton, {},
                              menu->actionGeometry(menu->actions().value(0)).center());
        }
    });
    QWidget *list = dialog->recentFileList()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, rowCentre(dialog, row),
                            list->mapToGlobal(rowCentre(dialog, row)));
    QApplication::sendEvent(list, &event);
    QCoreApplication::processEvents();
    return offered;
}

} // namespace

class TestDesktopController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<LumApplication> m_app;
    std::unique_ptr<GuiShell> m_shell;
    std::unique_ptr<DesktopController> m_controller;
    ScriptedDialogs *m_dialogs = nullptr;
    FixedSelection m_selection;
    QTemporaryDir m_dir;
    QStringList m_paths;
    std::unique_ptr<RecentFiles> m_recent;
    ShowFolder m_show;

    // A new project of one group with `count` installations, saved to a file
    // and then modified, unless no path is given.
    QList<uint> openModifiedProject(const QString &name = QStringLiteral("p.lmp"), int count = 1)
    {
        m_app->endProject();
        m_controller->newDocument();
        const QList<uint> ids = addControllers(m_show.controllerTemplate(), count);
        if (!name.isEmpty())
            document()->saveAs(m_dir.filePath(name));
        document()->undoStack()->push(new SetInstallationGroupNameCommand(0, QStringLiteral("x")));
        return ids;
    }

    // Files r0..r5 added oldest first; r1 reopened, r3 deleted since.
    void makeRecentFiles()
    {
        m_recent = std::make_unique<RecentFiles>(u"Test/Recent"_s, 5);
        m_paths.clear();
        for (int i = 0; i < 6; ++i) {
            QFile file(m_dir.filePath(u"r%1.lmp"_s.arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            m_paths << QFileInfo(file).canonicalFilePath();
            m_recent->add(file.fileName());
        }
        m_recent->add(m_paths[1]);
        QFile::remove(m_paths[3]);
    }

    bool uploadUnderWay(uint controllerId)
    {
        return waitUntil([&] { return !document()->allIdle({controllerId}); });
    }

private slots:
    void initTestCase()
    {
        m_app.reset(LumApplication::create());
        m_shell = std::make_unique<GuiShell>(m_app.get());
        MainWindow::instance()->show();
    }

    void init()
    {
        m_app->endProject();
        resetApplication();
        m_controller = std::make_unique<DesktopController>(m_app.get(), m_shell.get());
        auto dialogs = std::make_unique<ScriptedDialogs>();
        m_dialogs = dialogs.get();
        m_controller->setDialogs(std::move(dialogs));
        m_controller->setSelection(&m_selection);
        connect(MainWindow::instance(), &MainWindow::quitRequested, m_controller.get(),
                &DesktopController::quit);
    }

    void cleanup()
    {
        m_controller.reset();
        QCoreApplication::sendPostedEvents(); // a launch dialog asked for goes with it
    }

    void cancelKeepsTheProject_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QStringList>("answers"); // title, button, ...
        const QStringList cancelSave{u"Save"_s, u"Cancel"_s};
        QTest::newRow("new") << 0 << cancelSave;
        QTest::newRow("open") << 1 << cancelSave;
        QTest::newRow("open, file dialog")
            << 1 << QStringList{u"Save"_s, u"Discard"_s, u"Open File"_s, u"Cancel"_s};
        QTest::newRow("recent") << 2 << cancelSave;
        QTest::newRow("close") << 3 << cancelSave;
        QTest::newRow("save as, file dialog") << 4 << QStringList{u"Save File As"_s, u"Cancel"_s};
        QTest::newRow("launch with a file") << 5 << cancelSave;
    }

    void cancelKeepsTheProject()
    {
        QFETCH(int, operation);
        QFETCH(QStringList, answers);
        openModifiedProject();
        const QString path = document()->path();
        ModalAnswerer answerer;
        for (qsizetype i = 0; i < answers.size(); i += 2)
            answerer.answer(answers.at(i), answers.at(i + 1));
        const QString other = m_dir.filePath(QStringLiteral("other.lmp"));
        const std::function<bool()> operations[] = {
            [&] { return m_controller->newDocument(); },
            [&] { return m_controller->openDocument(); },
            [&] { return m_controller->openRecentDocument(other); },
            [&] { return m_controller->closeDocument(); },
            [&] { return m_controller->saveDocumentAs(); },
            [&] {
                m_app->singleAppMessageReceived(u"launch "_s + other);
                QCoreApplication::sendPostedEvents();
                return false;
            }};
        QVERIFY(!operations[operation]());
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        QVERIFY(m_app->isDocumentOpen());
        QCOMPARE(document()->path(), path);
        QCOMPARE(document()->undoStack()->count(), 1);
        QVERIFY(!document()->isClean());
    }

    void saveAsGivesTheSuffix_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("none") << u"plain"_s << u"plain.lmp"_s;
        QTest::newRow("lmp") << u"show.lmp"_s << u"show.lmp"_s;
        QTest::newRow("another") << u"show.v2"_s << u"show.v2.lmp"_s;
    }

    void saveAsGivesTheSuffix()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        openModifiedProject(QString());
        // The dialog starts in the folder of the file: coming up from another
        // folder, it would select that folder's entry in place of the name.
        const QString folder = m_dir.filePath(u"saved"_s);
        QDir().mkpath(folder);
        QSettings().setValue(u"File/LastFile"_s, folder);
        QSignalSpy pathChanged(m_controller.get(), &DesktopController::documentPathChanged);
        ModalAnswerer answerer;
        answerer.act(u"Save File As"_s, chooseFile(folder + u'/' + typed));
        QVERIFY(m_controller->saveDocument());
        const QString path = folder + u'/' + saved;
        QCOMPARE(document()->path(), path);
        QCOMPARE(QSettings().value(u"File/LastFile"_s).toString(), path);
        QCOMPARE(m_controller->recentFiles()->files().value(0),
                 QFileInfo(path).canonicalFilePath());
        QCOMPARE(pathChanged.count(), 1);
        QVERIFY(document()->isClean());

        // The next save asks nothing.
        document()->undoStack()->push(new SetInstallationGroupNameCommand(0, u"y"_s));
        QVERIFY(m_controller->saveDocument());
        QVERIFY(answerer.unexpected().isEmpty());
        QVERIFY(document()->load(path));
        QCOMPARE(document()->group(0)->name(), QStringLiteral("y"));
        QFile::remove(path);
    }

    void manualUploadCompletesItsReportOnce()
    {
        m_controller->newDocument();
        Site site;
        QVERIFY(startSite(site, m_show.controllerTemplate()));
        QSignalSpy completed(m_controller.get(), &DesktopController::uploadReportCompleted);
        Reports reports;
        const uint reportId = m_controller->upload({site.id}, true);
        QVERIFY(reports.wait(reportId));
        QVERIFY(waitUntil([] { return runs()->isSettled(); }));
        QCOMPARE(completed.count(), 1);
        QCOMPARE(completed.at(0).at(0).toBool(), true);
        QCOMPARE(reports.count(), 1);
        QVERIFY(site.remoteFile(u"_val_id"_s).size() > 0);
    }

    void launchMessage_data()
    {
        QTest::addColumn<bool>("withPath");
        QTest::addColumn<bool>("projectOpen");
        QTest::newRow("no path, project open") << false << true;
        QTest::newRow("no path, nothing open") << false << false;
        QTest::newRow("path, project open") << true << true;
        QTest::newRow("path, nothing open") << true << false;
    }

    void launchMessage()
    {
        QFETCH(bool, withPath);
        QFETCH(bool, projectOpen);
        const QString target = m_dir.filePath(QStringLiteral("target.lmp"));
        openModifiedProject(QStringLiteral("target.lmp"));
        QVERIFY(document()->save());
        openModifiedProject();
        const QString before = document()->path();
        if (!projectOpen)
            m_app->endProject();
        MainWindow::instance()->minimiseToTray();

        ModalAnswerer answerer;
        if (withPath && projectOpen)
            answerer.answer(u"Save"_s, u"Discard"_s);
        m_app->singleAppMessageReceived(withPath ? u"launch "_s + target
                                                 : QStringLiteral("launch"));
        QCoreApplication::sendPostedEvents(); // the hand-over
        QCoreApplication::sendPostedEvents(); // the launch dialog it asks for
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        QVERIFY(MainWindow::instance()->isVisible());
        QCOMPARE(m_app->isDocumentOpen(), withPath || projectOpen);
        QCOMPARE(document()->path(), withPath ? target : projectOpen ? before : QString());
        QCOMPARE(m_dialogs->launchDialogs, withPath || projectOpen ? 0 : 1);
    }

    void refusedFileNamesItsReason()
    {
        const QString path = m_dir.filePath(QStringLiteral("broken.lmp"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a project");
        file.close();
        QString text;
        ModalAnswerer answerer;
        answerer.act(u"Open File"_s, [&](QWidget *box) {
            text = qobject_cast<QMessageBox *>(box)->text();
            ModalAnswerer::clickButton(box, u"OK"_s);
        });
        QVERIFY(!m_controller->openDocument(path));
        QVERIFY(text.contains(path));
        QVERIFY(text.contains(u"not a Rigwarden project"_s));
        QVERIFY(!m_app->isDocumentOpen());
        QTRY_COMPARE(m_dialogs->launchDialogs, 1);
    }

    void scheduleHalfAnHourAheadIsArmedOnOpening()
    {
        const QList<uint> ids = openModifiedProject();
        const QDateTime at = QDateTime::currentDateTime().addSecs(1800);
        document()->uploadSchedule().schedule(ids.first(), at);
        QVERIFY(document()->save());
        QVERIFY(m_controller->openDocument(document()->path()));
        QVERIFY(logged(u"Next upload scheduled for "_s + at.toString(Qt::TextDate)));
        QVERIFY(runs()->scheduleTimer()->remainingTime() > 1799000);
        QVERIFY(runs()->scheduleTimer()->remainingTime() <= 1801000);
    }

    void editedTemplateAsksWhatToUpload_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("runs");
        QTest::addColumn<bool>("scheduled");
        QTest::newRow("upload now") << u"Upload Now"_s << 1 << false;
        QTest::newRow("schedule") << u"Schedule Upload"_s << 0 << true;
        QTest::newRow("don't upload") << u"Don't Upload"_s << 0 << false;
        QTest::newRow("nothing changed") << QString() << 0 << false;
    }

    void editedTemplateAsksWhatToUpload()
    {
        QFETCH(QString, answer);
        QFETCH(int, runs);
        QFETCH(bool, scheduled);
        const QList<uint> ids = openModifiedProject(QString(), 2);
        ShowFolder otherShow;
        const bool changed = !answer.isEmpty();
        const QString show = changed ? otherShow.showPath() : m_show.showPath();
        m_dialogs->nextTemplate = document()->group(0)->installationTemplate()->deepCopy();
        m_dialogs->nextTemplate->controllerTemplates().first()->setShowFile(show);
        const QDateTime at = QDateTime::currentDateTime().addDays(1);
        m_dialogs->nextTime = at;
        m_selection.groups = {0};
        QSignalSpy started(LinkFixture::runs(), &UploadRuns::runStarting);
        const int steps = document()->undoStack()->count();

        ModalAnswerer answerer;
        if (changed)
            answerer.answer(u"Files changed"_s, answer);
        m_controller->editSelectedInstallationTemplate();
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(started.count(), runs);
        QCOMPARE(document()->undoStack()->count(), steps + int(changed));
        for (const uint id : ids) {
            QCOMPARE(controller(id)->controllerTemplate()->showFile(), show);
            QCOMPARE(document()->uploadSchedule().scheduledTime(id), scheduled ? at : QDateTime());
        }
        m_selection.groups.clear();
        if (!changed)
            return;
        document()->undoStack()->undo(); // one step takes back the template and the schedule
        QCOMPARE(controller(ids.first())->controllerTemplate()->showFile(), m_show.showPath());
        QVERIFY(document()->uploadSchedule().isEmpty());
    }

    // A return to the window reads changed show files again, but leaves the
    // templates of uploads under way alone until they have ended.
    void focusReturnLeavesUploadsAlone()
    {
        Site site;
        QVERIFY(startSite(site, m_show.controllerTemplate(), {u"--fault"_s, u"all:slow=6000"_s}));
        m_app->beginProject(false);
        QSignalSpy rebuilt(m_controller.get(), &DesktopController::installationModelRebuildNeeded);
        Reports reports;
        const uint reportId = m_controller->upload({site.id}, true);
        QVERIFY(uploadUnderWay(site.id));
        QVERIFY(ShowFileBytes::touch(m_show.showPath(), 60));

        m_controller->focusInOut(nullptr, MainWindow::instance());
        QCOMPARE(rebuilt.count(), 0);
        QVERIFY(reports.wait(reportId));
        QCOMPARE(reports.result(reportId, site.id).first, UploadReport::State_Success);

        m_controller->focusInOut(nullptr, MainWindow::instance());
        QCOMPARE(rebuilt.count(), 1);
    }

    void runActsUntilAProjectIsOpen_data()
    {
        QTest::addColumn<QStringList>("showings");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("calls");
        using L = QStringList;
        using B = QList<bool>;
        QTest::newRow("new") << L{u"New..."_s} << B{true} << 1 << L{u"new"_s};
        QTest::newRow("open cancelled, exit")
            << L{u"Open..."_s, u"Exit"_s} << B{false} << 0 << L{u"open"_s};
        QTest::newRow("recent refused, new by key")
            << L{u"recent"_s, u"Ctrl N"_s} << B{false, true} << 1 << L{u"r1.lmp"_s, u"new"_s};
        QTest::newRow("recent") << L{u"recent"_s} << B{true} << 3 << L{u"r1.lmp"_s};
        QTest::newRow("browse item") << L{u"browse"_s} << B{true} << 2 << L{u"open"_s};
        QTest::newRow("open by key") << L{u"Ctrl O"_s} << B{true} << 2 << L{u"open"_s};
        QTest::newRow("quit by key") << L{u"Ctrl Q"_s} << B{} << 0 << L{};
        QTest::newRow("window closed") << L{u"close"_s} << B{} << 0 << L{};
        QTest::newRow("right click") << L{u"right+Exit"_s} << B{} << 0 << L{};
        QTest::newRow("stopped") << L{u"stop"_s} << B{} << 4 << L{};
    }

    void runActsUntilAProjectIsOpen()
    {
        QFETCH(QStringList, showings);
        QFETCH(QList<bool>, answers);
        QFETCH(int, result);
        QFETCH(QStringList, calls);
        makeRecentFiles();
        LumLaunchDialog dialog(m_recent.get());
        ScriptedHandler handler;
        handler.answers = answers;
        ModalAnswerer answerer;
        for (const QString &steps : std::as_const(showings))
            answerer.act(dialog.windowTitle(),
                         [&dialog, steps](QWidget *) { perform(&dialog, steps); });

        QCOMPARE(dialog.run(&handler), result);
        QCOMPARE(handler.calls, calls);
        QVERIFY(answerer.done());
        QCOMPARE(answerer.unexpected(), QStringList());
    }

    // The sixth file dropped the oldest, the reopened one is first, the
    // deleted one is left out of the loaded list and the dialog, browsing
    // comes last and has no menu; a recent file's menu removes it.
    void listShowsTheRecentFilesThatExist()
    {
        makeRecentFiles();
        QSignalSpy triggered(m_recent.get(), &RecentFiles::recentFileTriggered);
        m_recent->actionGroup()->actions().at(1)->trigger();
        QCOMPARE(triggered.value(0).value(0).toString(), m_paths[5]);
        RecentFiles loaded(u"Test/Recent"_s, 5);
        loaded.load();
        QCOMPARE(loaded.files(), (QStringList{m_paths[1], m_paths[5], m_paths[4], m_paths[2]}));
        QCOMPARE(loaded.menu()->actions().size(), 4);

        LumLaunchDialog dialog(m_recent.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(unnamedFields(&dialog).join(u','), QString());
        const auto shown = [&dialog] {
            QStringList paths;
            for (int row = 0; row < dialog.recentFileList()->model()->rowCount(); ++row)
                paths << dialog.recentFileList()
                             ->model()
                             ->index(row, 0)
                             .data(LaunchDialog::PathRole)
                             .toString();
            return paths;
        };
        QCOMPARE(shown(), (QStringList{m_paths[1], m_paths[5], m_paths[4], m_paths[2], QString()}));

        QCOMPARE(contextMenu(&dialog, -1), QStringList());
        QCOMPARE(contextMenu(&dialog, 0), QStringList{u"Remove from list"_s});
        QCOMPARE(shown(), (QStringList{m_paths[5], m_paths[4], m_paths[2], QString()}));
        QVERIFY(!m_recent->files().contains(m_paths[1]));
    }

    // Through the launch dialog: "Open..." with the file dialog cancelled
    // shows it again, and a recent file then opens its project.
    void launchDialogOpensARecentProject()
    {
        openModifiedProject(u"recent.lmp"_s);
        const QString path = document()->path();
        m_app->endProject();
        m_controller->recentFiles()->add(path);
        ModalAnswerer answerer;
        const QString title = LumLaunchDialog(m_controller->recentFiles()).windowTitle();
        answerer.answer(title, u"Open..."_s)
            .answer(u"Open File"_s, u"Cancel"_s)
            .act(title, [](QWidget *w) { perform(static_cast<LaunchDialog *>(w), u"recent"_s); });
        ApplicationDialogs().runLaunchDialog(m_controller.get(), m_controller->recentFiles(),
                                             MainWindow::instance());
        QCOMPARE(document()->path(), QFileInfo(path).canonicalFilePath());
        QVERIFY(m_app->isDocumentOpen() && answerer.done());
        QCOMPARE(answerer.unexpected(), QStringList());
    }

    // Closing the window while a question of the lifecycle is open waits for
    // the answer (Cancel keeps the project and its uploads), asks what the
    // quit needs, cancels the uploads before the save question, and ends the
    // event loop only once the runs are over. Last: the controller is then
    // quitting.
    void quitDuringAQuestionStopsTheRunsFirst()
    {
        // A project with an unsaved edit whose one controller is slowly uploading.
        Site site;
        Reports reports;
        QVERIFY(startSite(site, m_show.controllerTemplate(), {u"--fault"_s, u"all:slow=3000"_s}));
        m_app->beginProject(false);
        document()->undoStack()->push(new SetInstallationGroupNameCommand(0, u"x"_s));
        const uint reportId = m_controller->upload({site.id}, true);
        QVERIFY(uploadUnderWay(site.id));

        bool cancelledBeforeSave = false;
        ModalAnswerer answerer;
        answerer
            .act(u"Active uploads"_s,
                 [](QWidget *box) {
                     MainWindow::instance()->close();
                     ModalAnswerer::clickButton(box, u"Cancel"_s);
                 })
            .answer(u"Active uploads"_s, u"Close"_s)
            .act(u"Save"_s, [&](QWidget *box) {
                cancelledBeforeSave = logMessages(1).contains(u"Cancelling upload..."_s);
                ModalAnswerer::clickButton(box, u"Discard"_s);
            });
        bool settledAtQuit = false;
        connect(m_controller.get(), &DesktopController::quitting, this,
                [&] { settledAtQuit = runs()->isSettled() && reports.isCompleted(reportId); });
        QTimer::singleShot(0, m_controller.get(), [this] { m_controller->closeDocument(); });
        QTimer guard;
        guard.callOnTimeout([] { QCoreApplication::exit(1); });
        guard.start(20000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(answerer.done());
        QVERIFY(cancelledBeforeSave);
        QVERIFY(settledAtQuit);
        QCOMPARE(reports.result(reportId, site.id).first, UploadReport::State_Cancelled);
    }

    void cleanupTestCase()
    {
        m_controller.reset();
        MainWindow::destroyInstance();
        m_shell.reset();
        m_app.reset();
    }
};

RW_TEST_GUI_MAIN(TestDesktopController)
#include "tst_desktop_controller.moc"
