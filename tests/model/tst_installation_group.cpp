#include "change_event_recorder.h"
#include "installation_group.h"
#include "test_main.h"

class TestInstallationGroup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }

    void emptyNamesFallBackToTheDefault()
    {
        InstallationGroup group;
        QVERIFY(group.installationTemplate()->name().isEmpty());
        QCOMPARE(group.name(), QStringLiteral("Unnamed Group"));
        group.setName(QStringLiteral("Stage"));
        QCOMPARE(group.name(), QStringLiteral("Stage"));
        QCOMPARE(group.installationTemplate()->name(), QStringLiteral("Stage"));
        group.setName(QString());
        QCOMPARE(group.name(), QStringLiteral("Unnamed Group"));
    }

    void renamingIsPostedWithTheGroupIdentifier()
    {
        SortVector<InstallationGroup> groups(256, 1024);
        groups.insert(std::make_unique<InstallationGroup>(), 5);
        ChangeEventRecorder recorder;
        groups.at(5)->setName(QStringLiteral("Foyer"));
        QVERIFY(recorder.seen().isEmpty()); // posted, not sent
        QCOMPARE(recorder.take(),
                 (ChangeEventRecorder::Seen{{Event_InstallationGroupChanged, 5u}}));
    }

    void aGroupOwnsACopyOfItsTemplate()
    {
        InstallationTemplate source(QStringLiteral("Stage"));
        source.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        InstallationGroup group(source);
        QCOMPARE(group.name(), QStringLiteral("Stage"));
        QCOMPARE(group.installationTemplate()->controllerTemplates().size(), 1);
        QVERIFY(group.installationTemplate()->controllerTemplates()[0] !=
                source.controllerTemplates()[0]);

        group.setName(QStringLiteral("Renamed"));
        QCOMPARE(source.name(), QStringLiteral("Stage"));
    }

    void installationsKeepTheirOrder()
    {
        InstallationGroup group;
        group.appendInstallationId(4);
        group.appendInstallationId(1);
        group.appendInstallationId(9);
        group.removeInstallationId(1);
        QCOMPARE(group.installationIds(), (QList<uint>{4, 9}));
        group.appendInstallationId(1);
        QCOMPARE(group.installationIds(), (QList<uint>{4, 9, 1}));
    }
};

RW_TEST_MAIN(TestInstallationGroup)
#include "tst_installation_group.moc"
