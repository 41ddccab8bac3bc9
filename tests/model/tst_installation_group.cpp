#include "change_event_recorder.h"
#include "installation_group.h"
#include "test_main.h"

class TestInstallationGroup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }

    void renamingFallsBackAndIsPosted()
    {
        SortVector<InstallationGroup> groups(256, 1024);
        groups.insert(std::make_unique<InstallationGroup>(), 5);
        InstallationGroup *group = groups.at(5);
        QCOMPARE(group->name(), QStringLiteral("Unnamed Group"));
        ChangeEventRecorder recorder;
        group->setName(QStringLiteral("Stage"));
        QCOMPARE(group->installationTemplate()->name(), QStringLiteral("Stage"));
        QVERIFY(recorder.seen.isEmpty()); // posted, not sent
        QCOMPARE(recorder.take(),
                 (ChangeEventRecorder::Seen{{Event_InstallationGroupChanged, 5u}}));
        group->setName(QString());
        QCOMPARE(group->name(), QStringLiteral("Unnamed Group"));
    }

    void aGroupOwnsACopyOfItsTemplate()
    {
        InstallationTemplate source(QStringLiteral("Stage"));
        source.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        InstallationGroup group(source);
        QCOMPARE(group.installationTemplate()->controllerTemplates().size(), 1);
        QVERIFY(group.installationTemplate()->controllerTemplates()[0] !=
                source.controllerTemplates()[0]);
        group.setName(QStringLiteral("Renamed"));
        QCOMPARE(source.name(), QStringLiteral("Stage"));
    }
};

RW_TEST_MAIN(TestInstallationGroup)
#include "tst_installation_group.moc"
