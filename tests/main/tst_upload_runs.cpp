#include "fatal_probe.h"
#include "smtp_test_server.h"
#include "upload_runs_scene.h"

namespace {

UploadSchedule &schedule()
{
    return document()->uploadSchedule();
}

// Tells the application that the schedule changed, as the schedule commands do.
void scheduleChanged()
{
    ScheduledUploadTimeChangedEvent changed;
    sendChangeEvent(changed);
}

} // namespace

class TestUploadRuns : public UploadRunsScene
{
    Q_OBJECT

private slots:
    // Announced once per run; later results of the run change nothing.
    void completesOncePerRun()
    {
        const QList<uint> controllerIds = addControllers(std::make_shared<ControllerTemplate>(), 2);
        QSignalSpy completed(app(), &LumApplication::uploadReportCompleted);
        Reports reports;
        const uint reportId = runs()->upload(idSet(controllerIds), true);
        QCOMPARE(completed.size(), 1);
        QCOMPARE(completed.first().first().toBool(), false);
        QCOMPARE(reports.result(reportId, controllerIds.at(1)),
                 std::make_pair(UploadReport::State_Failed, u"Controller not found"_s));
        QCOMPARE(runs()->report(reportId), nullptr);
        LumApplication::reportUploadResult(reportId, controllerIds.first(),
                                           UploadReport::State_Success, QString());
        QCOMPARE(completed.size(), 1);
        QCOMPARE(runs()->runningReportCount(), 0);
        RW_EXPECT_FATAL(runs()->upload(IdSet(), true),
                        "Assert: 'controllerIds.size() > 0' is FALSE");
    }

    // The timer fires on the whole second at or after the time. Woken before
    // it (a coarse timer, a clock change), it waits again instead of taking
    // the run. A time weeks ahead does not overflow the timer; it is re-armed
    // as it comes closer. Less than a second ahead, it is armed for what
    // remains, and the run starts on time.
    void armsTheTimerOnAWholeSecond()
    {
        const uint id = addControllers(std::make_shared<ControllerTemplate>()).first();
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime next = now.addSecs(1800);
        schedule().schedule(id, next);
        scheduleChanged();
        const int remaining = runs()->scheduleTimer()->remainingTime();
        QVERIFY2(remaining > 1800000 - 1000 && remaining <= 1801000 - now.time().msec(),
                 qPrintable(QString::number(remaining)));
        QCOMPARE(logMessages(0, Category_Schedule),
                 QStringList{u"Next upload scheduled for %1"_s.arg(next.toString(Qt::TextDate))});
        QVERIFY(QMetaObject::invokeMethod(runs(), "onScheduleDue"));
        QVERIFY(schedule().isScheduled(id));
        QVERIFY(runs()->scheduleTimer()->isActive());
        QVERIFY(!logged("Starting scheduled upload"));

        schedule().unschedule(id);
        scheduleChanged();
        QVERIFY(!runs()->scheduleTimer()->isActive());
        QCOMPARE(logMessages(0, Category_Schedule).last(), u"Scheduled upload cancelled"_s);

        schedule().schedule(id, now.addDays(40));
        scheduleChanged();
        QVERIFY(runs()->scheduleTimer()->remainingTime() <= UploadRuns::MaximumTimerMsec);
        QVERIFY(runs()->scheduleTimer()->remainingTime() > UploadRuns::MaximumTimerMsec - 5000);

        const QDateTime soon = QDateTime::currentDateTime().addMSecs(400);
        schedule().schedule(id, soon);
        Reports reports;
        scheduleChanged();
        QVERIFY(runs()->scheduleTimer()->isActive());
        QVERIFY(runs()->scheduleTimer()->remainingTime() <= 400);
        QTRY_COMPARE_WITH_TIMEOUT(reports.count(), 1, 3000);
        QVERIFY(QDateTime::currentDateTime() >= soon);
        QVERIFY(!schedule().isScheduled(id));
        QVERIFY(logged("Starting scheduled upload"));
    }

