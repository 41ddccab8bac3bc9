#include "change_event_recorder.h"
#include "installation.h"
#include "test_main.h"

class TestInstallation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }

    void newInstallationBelongsToNoGroup()
    {
        const Installation installation({3, 4, 5});
        QCOMPARE(installation.groupId(), Installation::NoGroup);
        QCOMPARE(installation.controllerIds(), (QList<uint>{3, 4, 5}));
        QVERIFY(installation.storedName().isEmpty());
        QVERIFY(installation.password().isEmpty());
    }

    void emptyNamesFallBackToTheDefault()
    {
        Installation installation({});
        QCOMPARE(installation.name(), QStringLiteral("Unnamed Installation"));
        installation.setName(QStringLiteral("Left tower"));
        QCOMPARE(installation.name(), QStringLiteral("Left tower"));
        installation.setName(QString());
        QCOMPARE(installation.name(), QStringLiteral("Unnamed Installation"));
        QVERIFY(installation.storedName().isEmpty());
    }

    void renamingIsPostedWithTheInstallationIdentifier()
    {
        SortVector<Installation> installations(256, 1024);
        installations.insert(std::make_unique<Installation>(QList<uint>{}), 12);
        ChangeEventRecorder recorder;
        installations.at(12)->setName(QStringLiteral("Right tower"));
        QVERIFY(recorder.seen().isEmpty()); // posted, not sent
        QCOMPARE(recorder.take(), (ChangeEventRecorder::Seen{{Event_InstallationChanged, 12u}}));
    }
};

RW_TEST_MAIN(TestInstallation)
#include "tst_installation.moc"
