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

    // Sent events arrive before the sender goes on, posted ones when the
    // loop turns.
    void sentAndPostedEventsArrive()
    {
        postChangeEvent(new ControllerDiscoveryEvent(13));
        InstallationGroupRemovedEvent event(3);
        sendChangeEvent(event);
        QCOMPARE(m_seen, (QList<std::pair<int, IdSet>>{{1003, {3}}}));
        QCoreApplication::processEvents();
        QCOMPARE(m_seen.last(), (std::pair<int, IdSet>{1011, {13}}));
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
