// Scheduling through the undo stack.

#include "clear_scheduled_uploads_command.h"
#include "event_text_recorder.h"
#include "lum_document.h"
#include "schedule_upload_command.h"
#include "schedule_upload_group_command.h"
#include "test_main.h"

#include <QUndoStack>

using namespace Qt::StringLiterals;

class TestScheduleCommands : public QObject
{
    Q_OBJECT

private:
    LumDocument *m_document = nullptr;

    UploadSchedule &schedule() { return m_document->uploadSchedule(); }
    QUndoStack &stack() { return *m_document->undoStack(); }

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        m_document = LumApplication::instance()->document();
    }

    void init() { m_document->reset(); }

    // The group announces the change once, after all its controllers: a
    // lone schedule command announces nothing.
    void aGroupSchedulesItsControllersAndAnnouncesOnce()
    {
        const QDateTime first = QDateTime::currentDateTime().addSecs(600);
        const QDateTime second = first.addSecs(600);
        schedule().schedule(2, first);
        schedule().schedule(3, first);

        auto *group = new ScheduleUploadGroupCommand;
        new ScheduleUploadCommand(1, second, group);
        new ScheduleUploadCommand(2, second, group);
        new ScheduleUploadCommand(3, QDateTime(), group);
        EventTextRecorder events;
        stack().push(group);
        QCOMPARE(events.take(), u"1012"_s);
        QCOMPARE(schedule().times(), QList<QDateTime>{second});
        QCOMPARE(schedule().scheduledTime(1), second);
        QCOMPARE(schedule().scheduledTime(2), second);
        QVERIFY(!schedule().isScheduled(3));

        stack().undo();
        QCOMPARE(events.take(), u"1012"_s);
        QVERIFY(!schedule().isScheduled(1));
        QCOMPARE(schedule().scheduledTime(2), first);
        QCOMPARE(schedule().scheduledTime(3), first);
        stack().redo();
        QCOMPARE(schedule().scheduledTime(2), second);
    }

    // Undone later, only the times still ahead come back.
    void clearingIsUndoneWithTheTimesStillAhead()
    {
        const QDateTime soon = QDateTime::currentDateTime().addMSecs(300);
        const QDateTime later = QDateTime::currentDateTime().addSecs(3600);
        schedule().schedule(1, soon);
        schedule().schedule(2, later);
        EventTextRecorder events;
        stack().push(new ClearScheduledUploadsCommand);
        QVERIFY(schedule().isEmpty());
        QCOMPARE(events.take(), u"1012"_s);

        QTest::qWait(400);
        stack().undo();
        QCOMPARE(events.take(), u"1012"_s);
        QVERIFY(!schedule().isScheduled(1));
        QCOMPARE(schedule().scheduledTime(2), later);
        stack().redo();
        QVERIFY(schedule().isEmpty());
    }
};

RW_TEST_MAIN(TestScheduleCommands)
#include "tst_schedule_commands.moc"