    // Passed times run at once, earliest first, each run re-arming for the next.
    void passedTimesRunInTurn()
    {
        const QList<uint> controllerIds = addControllers(std::make_shared<ControllerTemplate>(), 3);
        const QDateTime now = QDateTime::currentDateTime();
        schedule().schedule(controllerIds.at(2), now.addSecs(-60));
        schedule().schedule(controllerIds.at(0), now.addSecs(-120));
        schedule().schedule(controllerIds.at(1), now.addSecs(-120));
        Reports reports;
        scheduleChanged();
        QVERIFY(logged(u"Scheduled upload time (%1) has passed - uploading now"_s.arg(
            now.addSecs(-120).toString(Qt::TextDate))));
        QCOMPARE(reports.count(), 0); // from the event loop, not from the change
        QTRY_COMPARE(reports.count(), 2);
        // The later run, the last report, is the later time's alone.
        QCOMPARE(reports.last().results.size(), 1u);
        QCOMPARE(reports.last().results.count(controllerIds.at(2)), 1u);
        QVERIFY(schedule().isEmpty());
        QCOMPARE(logMessagesStarting("Scheduled upload to ").size(), 3);
    }

    // A due time without controllers, or with one that is gone (a project
    // file naming it), starts nothing. A scheduled run sends the show as it
    // is on the disk now.
    void startingAScheduledRun()
    {
        runs()->startScheduledUpload();
        QCOMPARE(
            logMessages(0, Category_Schedule),
            QStringList{
                u"Scheduled upload time passed but no controllers were scheduled to upload"_s});
        schedule().schedule(999, QDateTime::currentDateTime().addSecs(-1));
        runs()->startScheduledUpload();
        QVERIFY(logged("Starting scheduled upload"));
        QCOMPARE(runs()->runningReportCount(), 0);
        QVERIFY(schedule().isEmpty());

        using namespace ShowFileBytes;
        const ShowFolder show;
        QVERIFY(touch(show.showPath(), -60));
        const uint id = addControllers(show.controllerTemplate()).first();
        General saved;
        saved.deviceType = 1;
        saved.uuid = uuidB;
        QVERIFY(writeFile(show.showPath(), saved.bytes()));
        schedule().schedule(id, QDateTime::currentDateTime().addSecs(-1));
        runs()->startScheduledUpload();
        QCOMPARE(controller(id)->controllerTemplate()->showProjectUuid(),
                 QUuid(u"{10203040-5060-7080-90a0-b0c0d0e0f001}"_s));
    }

    // Closing the project ends its runs: one under way ends cancelled, one
    // waiting for discovery goes, and neither reaches the next project's
    // controllers, which take the same identifiers.
    void closingTheProjectEndsItsRuns()
    {
        const ShowFolder show;
        Site running;
        QVERIFY(startSite(running, show.controllerTemplate(), {u"--fault=0:stall-stor=1"_s}));
        FakeControllerHttp silent;
        const uint waiting = silentController(silent);
        controller(waiting)->discover();
        Reports reports;
        const uint reportId = runs()->upload({running.id}, false);
        QTRY_COMPARE(feedback()->state(running.id), UploadState_Uploading);
        runs()->uploadWhenDiscovered({waiting}, false);
        QCOMPARE(runs()->waitingRunCount(), 1);

        document()->reset();
        QCOMPARE(reports.result(reportId, running.id), cancelled());
        QCOMPARE(runs()->runningReportCount(), 0);
        QCOMPARE(runs()->waitingRunCount(), 0);
    }

