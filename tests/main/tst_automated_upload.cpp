#include "automated_upload.h"
#include "upload_runs_scene.h"

#include <QTcpServer>

class TestAutomatedUpload : public UploadRunsScene
{
    Q_OBJECT

private slots:
    // Cancelled before its controllers have answered: no run starts.
    void cancelledWhileDiscoveringStartsNothing()
    {
        FakeControllerHttp silent;
        const uint id = silentController(silent);
        AutomatedUpload upload(runs(), document());
        QSignalSpy started(runs(), &UploadRuns::runStarting);
        QSignalSpy finished(&upload, &AutomatedUpload::finished);
        upload.start({id});
        QTest::qWait(50);
        upload.cancel();
        QVERIFY(finished.wait(2000));
        QVERIFY(upload.isCancelled());
        QVERIFY(!upload.hasReport());
        QVERIFY(started.isEmpty());
        QCOMPARE(runs()->runningReportCount(), 0);
    }

    // Cancelling the run cancels its own controllers only: a controller
    // whose retry belongs to an earlier run reports "already in progress"
    // and keeps that retry.
    void cancelLeavesAnotherRunsRetryAlone()
    {
        const ShowFolder show;
        const auto simulator = startSimulator(
            {u"-n"_s, u"2"_s, u"--fault"_s, u"0:launch-null"_s, u"--fault"_s, u"1:stall-stor=1"_s});
        QVERIFY(simulator);
        setPreference(LumPreferences::Key_RetryInterval, 500); // 10 s with fast timers
        const QList<uint> ids = addControllers(show.controllerTemplate(), 2);
        QVERIFY(connectTo(ids.at(0), simulator->controllers().at(0)));
        QVERIFY(connectTo(ids.at(1), simulator->controllers().at(1)));
        runs()->upload({ids.at(0)}, true);
        QVERIFY(waitUntil([&] { return controller(ids.at(0))->isRetryPending(); }));

        AutomatedUpload upload(runs(), document());
        QSignalSpy finished(&upload, &AutomatedUpload::finished);
        upload.start(idSet(ids));
        QVERIFY(waitUntil([&] { return feedback()->isUploading(ids.at(1)); }));
        upload.cancel();
        QVERIFY2(finished.wait(5000), qPrintable(logMessages(2).join(u'\n')));
        QVERIFY(controller(ids.at(0))->isRetryPending());
        for (const QString &part :
             {u"  IGNORED - "_s, u"Upload already in progress"_s, u"Upload was cancelled"_s})
            QVERIFY2(upload.reportText().contains(part), qPrintable(part));
        QCOMPARE(upload.failedCount(), 0);
        document()->cancelUploads({});
    }

    // A mail server that takes the connection and never speaks holds the
    // run no longer than the mail wait.
    void theMailWaitIsBounded()
    {
        QTcpServer mute;
        QVERIFY(mute.listen(QHostAddress::LocalHost));
        MailSettings mail;
        mail.enabled = true;
        mail.server = u"127.0.0.1"_s;
        mail.port = mute.serverPort();
        mail.recipients = {u"ops@example.com"_s};
        document()->setMailSettings(mail);
        const uint id = addControllers(ShowFolder().controllerTemplate()).first();

        AutomatedUpload upload(runs(), document());
        upload.setMailWait(300);
        QSignalSpy finished(&upload, &AutomatedUpload::finished);
        upload.start({id}); // not found: the report completes at once
        QVERIFY(finished.wait(5000));
        QVERIFY(upload.mailTimedOut());
        QCOMPARE(upload.failedCount(), 1);
        QCOMPARE(runs()->pendingMailCount(), 1);
    }
};

RW_TEST_MAIN(TestAutomatedUpload)
#include "tst_automated_upload.moc"
