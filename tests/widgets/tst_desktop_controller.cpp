#include "desktop_scene.h"

class TestDesktopController : public DesktopScene
{
    Q_OBJECT

private slots:
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
        QVERIFY(answerer.done() && answerer.unexpected().isEmpty());
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
        QVERIFY(answerer.done() && answerer.unexpected().isEmpty());
        QVERIFY(MainWindow::instance()->isVisible());
        QCOMPARE(m_app->isDocumentOpen(), withPath || projectOpen);
        QCOMPARE(document()->path(), withPath ? target : projectOpen ? before : QString());
        QCOMPARE(m_dialogs->launchDialogs, withPath || projectOpen ? 0 : 1);
    }

    void refusedFileNamesItsReason()
    {
        m_app->endProject();
        const QString path = m_dir.filePath(QStringLiteral("broken.lmp"));
        QVERIFY(ShowFileBytes::writeFile(path, "not a project"));
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
        QVERIFY(qAbs(runs()->scheduleTimer()->remainingTime() - 1800000) <= 1000);
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
        select(model()->groupIndex(0));
        QSignalSpy started(LinkFixture::runs(), &UploadRuns::runStarting);
        const int steps = document()->undoStack()->count();

        ModalAnswerer answerer;
        if (changed)
            answerer.answer(u"Files changed"_s, answer);
        m_controller->editSelectedInstallationTemplate();
        QVERIFY(answerer.done() && answerer.unexpected().isEmpty());
        QCOMPARE(started.count(), runs);
        QCOMPARE(document()->undoStack()->count(), steps + int(changed));
        for (const uint id : ids) {
            QCOMPARE(controller(id)->controllerTemplate()->showFile(), show);
            QCOMPARE(document()->uploadSchedule().scheduledTime(id), scheduled ? at : QDateTime());
        }
        if (!changed)
            return;
        document()->undoStack()->undo(); // one step takes back the template and the schedule
        QCOMPARE(controller(ids.first())->controllerTemplate()->showFile(), m_show.showPath());
        QVERIFY(document()->uploadSchedule().isEmpty());
    }

    // A return to the window reads changed show files again, but leaves the
    // templates of uploads under way alone until they have ended. The manual
    // upload completes its report once.
    void focusReturnLeavesUploadsAlone()
    {
        m_app->endProject();
        Site site;
        QVERIFY(startSite(site, m_show.controllerTemplate(), {u"--fault"_s, u"all:slow=6000"_s}));
        m_app->beginProject(false);
        QSignalSpy rebuilt(m_controller.get(), &DesktopController::installationModelRebuildNeeded);
        QSignalSpy completed(m_controller.get(), &DesktopController::uploadReportCompleted);
        Reports reports;
        const uint reportId = m_controller->upload({site.id}, true);
        QVERIFY(waitUntil([&] { return !document()->allIdle({site.id}); }));
        QVERIFY(ShowFileBytes::touch(m_show.showPath(), 60));

        m_controller->focusInOut(nullptr, MainWindow::instance());
        QCOMPARE(rebuilt.count(), 0);
        QVERIFY(reports.wait(reportId));
        QCOMPARE(reports.result(reportId, site.id).first, UploadReport::State_Success);
        QVERIFY(waitUntil([] { return runs()->isSettled(); }));
        QCOMPARE(completed.count(), 1);
        QCOMPARE(completed.at(0).at(0).toBool(), true);
        QCOMPARE(reports.count(), 1);
        QVERIFY(site.remoteFile(u"_val_id"_s).size() > 0);

        m_controller->focusInOut(nullptr, MainWindow::instance());
        QCOMPARE(rebuilt.count(), 1);
    }

    // Closing the window while a question of the lifecycle is open waits for
    // the answer (Cancel keeps the project and its uploads), asks what the
    // quit needs, cancels the uploads before the save question, and ends the
    // event loop only once the runs are over. Last: the controller is then
    // quitting.
    void quitDuringAQuestionStopsTheRunsFirst()
    {
        // A project with an unsaved edit whose one controller is slowly uploading.
        m_app->endProject();
        Site site;
        Reports reports;
        QVERIFY(startSite(site, m_show.controllerTemplate(), {u"--fault"_s, u"all:slow=3000"_s}));
        m_app->beginProject(false);
        document()->undoStack()->push(new SetInstallationGroupNameCommand(0, u"x"_s));
        const uint reportId = m_controller->upload({site.id}, true);
        QVERIFY(waitUntil([&] { return !document()->allIdle({site.id}); }));

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
        QTimer::singleShot(20000, m_controller.get(), [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(answerer.done());
        QVERIFY(cancelledBeforeSave);
        QVERIFY(settledAtQuit);
        QCOMPARE(reports.result(reportId, site.id).first, UploadReport::State_Cancelled);
    }
};

RW_TEST_GUI_MAIN(TestDesktopController)
#include "tst_desktop_controller.moc"