    // A run due when the project opens waits for its controllers' first
    // answers instead of finding them "not found"; the wait is bounded.
    void aDueRunWaitsForDiscovery_data()
    {
        QTest::addColumn<bool>("answers");
        QTest::newRow("controller answers") << true;
        QTest::newRow("controller never answers") << false;
    }
    void aDueRunWaitsForDiscovery()
    {
        QFETCH(bool, answers);
        runs()->setDiscoveryWait(300);
        const ShowFolder show;
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        FakeControllerHttp silent;
        silent.setBehaviour("/query/system", FakeControllerHttp::Behaviour_Silent);
        const SimulatedController *simulated = simulator->controllers().first();
        const uint id =
            addControllerAt(show.controllerTemplate(),
                            answers ? simulated->httpPort() : silent.port(), simulated->ftpPort());
        controller(id)->discover();
        schedule().schedule(id, QDateTime::currentDateTime().addSecs(-5));
        Reports reports;
        scheduleChanged();
        QTRY_VERIFY(logged("Starting scheduled upload"));
        QCOMPARE(runs()->waitingRunCount(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(reports.count(), 1, 10000);
        const UploadReport::ControllerResult result = reports.last().results.at(id);
        QCOMPARE(result.message, answers ? u"Upload succeeded"_s : u"Controller not found"_s);
    }

    void alertMailRules_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("manual");
        QTest::addColumn<bool>("forManual");
        QTest::addColumn<bool>("recipients");
        QTest::addColumn<QString>("logged"); // mailed when it is "Sent mail to ..."
        const QString sent = u"Sent mail to ops@example.com"_s;
        QTest::newRow("disabled") << false << false << true << true << QString();
        QTest::newRow("operator's run") << true << true << false << true << QString();
        QTest::newRow("operator's run, mailed too") << true << true << true << true << sent;
        QTest::newRow("unattended run") << true << false << false << true << sent;
        QTest::newRow("no recipients")
            << true << false << false << false << u"No SMTP recipients set"_s;
    }
    // An unattended run also takes its controllers off the schedule.
    void alertMailRules()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, manual);
        QFETCH(bool, forManual);
        QFETCH(bool, recipients);
        QFETCH(QString, logged);
        const bool mailed = logged.startsWith(u"Sent mail"_s);
        SmtpTestServer mail(
            {u"--auth"_s, u"login"_s, u"--user"_s, u"ops"_s, u"--password"_s, u"pw"_s});
        QVERIFY(mail.port() != 0);
        document()->setMailSettings(
            {.enabled = enabled,
             .sendForManualUploads = forManual,
             .server = u"127.0.0.1"_s,
             .port = mail.port(),
             .username = u"ops"_s,
             .recipients = recipients ? QStringList{u"ops@example.com"_s} : QStringList(),
             .password = PasswordCipher::encode(u"pw"_s)});

        const QList<uint> controllerIds = addControllers(std::make_shared<ControllerTemplate>(), 2);
        const QDateTime later = QDateTime::currentDateTime().addSecs(3600);
        schedule().schedule(controllerIds.at(0), later);
        schedule().schedule(controllerIds.at(1), later);
        QSignalSpy finished(runs(), &UploadRuns::alertMailFinished);
        Reports reports;
        const uint reportId = runs()->upload({controllerIds.at(0)}, manual);
        QVERIFY(reports.isCompleted(reportId));
        QCOMPARE(schedule().isScheduled(controllerIds.at(0)), manual);
        QVERIFY(schedule().isScheduled(controllerIds.at(1)));
        if (mailed) {
            QVERIFY(finished.wait(15000));
            QCOMPARE(finished.first().first().toBool(), true);
            QCOMPARE(mail.messageCount(), 1);
            QString body = reports.get(reportId).text;
            QVERIFY(mail.message(1).contains("\r\n\r\n"_L1 + body.replace(u'\n', "\r\n"_L1)));
            QCOMPARE(mail.envelope(1).value(u"authenticated"_s).toBool(), true);
            QCOMPARE(runs()->pendingMailCount(), 0);
        } else {
            QTest::qWait(200);
            QVERIFY(finished.isEmpty());
            QCOMPARE(mail.messageCount(), 0);
        }
        const QStringList smtpLog = logMessages(0, Category_Smtp);
        QVERIFY2(logged.isEmpty() ? smtpLog.isEmpty() : smtpLog.contains(logged),
                 qPrintable(smtpLog.join(u'\n')));
    }
};

RW_TEST_MAIN(TestUploadRuns)
#include "tst_upload_runs.moc"
