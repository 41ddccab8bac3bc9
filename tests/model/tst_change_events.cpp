#include "change_events.h"
#include "lum_application.h"
#include "test_main.h"

#include <QSignalSpy>

#include <memory>

class TestChangeEvents : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<LumApplication> m_app;
    QList<std::pair<int, IdSet>> m_seen;

private slots:
    void initTestCase()
    {
        m_app.reset(LumApplication::create());
        connect(m_app.get(), &LumApplication::changeEvent, this, [this](QEvent *event) {
            IdSet ids;
            if (auto *single = dynamic_cast<IdEvent *>(event))
                ids.insert(single->id());
            if (auto *set = dynamic_cast<IdSetEvent *>(event))
                ids = set->ids();
            m_seen.append({int(event->type()), ids});
        });
    }
    void init() { m_seen.clear(); }

    void payloadIsCopiedAtConstruction()
    {
        IdSet ids{1, 4};
        InstallationAddedEvent event(ids, true);
        ids.insert(9);
        ids.erase(1);
        QCOMPARE(event.ids(), (IdSet{1, 4}));
        QVERIFY(event.noSelection());
        QCOMPARE(int(event.type()), 1006);
    }

    void sentEventsArriveBeforeTheSenderGoesOn()
    {
        InstallationGroupRemovedEvent event(3);
        sendChangeEvent(event);
        QCOMPARE(m_seen.size(), 1);
        QCOMPARE(m_seen[0].first, 1003);
        QCOMPARE(m_seen[0].second, IdSet{3});
    }

    void postedEventsArriveWhenTheLoopTurns()
    {
        postChangeEvent(new ControllerChangedEvent(12));
        postChangeEvent(new ControllerDiscoveryEvent(13));
        QVERIFY(m_seen.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(m_seen.size(), 2);
        QCOMPARE(m_seen[0].first, 1009);
        QCOMPARE(m_seen[1].first, 1011);
        QCOMPARE(m_seen[1].second, IdSet{13});
    }

    void typeNumbersAreFixed()
    {
        QCOMPARE(int(InstallationGroupAddedEvent(1, false).type()), 1002);
        QCOMPARE(int(InstallationGroupChangedEvent(1).type()), 1004);
        QCOMPARE(int(InstallationTemplateChangedEvent(1).type()), 1005);
        QCOMPARE(int(InstallationRemovedEvent({}).type()), 1007);
        QCOMPARE(int(InstallationChangedEvent(1).type()), 1008);
        QCOMPARE(int(ScheduledUploadTimeChangedEvent().type()), 1012);
    }

    void launchEventsBecomeSignals()
    {
        QSignalSpy launched(m_app.get(), &LumApplication::applicationLaunched);
        QSignalSpy dialog(m_app.get(), &LumApplication::launchDialogRequested);
        postChangeEvent(new ApplicationLaunchedEvent(QStringLiteral("/tmp/a.lmp")));
        postChangeEvent(new QEvent(QEvent::Type(Event_ShowLaunchDialog)));
        QCoreApplication::processEvents();
        QCOMPARE(launched.size(), 1);
        QCOMPARE(launched[0][0].toString(), QStringLiteral("/tmp/a.lmp"));
        QCOMPARE(dialog.size(), 1);
        QVERIFY(m_seen.isEmpty());
    }

    void unusedTypeIsConsumedWithoutEffect()
    {
        QEvent event{QEvent::Type(Event_Unused)};
        QVERIFY(QCoreApplication::sendEvent(m_app.get(), &event));
        QVERIFY(m_seen.isEmpty());
    }

    void otherTypesGoToTheBaseHandler()
    {
        QEvent event{QEvent::Type(1013)};
        QCoreApplication::sendEvent(m_app.get(), &event);
        QVERIFY(m_seen.isEmpty());
    }

    void withoutApplicationPostedEventsAreDropped()
    {
        m_app.reset();
        postChangeEvent(new ControllerChangedEvent(1)); // must neither leak nor crash
        ControllerChangedEvent sent(2);
        sendChangeEvent(sent);
        QCoreApplication::processEvents();
    }
};

RW_TEST_MAIN(TestChangeEvents)
#include "tst_change_events.moc"
