// The undo commands: adding and removing groups and installations (identifiers,
// order, expansion and schedule entries come back as they were), the commands
// that exchange one value (each undo and redo passes through the entity's own
// setter, so its side effects happen every time) and scheduling.

#include "add_installation_command.h"
#include "add_installation_group_command.h"
#include "change_events.h"
#include "clear_scheduled_uploads_command.h"
#include "lum_document.h"
#include "recording_controller.h"
#include "remove_installation_command.h"
#include "remove_installation_group_command.h"
#include "schedule_upload_command.h"
#include "schedule_upload_group_command.h"
#include "set_controller_ftp_port_command.h"
#include "set_controller_hostname_command.h"
#include "set_controller_http_port_command.h"
#include "set_installation_group_name_command.h"
#include "set_installation_name_command.h"
#include "set_installation_template_command.h"
#include "set_password_command.h"
#include "test_main.h"

#include <QSignalSpy>
#include <QUndoStack>

using namespace Qt::StringLiterals;

namespace {

// Records the change events that reach the application object as short
// texts, joined by "; ": "1006 {3,4} select; 1003 7; 1012".
class EventTextRecorder : public QObject
{
public:
    EventTextRecorder()
    {
        QCoreApplication::sendPostedEvents(); // what earlier steps posted is not ours
        // Removed and restored controllers stop and restart their discovery,
        // which posts discovery events of its own: not the commands' concern.
        connect(LumApplication::instance(), &LumApplication::changeEvent, this,
                [this](QEvent *event) {
                    if (event->type() != QEvent::Type(Event_ControllerDiscovery))
                        m_seen << describe(event);
                });
    }

    QString take()
    {
        QCoreApplication::sendPostedEvents();
        return std::exchange(m_seen, {}).join(u"; "_s);
    }

private:
    static QString describe(QEvent *event)
    {
        QString text = QString::number(int(event->type()));
        if (const auto *set = dynamic_cast<IdSetEvent *>(event)) {
            QStringList ids;
            for (const uint id : set->ids())
                ids << QString::number(id);
            text += u" {%1}"_s.arg(ids.join(u','));
        } else if (const auto *single = dynamic_cast<IdEvent *>(event)) {
            text += u' ' + QString::number(single->id());
        }
        if (const auto *added = dynamic_cast<InstallationAddedEvent *>(event))
            text += added->noSelection() ? u" quiet"_s : u" select"_s;
        if (const auto *added = dynamic_cast<InstallationGroupAddedEvent *>(event))
            text += added->noSelection() ? u" quiet"_s : u" select"_s;
        return text;
    }

