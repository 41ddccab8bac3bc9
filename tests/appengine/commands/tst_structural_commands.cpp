// Adding and removing groups and installations through the undo stack:
// identifiers, order, expansion and schedule entries come back as they were.

#include "add_installation_command.h"
#include "add_installation_group_command.h"
#include "event_text_recorder.h"
#include "lum_document.h"
#include "remove_installation_command.h"
#include "remove_installation_group_command.h"
#include "test_main.h"

#include <QSignalSpy>
#include <QUndoStack>

using namespace Qt::StringLiterals;

namespace {

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
            installations
                << u"%1(%2)"_s.arg(installationId).arg(controllers.join(QLatin1Char(',')));
        }
        parts << u"g%1[%2]"_s.arg(group->getId()).arg(installations.join(QLatin1Char(' ')));
    }
    parts << u"i%1 c%2"_s.arg(document.installations().count()).arg(document.controllers().count());
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestStructuralCommands : public QObject
{
    Q_OBJECT

private:
    LumDocument *m_document = nullptr;

    LumDocument &document() { return *m_document; }
    QUndoStack &stack() { return *m_document->undoStack(); }

    uint pushGroup(int controllers, uint installations)
    {
        auto *add = new AddInstallationGroupCommand(templateOf(controllers));
        stack().push(add);
        const uint groupId = add->groupId();
        if (installations > 0)
            stack().push(new AddInstallationCommand(groupId, installations));
        return groupId;
    }

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        m_document = LumApplication::instance()->document();
    }

    void init() { document().reset(); }

    void undoingAndRedoingAdditionsKeepsEveryIdentifier()
    {
        EventTextRecorder events;
        const uint other = pushGroup(1, 1);
        const uint groupId = pushGroup(3, 2);
        QCOMPARE(groupId, 1u);
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
        Q_UNUSED(other);
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
        document().uploadSchedule().schedule(1, soon);
        document().uploadSchedule().schedule(4, later);
        const QString before = snapshot(document());

        EventTextRecorder events;
        stack().push(new RemoveInstallationGroupCommand(groupId));
        QVERIFY(document().groups().isEmpty() && document().controllers().isEmpty());
        QVERIFY(document().uploadSchedule().isEmpty());
        QCOMPARE(events.take(), u"1003 0; 1012"_s);

        stack().undo();
        QCOMPARE(snapshot(document()), before);
        QCOMPARE(document().group(groupId)->installationIds(), (QList<uint>{2, 0, 1}));
        QVERIFY(document().isGroupExpanded(groupId));
        QVERIFY(!document().isInstallationExpanded(0));
        QVERIFY(document().isInstallationExpanded(1));
        QCOMPARE(document().uploadSchedule().scheduledTime(1), soon);
        QCOMPARE(document().uploadSchedule().scheduledTime(4), later);
        QCOMPARE(events.take(), u"1002 0 quiet; 1012"_s);

        // Without scheduled controllers the schedule is not announced.
        document().uploadSchedule().clear();
        stack().redo();
        QCOMPARE(events.take(), u"1003 0"_s);
    }

    void removingAnInstallationPutsItBackInItsPlace()
    {
        const uint groupId = pushGroup(1, 3);
        document().uploadSchedule().schedule(1, QDateTime::currentDateTime().addSecs(60));
        EventTextRecorder events;
        stack().push(new RemoveInstallationCommand(1));
        QCOMPARE(document().group(groupId)->installationIds(), (QList<uint>{0, 2}));
        QVERIFY(!document().controllerExists(1));
        QVERIFY(!document().uploadSchedule().isScheduled(1));
        QCOMPARE(events.take(), u"1007 {1}; 1012"_s);
        stack().undo();
        QCOMPARE(document().group(groupId)->installationIds(), (QList<uint>{0, 1, 2}));
        QCOMPARE(document().installation(1)->controllerIds(), QList<uint>{1});
        QVERIFY(document().uploadSchedule().isScheduled(1));
        QCOMPARE(events.take(), u"1006 {1} quiet; 1012"_s);

        // Removing several in one step and undoing it keeps the order too.
        stack().beginMacro(u"Remove Installation"_s);
        stack().push(new RemoveInstallationCommand(0));
        stack().push(new RemoveInstallationCommand(2));
        stack().endMacro();
        QCOMPARE(document().group(groupId)->installationIds(), QList<uint>{1});
        stack().undo();
        QCOMPARE(document().group(groupId)->installationIds(), (QList<uint>{0, 1, 2}));
    }

    void additionsWithoutRoomAddNothingAndLeaveNoStep()
    {
        const uint groupId = pushGroup(5, 0);
        QCOMPARE(stack().count(), 1);
        EventTextRecorder events;
        stack().push(new AddInstallationCommand(groupId, 255));
        QCOMPARE(stack().count(), 1);
        QVERIFY(document().installations().isEmpty());
        QVERIFY(document().controllers().isEmpty());
        QVERIFY(events.take().isEmpty());

        for (uint id = 1; id < LumDocument::TableMaximum; ++id)
            document().addGroup(*templateOf(0));
        stack().push(new AddInstallationGroupCommand(templateOf(1)));
        QCOMPARE(stack().count(), 1);
        QCOMPARE(document().groups().count(), LumDocument::TableMaximum);
    }

    void removedObjectsLiveAndDieWithTheirCommand()
    {
        pushGroup(1, 1);
        QSignalSpy destroyed(document().controller(0), &QObject::destroyed);
        stack().push(new RemoveInstallationCommand(0));
        QCOMPARE(destroyed.size(), 0); // kept by the command
        stack().clear();
        QCOMPARE(destroyed.size(), 1);
    }
};

RW_TEST_MAIN(TestStructuralCommands)
#include "tst_structural_commands.moc"
