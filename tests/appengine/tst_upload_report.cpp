#include "fatal_probe.h"
#include "installation_template.h"
#include "lum_application.h"
#include "lum_document.h"
#include "test_main.h"
#include "upload_report.h"

#include <QHostInfo>
#include <QRegularExpression>

class TestUploadReport : public QObject
{
    Q_OBJECT

    QList<uint> m_controllers;

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        LumDocument *document = LumApplication::instance()->document();
        InstallationTemplate installationTemplate;
        auto named = std::make_shared<ControllerTemplate>();
        named->setName(QStringLiteral("Stage left"));
        auto unnamed = std::make_shared<ControllerTemplate>();
        unnamed->setNumber(2);
        installationTemplate.appendControllerTemplate(named);
        installationTemplate.appendControllerTemplate(unnamed);
        const uint groupId = document->addGroup(installationTemplate);
        const uint installationId = document->addInstallation(groupId);
        document->installation(installationId)->setName(QStringLiteral("Lobby"));
        m_controllers = document->installation(installationId)->controllerIds();
        // Nothing listens there: discovery ends at once.
        for (int i = 0; i < 2; ++i) {
            Controller *controller = document->controller(m_controllers.at(i));
            controller->setHttpPort(1);
            controller->setHostname(QStringLiteral("127.0.0.%1").arg(i + 1));
        }
    }

    void identifiersCountUp()
    {
        const LumDocument *document = LumApplication::instance()->document();
        UploadReport first(document, {m_controllers.first()}, true);
        UploadReport second(document, {m_controllers.first()}, false);
        QCOMPARE(second.id(), first.id() + 1);
        QVERIFY(first.isManual());
        QVERIFY(!second.isManual());
    }

    void textLayout()
    {
        UploadReport report(LumApplication::instance()->document(),
                            {m_controllers.at(0), m_controllers.at(1)}, true);
        const QDateTime start(QDate(2013, 11, 5), QTime(14, 3, 59));
        report.setStartTime(start);
        report.setResult(m_controllers.at(0), UploadReport::State_Success,
                         QStringLiteral("Upload succeeded"));
        report.setResult(m_controllers.at(1), UploadReport::State_Failed, QString());
        const QStringList lines = report.text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines.at(0),
                 QStringLiteral("This report was generated on %1/%2 by Lumora Rigwarden v%3")
                     .arg(QHostInfo::localDomainName(), QHostInfo::localHostName(),
                          QStringLiteral(RW_VERSION_TEXT)));
        QCOMPARE(lines.at(1), QString());
        QCOMPARE(lines.at(2), QStringLiteral("Upload started at Tue Nov 5 14:03:59 2013"));
        QCOMPARE(lines.at(3), QString());
        const QString time = QStringLiteral(" - \\w{3} \\w{3} +\\d+ \\d\\d:\\d\\d:\\d\\d \\d{4}$");
        QVERIFY2(QRegularExpression(QStringLiteral("^  SUCCESS - Lobby - Stage left - 127.0.0.1 - "
                                                   "Upload succeeded") +
                                    time)
                     .match(lines.at(4))
                     .hasMatch(),
                 qPrintable(lines.at(4)));
        // No message: no message part.
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^   FAILED - Lobby - Controller 2 - 127.0.0.2") + time)
                     .match(lines.at(5))
                     .hasMatch(),
                 qPrintable(lines.at(5)));
        QVERIFY(!report.text().endsWith(QLatin1Char('\n')));
    }

    void completion_data()
    {
        QTest::addColumn<QList<int>>("results"); // of the first, second, first... controller
        QTest::addColumn<bool>("complete");
        QTest::addColumn<int>("failed");
        QTest::newRow("one of two") << QList<int>{UploadReport::State_Success} << false << 0;
        QTest::newRow("cancelled and ignored are no failures")
            << QList<int>{UploadReport::State_Cancelled, UploadReport::State_Ignored} << true << 0;
        QTest::newRow("a failure")
            << QList<int>{UploadReport::State_Success, UploadReport::State_Failed} << true << 1;
        // One controller reporting twice does not complete a run of two.
        QTest::newRow("twice from one controller")
            << QList<int>{UploadReport::State_Failed, -1, UploadReport::State_Cancelled} << false
            << 0;
        QTest::newRow("taken back")
            << QList<int>{UploadReport::State_Success, -1, UploadReport::State_None} << false << 0;
    }
    void completion()
    {
        QFETCH(QList<int>, results);
        QFETCH(bool, complete);
        QFETCH(int, failed);
        UploadReport report(LumApplication::instance()->document(),
                            {m_controllers.at(0), m_controllers.at(1)}, false);
        int controller = 0;
        for (const int result : results) {
            if (result < 0) { // the next result is the first controller's again
                controller = 0;
                continue;
            }
            report.setResult(m_controllers.at(controller), UploadReport::State(result), QString());
            controller = 1 - controller;
        }
        QCOMPARE(report.isComplete(), complete);
        QCOMPARE(report.failedCount(), failed);
    }

    void wordsOfTheResults()
    {
        QCOMPARE(UploadReport::stateWord(UploadReport::State_None), QStringLiteral("         "));
        QCOMPARE(UploadReport::stateWord(UploadReport::State_Cancelled),
                 QStringLiteral("CANCELLED"));
        QCOMPARE(UploadReport::stateWord(UploadReport::State_Ignored), QStringLiteral("  IGNORED"));
        RW_EXPECT_FATAL(UploadReport::stateWord(UploadReport::State_MAX),
                        "Assert: 'state < State_MAX' is FALSE");
    }
};

RW_TEST_MAIN(TestUploadReport)
#include "tst_upload_report.moc"
