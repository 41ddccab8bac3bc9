#include "automated_upload.h"
#include "discovery_wait.h"
#include "fake_controller_http.h"
#include "fatal_probe.h"
#include "link_fixture.h"
#include "show_file_bytes.h"
#include "smtp_test_server.h"
#include "test_main.h"
#include "unattended_schedule.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>

using namespace LinkFixture;
using namespace Qt::StringLiterals;

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

// Controllers that are never found: their runs complete at once, failed.
QList<uint> absentControllers(int count)
{
    return addControllers(std::make_shared<ControllerTemplate>(), count);
}

// A controller whose HTTP side takes the connection and never answers.
uint silentController(FakeControllerHttp &silent)
{
    silent.setBehaviour("/query/system", FakeControllerHttp::Behaviour_Silent);
    return addControllerAt(ShowFolder().controllerTemplate(), silent.port());
}

// Reports mailed to ops@example.com through the server at `port` of 127.0.0.1.
MailSettings mailTo(quint16 port)
{
    MailSettings settings;
    settings.enabled = true;
    settings.server = u"127.0.0.1"_s;
    settings.port = port;
    settings.recipients = QStringList{u"ops@example.com"_s};
    return settings;
}

// A failed discovery is retried only after the wait has looked.
void slowRediscovery()
{
    Controller::Timings timings = Controller::timings();
    timings.rediscoverMsec = 5000;
    Controller::setTimings(timings);
}

} // namespace

