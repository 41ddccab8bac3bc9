#include "digest_cache.h"
#include "fake_controller_http.h"
#include "fake_ftp_server.h"
#include "link_fixture.h"
#include "real_ftp_server.h"
#include "test_main.h"
#include "validator_file.h"

using namespace LinkFixture;
using namespace Qt::StringLiterals;

namespace {

QString sending(const QString &path)
{
    return u"Uploading \"%1\" to 127.0.0.1"_s.arg(path);
}

const QString validator = u"Uploading validator to 127.0.0.1"_s;

// Clip n of the show is slot n - 1; clip 0 stands for the show file.
std::optional<UploadFeedback::FileRecord> entry(uint id, int clip)
{
    return clip == 0 ? feedback()->file(id, 0xFFFFFFFF, MediaType_Show)
                     : feedback()->file(id, uint(clip - 1), MediaType_Slot);
}

} // namespace

// Uploads against simulated controllers, a real FTP server and a scripted
// one: the session, the skipping of unchanged files, login, the start
// checks, retries, time-outs and cancellation.
class TestControllerUpload : public QObject
{
    Q_OBJECT

    std::unique_ptr<ShowFolder> m_show;
    Site m_site;
    FakeControllerHttp m_http; // for the FTP servers that are no controllers

    bool start(const QStringList &arguments = {}, const QString &password = u"any"_s)
    {
        return startSite(m_site, m_show->controllerTemplate(), arguments, password);
    }

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        ControllerSimulator::raiseFileLimit();
        m_http.answer("/query/system", FakeControllerHttp::status(1));
        m_http.answer("/private/activate_upload", ShowFileBytes::uuidTextA.toByteArray());
    }

    void init()
    {
        resetApplication();
        m_show = std::make_unique<ShowFolder>();
        m_site = Site();
    }

    // The first upload sends every file and then the validator; the second
    // reads the validator back, lists again and sends only the validator;
    // after a change only the changed file goes; told to send every file,
    // it lists once and reads no validator.
    void sendsOnlyWhatTheControllerLacks()
    {
        QVERIFY(start());
        const uint id = m_site.id;
        // A file missing when the list was built and put back since is sent.
        const QString clip = m_show->clipPath(1);
        QVERIFY(QFile::rename(clip, clip + u".away"_s));
        controller(id)->rebuildFilesToUpload();
        QVERIFY(QFile::rename(clip + u".away"_s, clip));
        QVERIFY(run({id}, true).success);
        QCOMPARE(sentFiles(),
                 (QStringList{sending(m_show->showPath()), sending(m_show->clipPath(1)),
                              sending(m_show->clipPath(2)), validator}));
        QCOMPARE(m_site.remoteFile(u"upload.wr_"_s), readFile(m_show->showPath()));
        QVERIFY(feedback()->message(id).startsWith(u"Completed at "));
        // The status read after the launch shows the project now running.
        QTRY_COMPARE(controller(id)->status().projectUuid, ShowFileBytes::uuidTextA);

        app()->eventLog()->clear();
        QVERIFY(run({id}, true).success);
        QCOMPARE(sentFiles(), QStringList{validator});
        QCOMPARE(logMessagesStarting("127.0.0.1 already has the correct file").size(), 3);
        QCOMPARE(entry(id, 1)->message, u"File has not changed - skipped"_s);

        app()->eventLog()->clear();
        m_show->writeClip(2, "changed");
        QVERIFY(run({id}, true).success);
        QCOMPARE(sentFiles(), (QStringList{sending(m_show->clipPath(2)), validator}));

        // A validator file beyond the size limit is not read: every file is sent.
        app()->eventLog()->clear();
        ShowFileBytes::writeFile(m_site.simulated()->folder() + u"/_val_id"_s,
                                 QByteArray(ValidatorFile::MaximumSize + 1, '\0'));
        QVERIFY(run({id}).success);
        QCOMPARE(sentFiles().size(), 4);
        QCOMPARE(logMessagesStarting("The validator file on 127.0.0.1 is larger than").size(), 1);

        app()->eventLog()->clear();
        setPreference(LumPreferences::Key_UploadUnchangedFiles, true);
        QVERIFY(run({id}).success);
        QCOMPARE(sentFiles().size(), 4);
        QCOMPARE(logMessagesStarting("Listing files on").size(), 1);
        QVERIFY(logMessagesStarting("Downloading validator file").isEmpty());
    }

    // Debian's pyftpdlib (user "rigward", password "secret") instead of the
    // simulator: the second upload too finds every file in place.
    void uploadsToARealServer()
    {
        RealFtpServer ftp;
        const uint id = addControllers(m_show->controllerTemplate()).first();
        QVERIFY(connectTo(id, m_http.port(), ftp.port(), u"secret"_s));

        QVERIFY(run({id}).success);
        QCOMPARE(sentFiles().size(), 4);
        QCOMPARE(readFile(ftp.home() + u"/clip1.bin"_s), readFile(m_show->clipPath(1)));
        app()->eventLog()->clear();
        QVERIFY(run({id}).success);
        QCOMPARE(sentFiles(), QStringList{validator});
    }

    // Controllers sharing files: each distinct file is read once per change.
    void sharedFilesAreReadOncePerChange()
    {
        QVERIFY(start({u"-n"_s, u"3"_s}));
        const IdSet controllerIds = idSet(m_site.ids);
        const int readsBefore = DigestCache::instance()->readCount();
        QVERIFY(run(controllerIds).success);
        QVERIFY(run(controllerIds).success);
        QCOMPARE(DigestCache::instance()->readCount() - readsBefore, 3);
        m_show->writeClip(1, "new");
        QVERIFY(run(controllerIds).success);
        QCOMPARE(DigestCache::instance()->readCount() - readsBefore, 4);
    }

    // A refused login is final: no retry.
    void login_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("success");
        const QString secret = u"password=secret"_s;
        QTest::newRow("USER answered 230: no PASS") << u"user-230"_s << QString() << true;
        QTest::newRow("right password") << secret << u"secret"_s << true;
        QTest::newRow("wrong password") << secret << u"wrong"_s << false;
        QTest::newRow("no password") << secret << QString() << false;
    }
    void login()
    {
        QFETCH(QString, fault);
        QFETCH(QString, password);
        QFETCH(bool, success);
        QVERIFY(start({u"--fault=0:"_s + fault}, password));
        const auto result = uploadResult(m_site.id);
        const QStringList replies = logMessagesStarting("Controller::onFtpRawCommandReply");
        if (success) {
            QCOMPARE(result.first, UploadReport::State_Success);
            QCOMPARE(replies.size(), password.isNull() ? 1 : 2);
            QVERIFY(replies.last().contains(u"replyCode: 230"));
            return;
        }
        QCOMPARE(result, failed("Login failed"));
        QCOMPARE(feedback()->message(m_site.id), u"Login failed"_s);
        QVERIFY(logged("Login to 127.0.0.1 failed"));
        QVERIFY(!controller(m_site.id)->isRetryPending());
    }

    void startChecks_data()
    {
        QTest::addColumn<QString>("simulator");
        QTest::addColumn<QString>("show"); // "none", "missing" or "present"
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("line");
        const auto row = [](const char *name, const char *simulator, const char *show,
                            const char *reason, const char *line) {
            QTest::newRow(name) << QString::fromUtf8(simulator) << QString::fromUtf8(show)
                                << QString::fromUtf8(reason) << QString::fromUtf8(line);
        };
        row("not found", "closed", "present", "Controller not found",
            "Scheduled upload to 127.0.0.1 failed because the controller is not found");
        row("wrong type", "--fault=0:wrong-type", "present", "Controller is wrong type",
            "Scheduled upload to 127.0.0.1 failed because the discovered controller is not the "
            "expected type");
        row("no show file", "", "none", "No file to upload",
            "Upload to 127.0.0.1 failed because the file is not specified");
        row("missing show file", "", "missing", "File not found",
            "Upload to 127.0.0.1 failed because the file \"%1\" is not found");
        // The show file needs 2.5.1.
        const char *tooNew = "Upload to 127.0.0.1 failed because the file \"%1\" is too new";
        row("older point", "--firmware=2.5.0", "present", "File is too new", tooNew);
        row("pre-release point", "--firmware=2.5.129", "present", "File is too new", tooNew);
        row("same firmware", "--firmware=2.5.1", "present", "Upload succeeded",
            "127.0.0.1 successfully launched the uploaded file");
    }
    void startChecks()
    {
        QFETCH(QString, simulator);
        QFETCH(QString, show);
        QFETCH(QString, reason);
        QFETCH(QString, line);
        const bool closed = simulator == u"closed";
        ControllerTemplatePtr controllerTemplate = m_show->controllerTemplate();
        if (show == u"none")
            controllerTemplate->setShowFile(QString());
        QVERIFY(startSite(m_site, controllerTemplate,
                          simulator.isEmpty() || closed ? QStringList() : QStringList{simulator}));
        if (closed)
            QVERIFY(connectTo(m_site.id, 1, m_site.simulated()->ftpPort()));
        if (show == u"missing")
            QVERIFY(QFile::remove(m_show->showPath()));

        QCOMPARE(uploadResult(m_site.id).second, reason);
        QVERIFY2(logged(line.arg(m_show->showPath())), qPrintable(logMessages().join(u'\n')));
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
        QVERIFY(start());
        QVERIFY(QFile::remove(m_show->clipPath(1)));
        const auto result = uploadResult(m_site.id);

        QVERIFY(logged(u"Couldn't upload \"%1\" because the file couldn't be found"_s.arg(
            m_show->clipPath(1))));
        QCOMPARE(entry(m_site.id, 1)->message, u"File not found"_s);
        QCOMPARE(entry(m_site.id, 1)->state, UploadState_Error);
        if (stopOnFirstFail) {
            QCOMPARE(result, failed("Media file is missing"));
            QCOMPARE(feedback()->message(m_site.id), u"Media file is missing"_s);
            QCOMPARE(sentFiles(), QStringList{sending(m_show->showPath())});
            QTest::qWait(100);
            QVERIFY(logMessagesStarting("Retrying").isEmpty());
        } else {
            QCOMPARE(result.first, UploadReport::State_Success);
            QCOMPARE(sentFiles(), (QStringList{sending(m_show->showPath()),
                                               sending(m_show->clipPath(2)), validator}));
        }
    }

    // The second STOR loses its connection: the retry starts at that file.
    void droppedConnectionResumesAtThatFile()
    {
        QVERIFY(start({u"--fault=0:drop-stor=2"_s}));
        QCOMPARE(uploadResult(m_site.id).first, UploadReport::State_Success);
        QCOMPARE(
            sentFiles(),
            (QStringList{sending(m_show->showPath()), sending(m_show->clipPath(1)),
                         sending(m_show->clipPath(1)), sending(m_show->clipPath(2)), validator}));
        // The log says what happened, not only that something did.
        QVERIFY(logged("FTP connection was closed unexpectedly: Uploading file failed: "
                       "The server closed the connection"));
        QVERIFY(logged("Retrying upload to 127.0.0.1 in 1 seconds"));
        QVERIFY(
            logged(u"Uploading to 127.0.0.1:%1 - attempt 2"_s.arg(m_site.simulated()->ftpPort())));
        QCOMPARE(m_site.remoteFile(u"clip1.bin"_s), readFile(m_show->clipPath(1)));
    }

    // A stall in any command ends the attempt; with one attempt allowed, the
    // upload gives up.
    void stallTimesOut_data()
    {
        QTest::addColumn<QByteArray>("silentVerb"); // of the scripted server
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<int>("clip"); // of the entry that timed out
        QTest::newRow("LIST") << "LIST"_ba << QByteArray() << 0;
        QTest::newRow("RETR") << "RETR"_ba
                              << "-rw-r--r-- 1 rigward rigward 40 Jan 01 00:00 _val_id\r\n"_ba << 0;
        QTest::newRow("second STOR, simulated") << QByteArray() << QByteArray() << 1;
        // Every file sent: no entry is marked, yet the attempt counts.
        QTest::newRow("QUIT") << "QUIT"_ba << QByteArray() << -1;
        // However steadily it comes, a listing that never ends times out.
        QTest::newRow("endless LIST") << "endless"_ba << QByteArray() << -1;
    }
    void stallTimesOut()
    {
        QFETCH(QByteArray, silentVerb);
        QFETCH(QByteArray, listing);
        QFETCH(int, clip);
        const bool endless = silentVerb == "endless";
        useFastTimers(endless ? 10000 : 300, 10000, endless ? 500 : 20000);
        setPreference(LumPreferences::Key_MaxAttempts, 1);
        FakeFtpServer ftp;
        if (endless)
            ftp.setEndlessListing();
        else
            ftp.script(silentVerb, QByteArray());
        ftp.setListing(listing);
        if (silentVerb.isEmpty()) {
            QVERIFY(start({u"--fault=0:stall-stor=2"_s}));
        } else {
            m_site.id = addControllers(m_show->controllerTemplate()).first();
            QVERIFY(connectTo(m_site.id, m_http.port(), ftp.port()));
        }
        QCOMPARE(uploadResult(m_site.id, false, 5000), failed("Upload failed to complete"));
        QVERIFY(logged("Upload timed out"));
        if (clip >= 0)
            QCOMPARE(entry(m_site.id, clip)->message, u"Timed out"_s);
        QVERIFY(logged("Attempted upload to 127.0.0.1 without success"));
        QCOMPARE(feedback()->message(m_site.id), u"Attempted upload without success"_s);
        if (!silentVerb.isEmpty() && !endless)
            QVERIFY(ftp.commands().last().startsWith(silentVerb));
    }

    // A launch answering the null UUID is retried, then given up; another
    // project is final at once. The retries find the files already there.
    void launchAnswers_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("attempts");
        QTest::newRow("null UUID") << "launch-null"
                                   << "Controller failed to load file"
                                   << "Attempted upload 3 times without success"
                                   << "127.0.0.1 failed to launch the uploaded file" << 3;
        QTest::newRow("other project")
            << "launch-other"
            << "Controller loaded a different file"
            << "Failed to load"
            << "127.0.0.1 launched a file that differs from the file that was uploaded" << 1;
    }
    void launchAnswers()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        QFETCH(QString, message);
        QFETCH(QString, line);
        QFETCH(int, attempts);
        QVERIFY(start({u"--fault=0:"_s + fault}));
        QCOMPARE(uploadResult(m_site.id), std::make_pair(UploadReport::State_Failed, reason));
        QCOMPARE(feedback()->message(m_site.id), message);
        QCOMPARE(logMessages().count(line), attempts);
        QCOMPARE(logMessagesStarting("Retrying upload to").size(), attempts - 1);
        QCOMPARE(sentFiles().count(validator), attempts);
        QCOMPARE(sentFiles().size(), 3 + attempts);
        if (attempts == 3)
            QVERIFY(logged("Attempted upload to 127.0.0.1 3 times without success"));
        QVERIFY(!controller(m_site.id)->isRetryPending());
    }

    void cancelDuringSession()
    {
        m_show->writeClip(1, QByteArray(400000, 'x'));
        QVERIFY(start({u"--fault=0:slow=100000"_s}));
        const uint id = m_site.id;
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, true);
        QVERIFY(waitUntil([id] {
            return entry(id, 1) && entry(id, 1)->bytesSent != UploadFeedback::NoProgress;
        }));
        controller(id)->cancelUpload();
        QVERIFY(reports.wait(reportId));
        QCOMPARE(reports.result(reportId, id), cancelled());
        QVERIFY(logMessages(1).contains(u"Cancelling upload..."_s));
        QVERIFY(logged("Cancelled upload 127.0.0.1"));
        QCOMPARE(feedback()->state(id), UploadState_Cancelled);
        QCOMPARE(entry(id, 1)->state, UploadState_Cancelled);
        QCOMPARE(controller(id)->ftpStage(), Controller::FtpStage_Idle);
        QVERIFY(!controller(id)->isRetryPending());
    }

    // Cancelled in the step in which the attempt fails: the attempt ends
    // cancelled instead of being retried as well.
    void cancelWhileAFailedAttemptConcludes()
    {
        QVERIFY(start({u"--fault=0:drop-stor=1"_s}));
        const uint id = m_site.id;
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
        QCOMPARE(uploadResult(id, true).first, UploadReport::State_Cancelled);
        QVERIFY(cancelled);
        QTest::qWait(100);
        QVERIFY(!controller(id)->isRetryPending());
        QVERIFY(logMessagesStarting("Retrying").isEmpty());
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
        QVERIFY(start({u"--fault=0:launch-null"_s}));
        const uint id = m_site.id;
        Reports reports;
        const uint firstRun = app()->uploadRuns()->upload({id}, false);
        QVERIFY(waitUntil([id] { return controller(id)->isRetryPending(); }));
        QCOMPARE(feedback()->state(id), UploadState_Retrying);

        if (then == u"scheduled") {
            QCOMPARE(uploadResult(id),
                     std::make_pair(UploadReport::State_Ignored, u"Upload already in progress"_s));
            QVERIFY(logged("Scheduled upload to 127.0.0.1 ignored because an upload is pending"));
            QVERIFY(controller(id)->isRetryPending());
            QVERIFY(!reports.isCompleted(firstRun));
            return;
        }
        if (then == u"cancel") {
            controller(id)->cancelUpload();
            QVERIFY(logged("Cancelled upload retry to 127.0.0.1"));
        } else {
            app()->uploadRuns()->upload({id}, true);
            QVERIFY(waitUntil([] { return !sentFiles().isEmpty(); }));
        }
        QCOMPARE(reports.result(firstRun, id), cancelled());
        QVERIFY(!controller(id)->isRetryPending());
    }
};

RW_TEST_MAIN(TestControllerUpload)
#include "tst_controller_upload.moc"
