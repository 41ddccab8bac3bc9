#include "change_event_recorder.h"
#include "installation.h"
#include "test_main.h"

class TestInstallation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }

    void renamingFallsBackAndIsPosted()
    {
        SortVector<Installation> installations(256, 1024);
        installations.insert(std::make_unique<Installation>(QList<uint>{3, 4}), 12);
        Installation *installation = installations.at(12);
        QCOMPARE(installation->groupId(), Installation::NoGroup);
        QCOMPARE(installation->name(), QStringLiteral("Unnamed Installation"));
        ChangeEventRecorder recorder;
        installation->setName(QStringLiteral("Left tower"));
        QCOMPARE(installation->name(), QStringLiteral("Left tower"));
        QVERIFY(recorder.seen.isEmpty()); // posted, not sent
        QCOMPARE(recorder.take(), (ChangeEventRecorder::Seen{{Event_InstallationChanged, 12u}}));
        installation->setName(QString());
        QCOMPARE(installation->name(), QStringLiteral("Unnamed Installation"));
        QVERIFY(installation->storedName().isEmpty());
    }
};

RW_TEST_MAIN(TestInstallation)
#include "tst_installation.moc"
