// The upload runs' application over the link fixture, reset before each test.

#pragma once

#include "fake_controller_http.h"
#include "link_fixture.h"
#include "test_main.h"

#include <QSignalSpy>

using namespace LinkFixture;
using namespace Qt::StringLiterals;

// A controller whose HTTP side takes the connection and never answers.
inline uint silentController(FakeControllerHttp &silent)
{
    silent.setBehaviour("/query/system", FakeControllerHttp::Behaviour_Silent);
    return addControllerAt(ShowFolder().controllerTemplate(), silent.port());
}

// Reports mailed to ops@example.com through the server at `port` of 127.0.0.1.
inline MailSettings mailTo(quint16 port)
{
    MailSettings settings;
    settings.enabled = true;
    settings.server = u"127.0.0.1"_s;
    settings.port = port;
    settings.recipients = QStringList{u"ops@example.com"_s};
    return settings;
}

class UploadRunsScene : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }

    void init()
    {
        resetApplication();
        runs()->setDiscoveryWait(UploadRuns::DefaultDiscoveryWaitMsec);
    }
};
