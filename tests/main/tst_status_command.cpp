// rigwarden-cli status against rigwarden-sim.

#include "cli_fixture.h"
#include "fake_controller_http.h"
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
        Simulator simulator({u"-n"_s, u"2"_s, u"--fault"_s, u"1:wrong-type"_s});
        QVERIFY(simulator.isValid());
        Rig rig;
        const quint16 absent = closedPort();
        const QString project =
            rig.project(u"three.lmp"_s, {{simulator.httpPort(0), simulator.ftpPort(0)},
                                         {simulator.httpPort(1), simulator.ftpPort(1)},
                                         {absent, absent}});
        QVERIFY(!project.isEmpty());

        const Finished all = runCli({u"status"_s, project});
        QCOMPARE(all.exitCode, 1);
        const QStringList lines = all.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), u"0\tSite 1\tLights\t127.0.0.1:%1\tfound\tNX1\t99.0.0\t-\t-"_s.arg(
                                  simulator.httpPort(0)));
        const QStringList wrong = lines.at(1).split(u'\t');
        QCOMPARE(wrong.size(), 9);
        QCOMPARE(wrong.at(4), u"wrong type"_s);
        QVERIFY(wrong.at(5) != u"NX1"_s && wrong.at(5) != u"-"_s);
        QCOMPARE(lines.at(2),
                 u"2\tSite 3\tLights\t127.0.0.1:%1\tnot found\t-\t-\t-\t-"_s.arg(absent));
        QVERIFY(all.err.isEmpty());

        QCOMPARE(runCli({u"upload"_s, project, u"--controller=0"_s}).exitCode, 0);
        const Finished one = runCli({u"status"_s, project, u"--controller"_s, u"0"_s});
        QCOMPARE(one.exitCode, 0);
        QCOMPARE(one.out, u"0\tSite 1\tLights\t127.0.0.1:%1\tfound\tNX1\t99.0.0\t"
                          "Project 00112233\t00112233-4455-6677-8899-aabbccddeeff\n"_s.arg(
                              simulator.httpPort(0)));
    }

    // What a controller says never breaks the one-line-per-controller form.
    void aControllerCannotAddLines()
    {
        FakeControllerHttp http;
        QByteArray answer = FakeControllerHttp::status(1);
        answer.replace("</response>",
                       "<projectName>Show&#10;7&#9;Fake&#13;</projectName></response>");
        http.answer("/query/system", answer);
        Rig rig;
        const QString project = rig.project(u"one.lmp"_s, {{http.port(), closedPort()}});
        QVERIFY(!project.isEmpty());
        CliProcess status({u"status"_s, project});
        QVERIFY(QTest::qWaitFor([&] { return !status.isRunning(); }, 20000));
        status.waitForFinished(); // collects the last output
        QCOMPARE(status.outLines().size(), 1);
        QCOMPARE(status.outLines().first().split(u'\t').value(7), u"Show 7 Fake "_s);
    }
};

RW_TEST_MAIN(TestStatusCommand)
#include "tst_status_command.moc"