// Upload runs, their reports, the schedule timer and the alert mail; and the
// core of the unattended commands over them: waiting for the discovery of
// chosen controllers (DiscoveryWait), one run from discovery to the mailed
// report (AutomatedUpload), and the schedule kept without an operator with
// its clean stop (UnattendedSchedule).
class TestUploadRuns : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }

    void init()
    {
        resetApplication();
        runs()->setDiscoveryWait(UploadRuns::DefaultDiscoveryWaitMsec);
    }

    // Announced once per run; later results of the run change nothing.
    void completesOncePerRun()
    {
        const QList<uint> controllerIds = absentControllers(2);
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

    void unattendedRunsTakeTheirControllersOffTheSchedule_data()
    {
        QTest::addColumn<bool>("manual");
        QTest::newRow("operator's run") << true;
        QTest::newRow("unattended run") << false;
    }
    void unattendedRunsTakeTheirControllersOffTheSchedule()
    {
        QFETCH(bool, manual);
        const QList<uint> controllerIds = absentControllers(2);
        const QDateTime later = QDateTime::currentDateTime().addSecs(3600);
        schedule().schedule(controllerIds.at(0), later);
        schedule().schedule(controllerIds.at(1), later);
        runs()->upload({controllerIds.at(0)}, manual);
        QCOMPARE(schedule().isScheduled(controllerIds.at(0)), manual);
        QVERIFY(schedule().isScheduled(controllerIds.at(1)));
    }

    // The timer fires on the whole second at or after the time. Woken before
    // it (a coarse timer, a clock change), it waits again instead of taking
    // the run. A time weeks ahead does not overflow the timer; it is re-armed
    // as it comes closer.
    void armsTheTimerOnAWholeSecond()
    {
        const uint id = absentControllers(1).first();
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime next = now.addSecs(1800);
        schedule().schedule(id, next);
        scheduleChanged();
        const int remaining = runs()->scheduleTimer()->remainingTime();
        QVERIFY2(remaining > 1800000 - 1000 && remaining <= 1801000 - now.time().msec(),
                 qPrintable(QString::number(remaining)));
        QVERIFY(runs()->scheduleTimer()->timerType() == Qt::PreciseTimer);
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
    }

    // Less than a second ahead: armed for what remains, and run on time.
    void aTimeLessThanASecondAheadRuns()
    {
        const uint id = absentControllers(1).first();
        const QDateTime next = QDateTime::currentDateTime().addMSecs(400);
        schedule().schedule(id, next);
        Reports reports;
        scheduleChanged();
        QVERIFY(runs()->scheduleTimer()->isActive());
        QVERIFY(runs()->scheduleTimer()->remainingTime() <= 400);
        QTRY_COMPARE_WITH_TIMEOUT(reports.count(), 1, 3000);
        QVERIFY(QDateTime::currentDateTime() >= next);
        QVERIFY(!schedule().isScheduled(id));
        QVERIFY(logged("Starting scheduled upload"));
    }

    // Passed times run at once, earliest first, each run re-arming for the next.
    void passedTimesRunInTurn()
    {
        const QList<uint> controllerIds = absentControllers(3);
        const QDateTime now = QDateTime::currentDateTime();
        schedule().schedule(controllerIds.at(2), now.addSecs(-60));
        schedule().schedule(controllerIds.at(0), now.addSecs(-120));
        schedule().schedule(controllerIds.at(1), now.addSecs(-120));
        QList<IdSet> runOrder;
        connect(runs(), &UploadRuns::reportCompleted, this,
                [&runOrder](const UploadReport &report) {
                    IdSet controllers;
                    for (const auto &[controllerId, result] : report.results())
                        controllers.insert(controllerId);
                    runOrder << controllers;
                });
        scheduleChanged();
        QVERIFY(logged(u"Scheduled upload time (%1) has passed - uploading now"_s.arg(
            now.addSecs(-120).toString(Qt::TextDate))));
        QVERIFY(runOrder.isEmpty()); // from the event loop, not from the change
        QTRY_COMPARE(runOrder.size(), 2);
        QCOMPARE(runOrder.at(0), (IdSet{controllerIds.at(0), controllerIds.at(1)}));
        QCOMPARE(runOrder.at(1), IdSet{controllerIds.at(2)});
        QVERIFY(schedule().isEmpty());
        QCOMPARE(logMessagesStarting("Scheduled upload to ").size(), 3);
        disconnect(runs(), &UploadRuns::reportCompleted, this, nullptr);
    }

    void aDueTimeWithoutControllers()
    {
        runs()->startScheduledUpload();
        QCOMPARE(
            logMessages(0, Category_Schedule),
            QStringList{
                u"Scheduled upload time passed but no controllers were scheduled to upload"_s});
        // A controller that is gone (a project file naming it) starts nothing.
        schedule().schedule(999, QDateTime::currentDateTime().addSecs(-1));
        runs()->startScheduledUpload();
        QVERIFY(logged("Starting scheduled upload"));
        QCOMPARE(runs()->runningReportCount(), 0);
        QVERIFY(schedule().isEmpty());
    }

    // A scheduled run sends the show as it is on the disk now.
    void aScheduledRunLooksAtTheShowFilesFirst()
    {
        using namespace ShowFileBytes;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"show.wrn"_s);
        QVERIFY(writeFile(path, General().bytes()));
        QVERIFY(touch(path, -60));
        auto controllerTemplate = std::make_shared<ControllerTemplate>();
        controllerTemplate->setShowFile(path);
        const uint id = addControllers(controllerTemplate).first();
        General saved;
        saved.uuid = uuidB;
        QVERIFY(writeFile(path, saved.bytes()));
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
        const auto simulator = startSimulator({u"--fault=0:stall-stor=1"_s});
        QVERIFY(simulator);
        const SimulatedController *simulated = simulator->controllers().first();
        const uint running =
            addControllerAt(show.controllerTemplate(), simulated->httpPort(), simulated->ftpPort());
        controller(running)->discover();
        QTRY_COMPARE(controller(running)->discoveryState(), Discovery_Found);
        FakeControllerHttp silent;
        const uint waiting = silentController(silent);
        controller(waiting)->discover();
        Reports reports;
        const uint reportId = runs()->upload({running}, false);
        QTRY_COMPARE(feedback()->state(running), UploadState_Uploading);
        runs()->uploadWhenDiscovered({waiting}, false);
        QCOMPARE(runs()->waitingRunCount(), 1);

        document()->reset();
        QCOMPARE(reports.result(reportId, running), cancelled());
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
        MailSettings settings = mailTo(mail.port());
        settings.enabled = enabled;
        settings.sendForManualUploads = forManual;
        settings.username = u"ops"_s;
        settings.password = PasswordCipher::encode(u"pw"_s);
        if (!recipients)
            settings.recipients.clear();
        document()->setMailSettings(settings);

        QSignalSpy finished(runs(), &UploadRuns::alertMailFinished);
        Reports reports;
        const uint reportId = runs()->upload(idSet(absentControllers(1)), manual);
        QVERIFY(reports.isCompleted(reportId));
        if (mailed) {
            QVERIFY(finished.wait(15000));
            QCOMPARE(finished.first().first().toBool(), true);
            QCOMPARE(mail.messageCount(), 1);
            const QString message = mail.message(1);
            QVERIFY(message.contains("Subject: Automated report from Lumora Rigwarden\r\n"_L1));
            QVERIFY(message.contains("From: \"Lumora Rigwarden\" <>\r\n"_L1));
            QString body = reports.get(reportId).text;
            QVERIFY(message.contains("\r\n\r\n"_L1 + body.replace(u'\n', "\r\n"_L1)));
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

    // An answer, a refusal, the deadline or a stop ends the wait, once; a
    // controller that never answers holds it no longer than the deadline.
    void discoveryWaitEndsOnAnswerFailureOrDeadline_data()
    {
        QTest::addColumn<int>("behaviour"); // of FakeControllerHttp; -1 a closed port
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("timedOut");
        QTest::addColumn<bool>("stopped"); // twice, before any answer
        const int silent = FakeControllerHttp::Behaviour_Silent;
        QTest::newRow("answers") << int(FakeControllerHttp::Behaviour_Answer)
                                 << int(Discovery_Found) << false << false;
        QTest::newRow("refuses the connection") << -1 << int(Discovery_NotFound) << false << false;
        QTest::newRow("closes without an answer") << int(FakeControllerHttp::Behaviour_Close)
                                                  << int(Discovery_NotFound) << false << false;
        QTest::newRow("never answers") << silent << int(Discovery_NotFound) << true << false;
        QTest::newRow("stopped") << silent << -1 << false << true;
    }
    void discoveryWaitEndsOnAnswerFailureOrDeadline()
    {
        QFETCH(int, behaviour);
        QFETCH(int, state);
        QFETCH(bool, timedOut);
        QFETCH(bool, stopped);
        slowRediscovery();
        FakeControllerHttp fake;
        fake.answer("/query/system", FakeControllerHttp::status(1));
        if (behaviour >= 0)
            fake.setBehaviour("/query/system", FakeControllerHttp::Behaviour(behaviour));
        quint16 port = fake.port();
        if (behaviour < 0) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort(); // closed again as the probe goes
        }
        // An answerer plus a controller without address, which is settled at once.
        const ControllerTemplatePtr controllerTemplate = ShowFolder().controllerTemplate();
        Controller *target = controller(addControllerAt(controllerTemplate, port));
        const uint unaddressed = addControllers(controllerTemplate).first();

        DiscoveryWait wait(document(), {target->getId(), unaddressed}, 500);
        QSignalSpy finished(&wait, &DiscoveryWait::finished);
        QElapsedTimer clock;
        clock.start();
        wait.start();
        QVERIFY(finished.isEmpty()); // from the event loop only
        if (stopped) {
            QTest::qWait(100);
            wait.stop();
            wait.stop();
        }
        QVERIFY(finished.wait(5000));
        const qint64 elapsed = clock.elapsed();
        QTest::qWait(stopped ? 500 : 0); // neither the second stop nor the deadline ends it again
        QCOMPARE(finished.size(), 1);
        if (state >= 0)
            QCOMPARE(int(target->discoveryState()), state);
        QCOMPARE(wait.timedOut(), timedOut);
        QCOMPARE(elapsed >= 500, timedOut);
        QVERIFY(wait.isFinished());
    }

    // Cancelled before its controllers have answered: no run starts.
    void automatedUploadCancelledWhileDiscoveringStartsNothing()
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
    void automatedUploadCancelLeavesAnotherRunsRetryAlone()
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
    void automatedUploadMailWaitIsBounded()
    {
        QTcpServer mute;
        QVERIFY(mute.listen(QHostAddress::LocalHost));
        document()->setMailSettings(mailTo(mute.serverPort()));
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

    // Stopped at once when nothing is under way; a run still waiting for its
    // controllers' first answers is dropped.
    void scheduleStopsAtOnceWhenNoUploadRuns_data()
    {
        QTest::addColumn<bool>("waiting");
        QTest::newRow("next run an hour ahead") << false;
        QTest::newRow("run waiting for discovery") << true;
    }
    void scheduleStopsAtOnceWhenNoUploadRuns()
    {
        QFETCH(bool, waiting);
        FakeControllerHttp silent;
        const uint id = waiting ? silentController(silent)
                                : addControllers(ShowFolder().controllerTemplate()).first();
        document()->uploadSchedule().schedule(
            id, QDateTime::currentDateTime().addSecs(waiting ? -1 : 3600));
        UnattendedSchedule schedule(runs(), document());
        schedule.start();
        QVERIFY(waitUntil([&] {
            return waiting ? runs()->waitingRunCount() == 1 : runs()->scheduleTimer()->isActive();
        }));
        QSignalSpy stopped(&schedule, &UnattendedSchedule::stopped);
        schedule.stop();
        QVERIFY(stopped.isEmpty()); // from the event loop only
        QVERIFY(stopped.wait(2000));
        QVERIFY(!runs()->scheduleTimer()->isActive());
        QVERIFY(!schedule.stopTimedOut());
        QCOMPARE(runs()->waitingRunCount(), 0);
        QCOMPARE(runs()->runningReportCount(), 0);
    }

    // A run that cannot conclude in time does not hold the stop for ever.
    void scheduleStopWaitIsBounded()
    {
        const ShowFolder show;
        FakeControllerHttp silentLaunch;
        silentLaunch.answer("/query/system", FakeControllerHttp::status(1));
        silentLaunch.setBehaviour("/private/activate_upload", FakeControllerHttp::Behaviour_Silent);
        const auto simulator = startSimulator();
        QVERIFY(simulator);
        const uint id = addControllers(show.controllerTemplate()).first();
        QVERIFY(connectTo(id, silentLaunch.port(), simulator->controllers().first()->ftpPort()));
        runs()->upload({id}, false);
        // The launch is asked and never answered; a cancel cannot end it.
        QVERIFY(
            waitUntil([&] { return silentLaunch.requestCount("/private/activate_upload") > 0; }));
        UnattendedSchedule schedule(runs(), document());
        schedule.setStopWait(300);
        QSignalSpy stopped(&schedule, &UnattendedSchedule::stopped);
        schedule.stop();
        QVERIFY(stopped.wait(3000));
        QVERIFY(schedule.stopTimedOut());
        QCOMPARE(runs()->runningReportCount(), 1);
        document()->reset();
    }
};

RW_TEST_MAIN(TestUploadRuns)
#include "tst_upload_runs.moc"