    QStringList m_seen;
};

InstallationTemplatePtr templateOf(int controllers)
{
    auto result = std::make_shared<InstallationTemplate>(u"Rig"_s);
    for (int i = 0; i < controllers; ++i)
        result->appendControllerTemplate(std::make_shared<ControllerTemplate>());
    return result;
}

// Every identifier of the document, as one text to compare.
QString snapshot(const LumDocument &document)
{
    QStringList parts;
    for (const InstallationGroup *group : document.groups()) {
        QStringList installations;
        for (const uint installationId : group->installationIds()) {
            QStringList controllers;
            for (const uint controllerId : document.installation(installationId)->controllerIds())
                controllers << QString::number(controllerId);
            installations << u"%1(%2)"_s.arg(installationId).arg(controllers.join(u','));
        }
        parts << u"g%1[%2]"_s.arg(group->getId()).arg(installations.join(u' '));
    }
    parts << u"i%1 c%2"_s.arg(document.installations().count()).arg(document.controllers().count());
    return parts.join(u' ');
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private:
    QStringList m_calls;

    LumDocument &document() { return *LumApplication::instance()->document(); }
    QUndoStack &stack() { return *document().undoStack(); }
    UploadSchedule &schedule() { return document().uploadSchedule(); }

    uint pushGroup(int controllers, uint installations)
    {
        auto *add = new AddInstallationGroupCommand(templateOf(controllers));
        stack().push(add);
        const uint groupId = add->groupId();
        if (installations > 0)
            stack().push(new AddInstallationCommand(groupId, installations));
        return groupId;
    }

    // One group (3) with one installation (4) of one controller (5) whose
    // link records its calls.
    void buildRecordedRig()
    {
        InstallationTemplate rig;
        rig.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        document().insertGroup(std::make_unique<InstallationGroup>(rig), 3);
        auto installation = std::make_unique<Installation>(QList<uint>{5});
        installation->setGroupId(3);
        document().insertInstallation(std::move(installation), 4);
        document().insertController(std::make_unique<RecordingController>(&m_calls), 5);
        document().controller(5)->setInstallationId(4);
        m_calls.clear();
    }

private slots:
    void initTestCase() { LumApplication::create(this); }
    void init() { document().reset(); }

    void undoingAndRedoingAdditionsKeepsEveryIdentifier()
    {
        EventTextRecorder events;
        pushGroup(1, 1);
        pushGroup(3, 2);
        const QString before = snapshot(document());
        QCOMPARE(before, u"g0[0(0)] g1[1(1,2,3) 2(4,5,6)] i3 c7"_s);
        QCOMPARE(events.take(),
                 u"1002 0 select; 1006 {0} select; 1002 1 select; 1006 {1,2} select"_s);

        stack().undo();
        stack().undo();
        QCOMPARE(snapshot(document()), u"g0[0(0)] i1 c1"_s);
        QCOMPARE(events.take(), u"1007 {1,2}; 1003 1"_s);
        // Something else takes nothing of theirs: the stack runs in order.
        stack().redo();
        stack().redo();
        QCOMPARE(snapshot(document()), before);
        QCOMPARE(events.take(), u"1002 1 quiet; 1006 {1,2} quiet"_s);
        QVERIFY(document().isInstallationExpanded(1) && document().isInstallationExpanded(2));
    }

    void removingAGroupRestoresItsInstallationsInOrderAndItsSchedule()
    {
        const uint groupId = pushGroup(2, 3);
        // A display order that is not the identifier order.
        document().group(groupId)->setInstallationIds({2, 0, 1});
        document().setGroupExpanded(groupId, true);
        document().setInstallationExpanded(0, false);
        const QDateTime soon = QDateTime::currentDateTime().addSecs(3600);
        const QDateTime later = soon.addDays(1);
        schedule().schedule(1, soon);
        schedule().schedule(4, later);
        const QString before = snapshot(document());

        EventTextRecorder events;
        stack().push(new RemoveInstallationGroupCommand(groupId));
        QCOMPARE(snapshot(document()), u"i0 c0"_s);
        QVERIFY(schedule().isEmpty());
        QCOMPARE(events.take(), u"1003 0; 1012"_s);

        stack().undo();
        QCOMPARE(snapshot(document()), before); // the installations in their order
        QVERIFY(document().isGroupExpanded(groupId));
        QVERIFY(!document().isInstallationExpanded(0));
        QVERIFY(document().isInstallationExpanded(1));
        QCOMPARE(schedule().scheduledTime(1), soon);
        QCOMPARE(schedule().scheduledTime(4), later);
        QCOMPARE(events.take(), u"1002 0 quiet; 1012"_s);

        // Without scheduled controllers the schedule is not announced.
        schedule().clear();
        stack().redo();
        QCOMPARE(events.take(), u"1003 0"_s);
    }

    void removingAnInstallationPutsItBackInItsPlace()
    {
        pushGroup(1, 3);
        schedule().schedule(1, QDateTime::currentDateTime().addSecs(60));
        EventTextRecorder events;
        stack().push(new RemoveInstallationCommand(1));
        QCOMPARE(snapshot(document()), u"g0[0(0) 2(2)] i2 c2"_s);
        QVERIFY(!schedule().isScheduled(1));
        QCOMPARE(events.take(), u"1007 {1}; 1012"_s);
        stack().undo();
        const QString whole = u"g0[0(0) 1(1) 2(2)] i3 c3"_s;
        QCOMPARE(snapshot(document()), whole);
        QVERIFY(schedule().isScheduled(1));
        QCOMPARE(events.take(), u"1006 {1} quiet; 1012"_s);

        // Removing several in one step and undoing it keeps the order too;
        // the removed objects live and die with their command.
        QSignalSpy destroyed(document().controller(0), &QObject::destroyed);
        stack().beginMacro(u"Remove Installation"_s);
        stack().push(new RemoveInstallationCommand(0));
        stack().push(new RemoveInstallationCommand(2));
        stack().endMacro();
        QCOMPARE(snapshot(document()), u"g0[1(1)] i1 c1"_s);
        stack().undo();
        QCOMPARE(snapshot(document()), whole);
        stack().redo();
        QCOMPARE(destroyed.size(), 0);
        stack().clear();
        QCOMPARE(destroyed.size(), 1);
    }

    void additionsWithoutRoomAddNothingAndLeaveNoStep()
    {
        const uint groupId = pushGroup(5, 0);
        EventTextRecorder events;
        stack().push(new AddInstallationCommand(groupId, 255));
        QCOMPARE(stack().count(), 1);
        QCOMPARE(snapshot(document()), u"g0[] i0 c0"_s);
        QVERIFY(events.take().isEmpty());

        for (uint id = 1; id < LumDocument::TableMaximum; ++id)
            document().addGroup(*templateOf(0));
        stack().push(new AddInstallationGroupCommand(templateOf(1)));
        QCOMPARE(stack().count(), 1);
        QCOMPARE(document().groups().count(), LumDocument::TableMaximum);
    }

    // Undoing a first rename stores the default that was shown.
    void renamesUndoToWhatWasShown()
    {
        buildRecordedRig();
        stack().push(new SetInstallationNameCommand(4, u"First"_s));
        stack().push(new SetInstallationNameCommand(4, u"Second"_s));
        stack().undo();
        QCOMPARE(document().installation(4)->storedName(), u"First"_s);
        stack().undo();
        QCOMPARE(document().installation(4)->storedName(), u"Unnamed Installation"_s);
        stack().redo();
        stack().redo();
        QCOMPARE(document().installation(4)->name(), u"Second"_s);

        EventTextRecorder events;
        stack().push(new SetInstallationGroupNameCommand(3, u"Stage"_s));
        stack().undo();
        QCOMPARE(document().group(3)->installationTemplate()->name(), u"Unnamed Group"_s);
        QCOMPARE(events.take(), u"1004 3; 1004 3"_s);
    }

    // A new hostname or web port finds the controller again; the FTP port
    // plays no part in discovery.
    void addressesGoThroughTheControllersSetters()
    {
        buildRecordedRig();
        const Controller *controller = document().controller(5);
        const auto address = [controller] {
            return u"%1 %2 %3"_s.arg(controller->hostname())
                .arg(controller->httpPort())
                .arg(controller->ftpPort());
        };
        stack().push(new SetControllerHostnameCommand(5, u"10.0.0.9"_s));
        stack().push(new SetControllerHttpPortCommand(5, 8080));
        stack().push(new SetControllerFtpPortCommand(5, 2121));
        QCOMPARE(address(), u"10.0.0.9 8080 2121"_s);
        QCOMPARE(m_calls.join(u' '), u"cancel 5 discover 5 cancel 5 discover 5 cancel 5"_s);
        m_calls.clear();
        stack().undo();
        stack().undo();
        stack().undo();
        QCOMPARE(address(), u"0.0.0.0 80 21"_s);
        QCOMPARE(m_calls.join(u' '), u"cancel 5 cancel 5 discover 5 cancel 5 discover 5"_s);
    }

    // Any other kind of password changes nothing.
    void passwordsOfEachKind()
    {
        buildRecordedRig();
        stack().push(new SetPasswordCommand(SetPasswordCommand::Kind_InstallationGroup, 3, u"g"_s));
        stack().push(new SetPasswordCommand(SetPasswordCommand::Kind_Installation, 4, u"i"_s));
        stack().push(new SetPasswordCommand(SetPasswordCommand::Kind_Controller, 5, u"c"_s));
        stack().push(new SetPasswordCommand(7, 5, u"x"_s));
        QCOMPARE(document().group(3)->password() + document().installation(4)->password() +
                     document().controller(5)->password(),
                 u"gic"_s);
        for (int i = 0; i < 4; ++i)
            stack().undo();
        QVERIFY(!document().hasEntityPasswords());
    }

    void aNewTemplateIsAnnouncedAndReachesTheControllers()
    {
        buildRecordedRig();
        const InstallationTemplatePtr old = document().group(3)->installationTemplate();
        InstallationTemplatePtr replacement = old->deepCopy();
        replacement->controllerTemplates()[0]->setName(u"new"_s);
        EventTextRecorder events;
        stack().push(new SetInstallationTemplateCommand(3, replacement));
        QCOMPARE(document().group(3)->installationTemplate(), replacement);
        QCOMPARE(document().controller(5)->controllerTemplate()->name(), u"new"_s);
        QCOMPARE(events.take(), u"1005 3"_s);
        stack().undo();
        QCOMPARE(document().group(3)->installationTemplate(), old);
        QVERIFY(document().controller(5)->controllerTemplate()->name().isEmpty());
        QCOMPARE(events.take(), u"1005 3"_s);
    }

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

RW_TEST_MAIN(TestCommands)
#include "tst_commands.moc"
