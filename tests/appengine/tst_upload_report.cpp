#include "installation_template.h"
#include "lum_application.h"
#include "lum_document.h"
#include "test_main.h"
#include "upload_report.h"

#include <QHostInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

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
        named->setName(u"Stage left"_s);
        auto unnamed = std::make_shared<ControllerTemplate>();
        unnamed->setNumber(2);
        installationTemplate.appendControllerTemplate(named);
        installationTemplate.appendControllerTemplate(unnamed);
        const uint groupId = document->addGroup(installationTemplate);
        const uint installationId = document->addInstallation(groupId);
        document->installation(installationId)->setName(u"Lobby"_s);
        m_controllers = document->installation(installationId)->controllerIds();
        // Nothing listens there: discovery ends at once.
        for (int i = 0; i < 2; ++i) {
            Controller *controller = document->controller(m_controllers.at(i));
            controller->setHttpPort(1);
            controller->setHostname(u"127.0.0.%1"_s.arg(i + 1));
        }
    }

    // No message: no message part. No line feed at the end.
    void textLayout()
    {
        UploadReport report(LumApplication::instance()->document(),
                            {m_controllers.at(0), m_controllers.at(1)}, true);
        report.setStartTime(QDateTime(QDate(2013, 11, 5), QTime(14, 3, 59)));
        report.setResult(m_controllers.at(0), UploadReport::State_Success, u"Upload succeeded"_s);
        report.setResult(m_controllers.at(1), UploadReport::State_Failed, QString());
        const auto escaped = [](const QString &text) { return QRegularExpression::escape(text); };
        const QString time = u" - \\w{3} \\w{3} +\\d+ \\d\\d:\\d\\d:\\d\\d \\d{4}"_s;
        const QRegularExpression expected(QRegularExpression::anchoredPattern(
            escaped(u"This report was generated on %1/%2 by Lumora Rigwarden v%3\n\n"
                    "Upload started at Tue Nov 5 14:03:59 2013\n\n"
                    "  SUCCESS - Lobby - Stage left - 127.0.0.1 - Upload succeeded"_s.arg(
                        QHostInfo::localDomainName(), QHostInfo::localHostName(),
                        QStringLiteral(RW_VERSION_TEXT))) +
            time + u"\n"_s + escaped(u"   FAILED - Lobby - Controller 2 - 127.0.0.2"_s) + time));
        QVERIFY2(expected.match(report.text()).hasMatch(), qPrintable(report.text()));
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
};

RW_TEST_MAIN(TestUploadReport)
#include "tst_upload_report.moc"
