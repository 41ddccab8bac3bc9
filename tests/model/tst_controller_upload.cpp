#include "digest_cache.h"
#include "link_fixture.h"
#include "test_main.h"
#include "validator_file.h"

#include <QCryptographicHash>

using namespace LinkFixture;

namespace {

QByteArray md5(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
}

// The log lines of the files sent, in order.
QStringList sentFiles()
{
    QStringList sent;
    for (const QString &line : logMessages(0, Category_Ftp)) {
        if (line.startsWith(QLatin1String("Uploading \"")) ||
            line.startsWith(QLatin1String("Uploading validator")))
            sent << line;
    }
    return sent;
}

QString sending(const QString &path)
{
    return QStringLiteral("Uploading \"%1\" to 127.0.0.1").arg(path);
}

const QString validator = QStringLiteral("Uploading validator to 127.0.0.1");

} // namespace

// Uploads against simulated controllers: the session, the skipping of
// unchanged files, login, the start checks, retries and cancellation.
class TestControllerUpload : public QObject
{
    Q_OBJECT

    std::unique_ptr<ShowFolder> m_show;

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        ControllerSimulator::raiseFileLimit();
    }

    void init()
    {
        resetApplication();
        m_show = std::make_unique<ShowFolder>();
    }

    // The first upload sends every file and then the validator; the second
    // reads the validator back, lists again and sends only the validator;
    // after a change only the changed file goes.
    void sendsOnlyWhatTheControllerLacks()
    {
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        const SimulatedController *simulated = simulator->controllers().first();
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulated));
        QCOMPARE(controller(id)->discoveryState(), Discovery_Found);
        Reports reports;

        QVERIFY(runAndWait(reports, {id}, true).success);
        QCOMPARE(sentFiles(),
                 (QStringList{sending(m_show->showPath()), sending(m_show->clipPath(1)),
                              sending(m_show->clipPath(2)), validator}));
        const QDir folder(simulated->folder());
        QCOMPARE(readFile(folder.filePath(QStringLiteral("upload.wr_"))),
                 readFile(m_show->showPath()));
        QCOMPARE(readFile(folder.filePath(QStringLiteral("clip2.bin"))),
                 readFile(m_show->clipPath(2)));
        const ValidatorFile::Entries held =
            ValidatorFile::read(readFile(folder.filePath(QStringLiteral("_val_id"))));
        QCOMPARE(held.size(), size_t(4));
        QCOMPARE(held.at({id, 0xFFFFFFFFu, MediaType_Show}), md5(readFile(m_show->showPath())));
        QCOMPARE(held.at({id, ShowFolder::slotOf(1), MediaType_Slot}),
                 md5(readFile(m_show->clipPath(1))));
        QVERIFY(feedback()->message(id).startsWith(QLatin1String("Completed at ")));
        QCOMPARE(feedback()->state(id), UploadState_Complete);
        // The status read after the launch shows the project now running.
        QTRY_COMPARE(controller(id)->status().projectUuid, ShowFolder::projectUuid());

        app()->eventLog()->clear();
        QVERIFY(runAndWait(reports, {id}, true).success);
        QCOMPARE(sentFiles(), QStringList{validator});
        const QStringList trace = logMessages(2, Category_Ftp);
        const qsizetype reading =
            trace.indexOf(QStringLiteral("Downloading validator file from 127.0.0.1"));
        QVERIFY(reading >= 0);
        QVERIFY(trace.indexOf(QStringLiteral("Checking status of media files on 127.0.0.1")) >
                reading);
        QCOMPARE(
            logMessagesStarting(QStringLiteral("127.0.0.1 already has the correct file")).size(),
            3);
        QCOMPARE(feedback()->file(id, ShowFolder::slotOf(1), MediaType_Slot)->message,
                 QStringLiteral("File has not changed - skipped"));

        app()->eventLog()->clear();
        m_show->writeClip(2, "changed");
        QVERIFY(runAndWait(reports, {id}, true).success);
        QCOMPARE(sentFiles(), (QStringList{sending(m_show->clipPath(2)), validator}));
    }

    // Told to send every file: one listing, no validator read, a new validator.
    void uploadingUnchangedFiles()
    {
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulator->controllers().first()));
        Reports reports;
        QVERIFY(runAndWait(reports, {id}).success);
        app()->eventLog()->clear();
        setPreference(LumPreferences::Key_UploadUnchangedFiles, true);
        QVERIFY(runAndWait(reports, {id}).success);
        QCOMPARE(sentFiles().size(), 4);
        QCOMPARE(logMessagesStarting(QStringLiteral("Listing files on")).size(), 1);
        QVERIFY(logMessagesStarting(QStringLiteral("Downloading validator file")).isEmpty());
        QVERIFY(logMessagesStarting(QStringLiteral("Checking status of media files")).isEmpty());
    }

    // Controllers sharing files: each distinct file is read once per change.
    void sharedFilesAreReadOncePerChange()
    {
        const auto simulator = startSimulator({QStringLiteral("-n"), QStringLiteral("3")});
        QVERIFY(simulator);
        const QList<uint> controllerIds = addControllers(m_show->controllerTemplate(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY(connectTo(controllerIds.at(i), simulator->controllers().at(i)));
        Reports reports;
        const int readsBefore = DigestCache::instance()->readCount();
        QVERIFY(runAndWait(reports, idSet(controllerIds)).success);
        QCOMPARE(DigestCache::instance()->readCount() - readsBefore, 3);
        QVERIFY(runAndWait(reports, idSet(controllerIds)).success);
        QCOMPARE(DigestCache::instance()->readCount() - readsBefore, 3);
        m_show->writeClip(1, "new");
        QVERIFY(runAndWait(reports, idSet(controllerIds)).success);
        QCOMPARE(DigestCache::instance()->readCount() - readsBefore, 4);
    }

    void login_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("success");
        QTest::newRow("USER answered 230: no PASS")
            << QStringList{QStringLiteral("--fault=0:user-230")} << QString() << true;
        QTest::newRow("right password") << QStringList{QStringLiteral("--fault=0:password=secret")}
                                        << QStringLiteral("secret") << true;
        QTest::newRow("wrong password") << QStringList{QStringLiteral("--fault=0:password=secret")}
                                        << QStringLiteral("wrong") << false;
        QTest::newRow("no password")
            << QStringList{QStringLiteral("--fault=0:password=secret")} << QString() << false;
    }
    void login()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QString, password);
        QFETCH(bool, success);
        const auto controllers = startSimulator(simulator);
        QVERIFY(controllers);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, controllers->controllers().first(), password));
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, false);
        QVERIFY(reports.wait(reportId));
        const QStringList replies =
            logMessagesStarting(QStringLiteral("Controller::onFtpRawCommandReply"));
        if (success) {
            QCOMPARE(reports.result(reportId, id).first, UploadReport::State_Success);
            QCOMPARE(replies.size(), password.isNull() ? 1 : 2);
            QVERIFY(replies.last().contains(QLatin1String("replyCode: 230")));
            return;
        }
        QCOMPARE(reports.result(reportId, id),
                 std::make_pair(UploadReport::State_Failed, QStringLiteral("Login failed")));
        QCOMPARE(feedback()->state(id), UploadState_Error);
        QCOMPARE(feedback()->message(id), QStringLiteral("Login failed"));
        QVERIFY(logMessages().contains(QStringLiteral("Login to 127.0.0.1 failed")));
        QVERIFY(!controller(id)->isRetryPending());
        QVERIFY(logMessagesStarting(QStringLiteral("Retrying")).isEmpty());
    }

    void startChecks_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QString>("show"); // "none", "missing" or "present"
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("logged");
        const QStringList plain;
        QTest::newRow("not found") << QStringList{QStringLiteral("closed")} << "present"
                                   << int(UploadReport::State_Failed) << "Controller not found"
                                   << "Scheduled upload to 127.0.0.1 failed because the "
                                      "controller is not found";
        QTest::newRow("wrong type")
            << QStringList{QStringLiteral("--fault=0:wrong-type")} << "present"
            << int(UploadReport::State_Failed) << "Controller is wrong type"
            << "Scheduled upload to 127.0.0.1 failed because the discovered controller is not "
               "the expected type";
        QTest::newRow("no show file")
            << plain << "none" << int(UploadReport::State_Failed) << "No file to upload"
            << "Upload to 127.0.0.1 failed because the file is not "
               "specified";
        QTest::newRow("missing show file")
            << plain << "missing" << int(UploadReport::State_Failed) << "File not found"
            << "Upload to 127.0.0.1 failed because the file \"%1\" is not found";
        // The show file needs 2.5.1.
        QTest::newRow("older point") << QStringList{QStringLiteral("--firmware=2.5.0")} << "present"
                                     << int(UploadReport::State_Failed) << "File is too new"
                                     << "Upload to 127.0.0.1 failed because the file \"%1\" is "
                                        "too new";
        QTest::newRow("pre-release point")
            << QStringList{QStringLiteral("--firmware=2.5.129")} << "present"
            << int(UploadReport::State_Failed) << "File is too new"
            << "Upload to 127.0.0.1 failed because the file "
               "\"%1\" is too new";
        QTest::newRow("same firmware")
            << QStringList{QStringLiteral("--firmware=2.5.1")} << "present"
            << int(UploadReport::State_Success) << "Upload succeeded"
            << "127.0.0.1 successfully launched the uploaded file";
    }
    void startChecks()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QString, show);
        QFETCH(int, result);
        QFETCH(QString, reason);
        QFETCH(QString, logged);
        const bool closed = simulator == QStringList{QStringLiteral("closed")};
        const auto controllers = startSimulator(closed ? QStringList() : simulator);
        QVERIFY(controllers);
        ControllerTemplatePtr controllerTemplate = m_show->controllerTemplate();
        if (show == QLatin1String("none")) {
            controllerTemplate = std::make_shared<ControllerTemplate>();
            controllerTemplate->setHardwareType(1);
        }
        const uint id = addControllers(controllerTemplate).first();
        const SimulatedController *simulated = controllers->controllers().first();
        QVERIFY(connectTo(id, closed ? quint16(1) : simulated->httpPort(), simulated->ftpPort()));
        if (show == QLatin1String("missing"))
            QVERIFY(QFile::remove(m_show->showPath()));

        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, false);
        QVERIFY(reports.wait(reportId));
        QCOMPARE(reports.result(reportId, id), std::make_pair(UploadReport::State(result), reason));
        if (logged.contains(QLatin1String("%1")))
            logged = logged.arg(m_show->showPath());
        QVERIFY2(logMessages().contains(logged), qPrintable(logMessages().join(QLatin1Char('\n'))));
    }

    void missingMediaFile_data()
    {
        QTest::addColumn<bool>("stopOnFirstFail");
        QTest::newRow("goes on") << false;
        QTest::newRow("stops") << true;
    }
    void missingMediaFile()
    {
        QFETCH(bool, stopOnFirstFail);
        setPreference(LumPreferences::Key_StopOnFirstFail, stopOnFirstFail);
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulator->controllers().first()));
        QVERIFY(QFile::remove(m_show->clipPath(1)));
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, false);
        QVERIFY(reports.wait(reportId));

        QVERIFY(logMessages().contains(
            QStringLiteral("Couldn't upload \"%1\" because the file couldn't be found")
                .arg(m_show->clipPath(1))));
        QCOMPARE(feedback()->file(id, ShowFolder::slotOf(1), MediaType_Slot)->message,
                 QStringLiteral("File not found"));
        QCOMPARE(feedback()->file(id, ShowFolder::slotOf(1), MediaType_Slot)->state,
                 UploadState_Error);
        if (stopOnFirstFail) {
            QCOMPARE(reports.result(reportId, id),
                     std::make_pair(UploadReport::State_Failed,
                                    QStringLiteral("Media file is missing")));
            QCOMPARE(feedback()->message(id), QStringLiteral("Media file is missing"));
            QCOMPARE(sentFiles(), QStringList{sending(m_show->showPath())});
            QTest::qWait(100);
            QVERIFY(logMessagesStarting(QStringLiteral("Retrying")).isEmpty());
        } else {
            QCOMPARE(reports.result(reportId, id).first, UploadReport::State_Success);
            QCOMPARE(sentFiles(), (QStringList{sending(m_show->showPath()),
                                               sending(m_show->clipPath(2)), validator}));
        }
    }

    // The second STOR loses its connection: the retry starts at that file.
    void droppedConnectionResumesAtThatFile()
    {
        const auto simulator = startSimulator({QStringLiteral("--fault=0:drop-stor=2")});
        QVERIFY(simulator);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulator->controllers().first()));
        Reports reports;
        QVERIFY(runAndWait(reports, {id}).success);
        QCOMPARE(
            sentFiles(),
            (QStringList{sending(m_show->showPath()), sending(m_show->clipPath(1)),
                         sending(m_show->clipPath(1)), sending(m_show->clipPath(2)), validator}));
        QVERIFY(
            logMessages().contains(QStringLiteral("Retrying upload to 127.0.0.1 in 1 seconds")));
        QVERIFY(logMessages().contains(QStringLiteral("Uploading to 127.0.0.1:%1 - attempt 2")
                                           .arg(simulator->controllers().first()->ftpPort())));
        QCOMPARE(
            readFile(simulator->controllers().first()->folder() + QStringLiteral("/clip1.bin")),
            readFile(m_show->clipPath(1)));
    }

    // A stall ends the attempt; with one attempt allowed, the upload gives up.
    void stallTimesOut()
    {
        useFastTimers(300);
        setPreference(LumPreferences::Key_MaxAttempts, 1);
        const auto simulator = startSimulator({QStringLiteral("--fault=0:stall-stor=2")});
        QVERIFY(simulator);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulator->controllers().first()));
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, false);
        QVERIFY(reports.wait(reportId));
        QCOMPARE(reports.result(reportId, id),
                 std::make_pair(UploadReport::State_Failed,
                                QStringLiteral("Upload failed to complete")));
        QVERIFY(logMessages().contains(QStringLiteral("Upload timed out")));
        QCOMPARE(feedback()->file(id, ShowFolder::slotOf(1), MediaType_Slot)->message,
                 QStringLiteral("Timed out"));
        QVERIFY(logMessages().contains(
            QStringLiteral("Attempted upload to 127.0.0.1 without success")));
        QCOMPARE(feedback()->message(id), QStringLiteral("Attempted upload without success"));
    }

    // The launch answers the null UUID: retried, then given up.
    void failedLoadIsRetriedThenGivenUp()
    {
        const auto simulator = startSimulator({QStringLiteral("--fault=0:launch-null")});
        QVERIFY(simulator);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulator->controllers().first()));
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, false);
        QVERIFY(reports.wait(reportId));
        QCOMPARE(reports.result(reportId, id),
                 std::make_pair(UploadReport::State_Failed,
                                QStringLiteral("Controller failed to load file")));
        QCOMPARE(
            logMessages().count(QStringLiteral("127.0.0.1 failed to launch the uploaded file")), 3);
        QCOMPARE(logMessagesStarting(QStringLiteral("Retrying upload to 127.0.0.1")).size(), 2);
        QVERIFY(logMessages().contains(
            QStringLiteral("Attempted upload to 127.0.0.1 3 times without success")));
        QCOMPARE(feedback()->message(id),
                 QStringLiteral("Attempted upload 3 times without success"));
        // The retries found the files already there.
        QCOMPARE(sentFiles().count(validator), 3);
        QCOMPARE(sentFiles().size(), 6);
    }

    void anotherProjectFailsWithoutRetry()
    {
        const auto simulator = startSimulator({QStringLiteral("--fault=0:launch-other")});
        QVERIFY(simulator);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulator->controllers().first()));
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, false);
        QVERIFY(reports.wait(reportId));
        QCOMPARE(reports.result(reportId, id),
                 std::make_pair(UploadReport::State_Failed,
                                QStringLiteral("Controller loaded a different file")));
        QCOMPARE(feedback()->message(id), QStringLiteral("Failed to load"));
        QVERIFY(logMessages().contains(QStringLiteral(
            "127.0.0.1 launched a file that differs from the file that was uploaded")));
        QVERIFY(!controller(id)->isRetryPending());
    }

    void cancelDuringSession()
    {
        m_show->writeClip(1, QByteArray(400000, 'x'));
        const auto simulator = startSimulator({QStringLiteral("--fault=0:slow=100000")});
        QVERIFY(simulator);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulator->controllers().first()));
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, true);
        QVERIFY(waitUntil([id] {
            const auto clip = feedback()->file(id, ShowFolder::slotOf(1), MediaType_Slot);
            return clip && clip->bytesSent != UploadFeedback::NoProgress;
        }));
        controller(id)->cancelUpload();
        QVERIFY(reports.wait(reportId));
        QCOMPARE(
            reports.result(reportId, id),
            std::make_pair(UploadReport::State_Cancelled, QStringLiteral("Upload was cancelled")));
        QVERIFY(logMessages(1).contains(QStringLiteral("Cancelling upload...")));
        QVERIFY(logMessages().contains(QStringLiteral("Cancelled upload 127.0.0.1")));
        QCOMPARE(feedback()->state(id), UploadState_Cancelled);
        QCOMPARE(feedback()->file(id, ShowFolder::slotOf(1), MediaType_Slot)->state,
                 UploadState_Cancelled);
        QCOMPARE(controller(id)->ftpStage(), Controller::FtpStage_Idle);
        QVERIFY(!controller(id)->isRetryPending());
    }

    // Cancelled in the step in which the attempt fails: the attempt ends
    // cancelled instead of being retried as well.
    void cancelWhileAFailedAttemptConcludes()
    {
        const auto simulator = startSimulator({QStringLiteral("--fault=0:drop-stor=1")});
        QVERIFY(simulator);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulator->controllers().first()));
        bool cancelled = false;
        QObject context;
        connect(feedback(), qOverload<uint, uint, MediaType>(&UploadFeedback::stateChanged),
                &context, [id, &cancelled](uint controllerId, uint mediaId, MediaType type) {
                    const auto file = feedback()->file(controllerId, mediaId, type);
                    if (cancelled || !file || file->state != UploadState_AttemptError)
                        return;
                    cancelled = true;
                    controller(id)->cancelUpload();
                });
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, true);
        QVERIFY(reports.wait(reportId));
        QVERIFY(cancelled);
        QCOMPARE(reports.result(reportId, id).first, UploadReport::State_Cancelled);
        QTest::qWait(100);
        QVERIFY(!controller(id)->isRetryPending());
        QVERIFY(logMessagesStarting(QStringLiteral("Retrying")).isEmpty());
    }

    // With a retry pending: a scheduled run is ignored, cancelling ends it,
    // and an interactive upload replaces it.
    void pendingRetry_data()
    {
        QTest::addColumn<QString>("then");
        QTest::newRow("scheduled run") << "scheduled";
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("interactive run") << "interactive";
    }
    void pendingRetry()
    {
        QFETCH(QString, then);
        setPreference(LumPreferences::Key_RetryInterval, 1000); // 20 s in this test
        const auto simulator = startSimulator({QStringLiteral("--fault=0:launch-null")});
        QVERIFY(simulator);
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulator->controllers().first()));
        Reports reports;
        const uint firstRun = app()->uploadRuns()->upload({id}, false);
        QVERIFY(waitUntil([id] { return controller(id)->isRetryPending(); }, 10000));
        QCOMPARE(feedback()->state(id), UploadState_Retrying);

        if (then == QLatin1String("scheduled")) {
            const uint secondRun = app()->uploadRuns()->upload({id}, false);
            QVERIFY(reports.isCompleted(secondRun));
            QCOMPARE(reports.result(secondRun, id),
                     std::make_pair(UploadReport::State_Ignored,
                                    QStringLiteral("Upload already in progress")));
            QVERIFY(logMessages().contains(QStringLiteral(
                "Scheduled upload to 127.0.0.1 ignored because an upload is pending")));
            QVERIFY(controller(id)->isRetryPending());
            QVERIFY(!reports.isCompleted(firstRun));
            QVERIFY(reports.get(secondRun).success);
            return;
        }
        if (then == QLatin1String("cancel")) {
            controller(id)->cancelUpload();
            QVERIFY(logMessages().contains(QStringLiteral("Cancelled upload retry to 127.0.0.1")));
        } else {
            app()->uploadRuns()->upload({id}, true);
            QVERIFY(waitUntil([] { return !sentFiles().isEmpty(); }));
        }
        QVERIFY(reports.isCompleted(firstRun));
        QCOMPARE(
            reports.result(firstRun, id),
            std::make_pair(UploadReport::State_Cancelled, QStringLiteral("Upload was cancelled")));
        QCOMPARE(controller(id)->isRetryPending(), false);
    }

    // A validator file beyond the size limit is not read: every file is sent.
    void oversizedValidatorIsIgnored()
    {
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        const SimulatedController *simulated = simulator->controllers().first();
        ShowFileBytes::writeFile(simulated->folder() + QStringLiteral("/_val_id"),
                                 QByteArray(ValidatorFile::MaximumSize + 1, '\0'));
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, simulated));
        Reports reports;
        QVERIFY(runAndWait(reports, {id}).success);
        QCOMPARE(sentFiles().size(), 4);
        QVERIFY(
            !logMessagesStarting(QStringLiteral("The validator file on 127.0.0.1 is larger than"))
                 .isEmpty());
    }
};

RW_TEST_MAIN(TestControllerUpload)
#include "tst_controller_upload.moc"
