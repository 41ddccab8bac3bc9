#include "installation_template.h"
#include "lum_application.h"
#include "lum_document.h"
#include "test_main.h"
#include "upload_feedback.h"
#include "upload_report.h"

#include <QHostInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {
constexpr uint ShowId = 0xFFFFFFFF;

// Writes down every signal of a feedback object, in the order they come.
class SignalLog
{
public:
    explicit SignalLog(UploadFeedback &feedback)
    {
        QObject::connect(&feedback, qOverload<uint>(&UploadFeedback::stateChanged),
                         [this](uint id) { m_lines << u"state %1"_s.arg(id); });
        QObject::connect(&feedback, &UploadFeedback::messageChanged,
                         [this](uint id) { m_lines << u"message %1"_s.arg(id); });
        QObject::connect(&feedback, qOverload<uint, uint, MediaType>(&UploadFeedback::stateChanged),
                         [this](uint id, uint media, MediaType type) {
                             m_lines << u"fileState %1 %2 %3"_s.arg(id).arg(media).arg(type);
                         });
        QObject::connect(&feedback, &UploadFeedback::progressChanged,
                         [this](uint id, uint media, MediaType type) {
                             m_lines << u"progress %1 %2 %3"_s.arg(id).arg(media).arg(type);
                         });
    }
    QStringList take() { return std::exchange(m_lines, {}); }

private:
    QStringList m_lines;
};
} // namespace

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

    // A file at Verifying with the message "earlier" and 500 of 1000 bytes sent
    // changes state; a null message leaves the stored one alone.
    void fileStateChangesAnnounceWhatChanged_data()
    {
        QTest::addColumn<UploadState>("state");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("progressSignalled"); // before the state signal
        QTest::addColumn<quint64>("bytesSent");
        QTest::addColumn<uint>("failures");
        QTest::addColumn<QString>("storedMessage");
        const QString earlier = u"earlier"_s;
        const quint64 none = UploadFeedback::NoProgress;
        QTest::newRow("uploading clears the message")
            << UploadState_Uploading << u"ignored"_s << true << quint64(500) << 0u << QString();
        QTest::newRow("attempt error, no message")
            << UploadState_AttemptError << QString() << false << none << 1u << earlier;
        QTest::newRow("complete keeps progress and message")
            << UploadState_Complete << QString() << false << quint64(500) << 0u << earlier;
        QTest::newRow("an empty message clears it")
            << UploadState_Verifying << u""_s << true << quint64(500) << 0u << u""_s;
    }
    void fileStateChangesAnnounceWhatChanged()
    {
        QFETCH(UploadState, state);
        QFETCH(QString, message);
        QFETCH(bool, progressSignalled);
        QFETCH(quint64, bytesSent);
        QFETCH(uint, failures);
        QFETCH(QString, storedMessage);
        UploadFeedback feedback;
        feedback.addFile(4, 2, MediaType_Video, 1000);
        feedback.setFileState(4, 2, MediaType_Video, UploadState_Verifying, u"earlier"_s);
        feedback.setFileProgress(4, 2, MediaType_Video, 500);
        SignalLog log(feedback);

        feedback.setFileState(4, 2, MediaType_Video, state, message);
        const QStringList emitted{u"progress 4 2 2"_s, u"fileState 4 2 2"_s};
        QCOMPARE(log.take(), progressSignalled ? emitted : emitted.mid(1));
        const auto file = feedback.file(4, 2, MediaType_Video);
        QVERIFY(file.has_value());
        QCOMPARE(file->state, state);
        QCOMPARE(file->bytesSent, bytesSent);
        QCOMPARE(file->totalBytes, quint64(1000));
        QCOMPARE(file->message, storedMessage);
        QCOMPARE(file->message.isNull(), storedMessage.isNull());
        QCOMPARE(feedback.failureCount(4), failures);
    }

    void cancellingSendsUnfinishedFilesBackToRest()
    {
        UploadFeedback feedback;
        feedback.addFile(1, ShowId, MediaType_Show, 100);
        feedback.addFile(1, 3, MediaType_Audio, 100);
        feedback.addFile(1, 3, MediaType_Video, 100);
        feedback.addFile(1, 0, MediaType_Video, 100);
        feedback.setFileState(1, ShowId, MediaType_Show, UploadState_Uploading);
        feedback.setFileProgress(1, ShowId, MediaType_Show, 40);
        feedback.setFileState(1, 3, MediaType_Audio, UploadState_Complete);
        feedback.setFileProgress(1, 3, MediaType_Audio, 100);
        feedback.setFileState(1, 3, MediaType_Video, UploadState_Pending);
        feedback.setFileState(1, 0, MediaType_Video, UploadState_Error, u"File not found"_s);
        feedback.setState(1, UploadState_Uploading, QString());
        SignalLog log(feedback);

        feedback.setState(1, UploadState_Cancelled, u"Cancelled"_s);

        // Files in key order: by slot, then media type; the show file last.
        QCOMPARE(
            log.take(),
            (QStringList{u"fileState 1 3 2"_s, u"progress 1 3 3"_s, u"fileState 1 4294967295 1"_s,
                         u"progress 1 4294967295 1"_s, u"state 1"_s, u"message 1"_s}));
        QCOMPARE(feedback.file(1, ShowId, MediaType_Show)->state, UploadState_None);
        QCOMPARE(feedback.file(1, ShowId, MediaType_Show)->bytesSent, UploadFeedback::NoProgress);
        QCOMPARE(feedback.file(1, 3, MediaType_Video)->state, UploadState_None);
        QCOMPARE(feedback.file(1, 3, MediaType_Audio)->state, UploadState_Complete);
        QCOMPARE(feedback.file(1, 3, MediaType_Audio)->bytesSent, UploadFeedback::NoProgress);
        QCOMPARE(feedback.file(1, 0, MediaType_Video)->state, UploadState_Error);
        QCOMPARE(feedback.message(1), u"Cancelled"_s);
    }

    void resetAndClearForgetSilently()
    {
        UploadFeedback feedback;
        feedback.addFile(1, 1, MediaType_Video, 10);
        feedback.setFileState(1, 1, MediaType_Video, UploadState_AttemptError);
        feedback.setState(1, UploadState_Retrying, u"Retrying"_s);
        feedback.setState(2, UploadState_Uploading, QString());
        SignalLog log(feedback);
        feedback.setFileState(1, 2, MediaType_Video, UploadState_Uploading); // never added
        feedback.setFileProgress(1, 2, MediaType_Video, 5);
        feedback.reset(1);
        QCOMPARE(feedback.state(1), UploadState_None);
        QCOMPARE(feedback.failureCount(1), 0u);
        QVERIFY(!feedback.file(1, 1, MediaType_Video).has_value());
        QCOMPARE(feedback.activeCount(), 1);
        QVERIFY(feedback.isUploading(2));
        feedback.clear();
        QCOMPARE(feedback.activeCount(), 0);
        QVERIFY(log.take().isEmpty());
    }

    void overallProgressCountsFilesThatShowProgress()
    {
        UploadFeedback feedback;
        QCOMPARE(feedback.overallProgress(), -1);
        feedback.addFile(1, 1, MediaType_Video, 100);
        feedback.addFile(1, 2, MediaType_Video, 5000); // not started: no progress
        QCOMPARE(feedback.overallProgress(), -1);
        feedback.setFileProgress(1, 1, MediaType_Video, 50);
        feedback.addFile(2, ShowId, MediaType_Show, 300);
        feedback.setFileProgress(2, ShowId, MediaType_Show, 149);
        QCOMPARE(feedback.overallProgress(), 49); // 199 of 400, rounded down
        feedback.setFileProgress(1, 1, MediaType_Video, 1000);
        QCOMPARE(feedback.overallProgress(), 100);
        feedback.addFile(3, 1, MediaType_Audio, 0);
        feedback.setFileProgress(3, 1, MediaType_Audio, 0);
        feedback.setState(1, UploadState_Cancelled, QString());
        feedback.setState(2, UploadState_Error, QString());
        QCOMPARE(feedback.overallProgress(), -1);
    }
};

RW_TEST_MAIN(TestUploadReport)
#include "tst_upload_report.moc"
