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
