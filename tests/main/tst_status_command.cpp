// rigwarden-cli status against rigwarden-sim.

#include "cli_fixture.h"
#include "test_main.h"

using namespace CliFixture;

class TestStatusCommand : public QObject
{
    Q_OBJECT

private slots:
    // Found, wrong type and not found, each on its own line; a controller
    // that runs the uploaded show names it.
    void printsWhatEachControllerReports()
    {
        Simulator simulator({QStringLiteral("-n"), QStringLiteral("2"), QStringLiteral("--fault"),
                             QStringLiteral("1:wrong-type")});
        QVERIFY(simulator.isValid());
        Rig rig;
        const quint16 absent = closedPort();
        const QString project =
            rig.project(QStringLiteral("three.lmp"), {{simulator.httpPort(0), simulator.ftpPort(0)},
                                                      {simulator.httpPort(1), simulator.ftpPort(1)},
                                                      {absent, absent}});
        QVERIFY(!project.isEmpty());

        const Finished all = runCli({QStringLiteral("status"), project});
        QCOMPARE(all.exitCode, 1);
        const QStringList lines = all.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0),
                 QStringLiteral("0\tSite 1\tLights\t127.0.0.1:%1\tfound\tNX1\t99.0.0\t-\t-")
                     .arg(simulator.httpPort(0)));
        const QStringList wrong = lines.at(1).split(QLatin1Char('\t'));
        QCOMPARE(wrong.size(), 9);
        QCOMPARE(wrong.at(4), QStringLiteral("wrong type"));
        QVERIFY(wrong.at(5) != QStringLiteral("NX1") && wrong.at(5) != QStringLiteral("-"));
        QCOMPARE(
            lines.at(2),
            QStringLiteral("2\tSite 3\tLights\t127.0.0.1:%1\tnot found\t-\t-\t-\t-").arg(absent));
        QVERIFY(all.err.isEmpty());

        QCOMPARE(
            runCli({QStringLiteral("upload"), project, QStringLiteral("--controller=0")}).exitCode,
            0);
        const Finished one = runCli({QStringLiteral("status"), project,
                                     QStringLiteral("--controller"), QStringLiteral("0")});
        QCOMPARE(one.exitCode, 0);
        QCOMPARE(one.out, QStringLiteral("0\tSite 1\tLights\t127.0.0.1:%1\tfound\tNX1\t99.0.0\t"
                                         "Project 00112233\t00112233-4455-6677-8899-aabbccddeeff\n")
                              .arg(simulator.httpPort(0)));
    }
};

RW_TEST_MAIN(TestStatusCommand)
#include "tst_status_command.moc"
