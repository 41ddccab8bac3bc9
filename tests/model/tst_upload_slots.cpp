#include "link_fixture.h"
#include "sim_ftp_session.h"
#include "test_main.h"
#include "upload_slots.h"

using namespace Qt::StringLiterals;

using namespace LinkFixture;

// The limit on simultaneous uploads, against simulated controllers that
// count their FTP sessions.
class TestUploadSlots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        ControllerSimulator::raiseFileLimit();
    }

    void init() { resetApplication(); }
    void cleanup() { setPreference(LumPreferences::Key_MaxSimultaneousUploads, 0); }

    // Six controllers, two slots: the ones over the limit wait as Pending
    // and start in the run's order; one cancelled while waiting leaves the
    // line, and every other one succeeds.
    void limitBoundsSessionsInRunOrder()
    {
        ShowFolder show;
        Site site;
        QVERIFY(startSite(site, show.controllerTemplate(), {u"--count=6"_s}));
        const QList<uint> ids = site.ids;
        setPreference(LumPreferences::Key_MaxSimultaneousUploads, 2);
        SimFtpSession::resetPeakSessions();

        Reports reports;
        const uint reportId = runs()->upload(idSet(ids), false);
        const uint waiting = ids.last();
        QCOMPARE(feedback()->state(waiting), UploadState_Pending);
        QCOMPARE(feedback()->message(waiting), u"Waiting for a free upload slot"_s);
        controller(waiting)->cancelUpload();
        QVERIFY(reports.wait(reportId));

        QCOMPARE(SimFtpSession::peakSessions(), 2);
        QCOMPARE(UploadSlots::instance()->inUse(), 0);
        QStringList expectedOrder;
        for (int i = 0; i < ids.size() - 1; ++i) {
            QCOMPARE(reports.result(reportId, ids[i]).first, UploadReport::State_Success);
            expectedOrder << u"Uploading to 127.0.0.1:%1"_s.arg(site.simulated(i)->ftpPort());
        }
        QCOMPARE(logMessagesStarting("Uploading to "), expectedOrder);
        QCOMPARE(reports.result(reportId, waiting), cancelled());
    }

    // A failed attempt waits for its retry without holding a slot.
    void retryWaitFreesTheSlot()
    {
        ShowFolder show;
        Site site;
        QVERIFY(startSite(site, show.controllerTemplate(), {u"--count=2"_s}));
        const QList<uint> ids = site.ids;
        // The first one's FTP port refuses: its attempt fails and waits.
        QVERIFY(connectTo(ids[0], site.simulated()->httpPort(), 1));
        setPreference(LumPreferences::Key_MaxSimultaneousUploads, 1);
        setPreference(LumPreferences::Key_MaxAttempts, 2);
        setPreference(LumPreferences::Key_RetryInterval, 60);

        Reports reports;
        const uint reportId = runs()->upload(idSet(ids), false);
        QVERIFY(waitUntil([&] {
            return controller(ids[1])->ftpStage() == Controller::FtpStage_Idle &&
                   feedback()->state(ids[1]) == UploadState_Complete;
        }));
        QVERIFY(controller(ids[0])->isRetryPending());
        controller(ids[0])->cancelUpload();
        QVERIFY(reports.wait(reportId));
    }
};

RW_TEST_MAIN(TestUploadSlots)
#include "tst_upload_slots.moc"
