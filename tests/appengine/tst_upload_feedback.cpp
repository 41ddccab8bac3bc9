#include "fatal_probe.h"
#include "test_main.h"
#include "upload_feedback.h"

#include <QStringList>

namespace {
constexpr uint ShowId = 0xFFFFFFFF;

// Writes down every signal of a feedback object, in the order they come.
class SignalLog
{
public:
    explicit SignalLog(UploadFeedback &feedback)
    {
        QObject::connect(&feedback, qOverload<uint>(&UploadFeedback::stateChanged),
                         [this](uint id) { m_lines << QStringLiteral("state %1").arg(id); });
        QObject::connect(&feedback, &UploadFeedback::messageChanged,
                         [this](uint id) { m_lines << QStringLiteral("message %1").arg(id); });
        QObject::connect(
            &feedback, qOverload<uint, uint, MediaType>(&UploadFeedback::stateChanged),
            [this](uint id, uint media, MediaType type) {
                m_lines << QStringLiteral("fileState %1 %2 %3").arg(id).arg(media).arg(type);
            });
        QObject::connect(
            &feedback, &UploadFeedback::progressChanged,
            [this](uint id, uint media, MediaType type) {
                m_lines << QStringLiteral("progress %1 %2 %3").arg(id).arg(media).arg(type);
            });
    }
    QStringList take() { return std::exchange(m_lines, {}); }

private:
    QStringList m_lines;
};
} // namespace

class TestUploadFeedback : public QObject
{
    Q_OBJECT

private slots:
    void fileStateChangesAnnounceWhatChanged_data()
    {
        QTest::addColumn<uint>("state");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<quint64>("bytesSent");
        QTest::addColumn<uint>("failures");
        QTest::addColumn<QString>("storedMessage");

        const QStringList stateOnly{QStringLiteral("fileState 4 2 2")};
        const QStringList both{QStringLiteral("progress 4 2 2"), QStringLiteral("fileState 4 2 2")};
        const QString earlier = QStringLiteral("earlier");
        const quint64 none = UploadFeedback::NoProgress;
        QTest::newRow("pending clears the message")
            << 1u << QStringLiteral("ignored") << both << quint64(500) << 0u << QString();
        QTest::newRow("uploading") << 3u << QString() << both << quint64(500) << 0u << QString();
        QTest::newRow("attempt error, no message")
            << 4u << QString() << stateOnly << none << 1u << earlier;
        QTest::newRow("attempt error with message") << 4u << QStringLiteral("Timed out") << both
                                                    << none << 1u << QStringLiteral("Timed out");
        QTest::newRow("error with message") << 5u << QStringLiteral("File not found") << both
                                            << none << 0u << QStringLiteral("File not found");
        QTest::newRow("retrying") << 6u << QString() << both << none << 0u << earlier;
        QTest::newRow("complete keeps its progress")
            << 9u << QString() << stateOnly << quint64(500) << 0u << earlier;
        QTest::newRow("an empty message clears it")
            << 8u << QStringLiteral("") << both << quint64(500) << 0u << QStringLiteral("");
    }
    void fileStateChangesAnnounceWhatChanged()
    {
        QFETCH(uint, state);
        QFETCH(QString, message);
        QFETCH(QStringList, emitted);
        QFETCH(quint64, bytesSent);
        QFETCH(uint, failures);
        QFETCH(QString, storedMessage);

        UploadFeedback feedback;
        feedback.addFile(4, 2, MediaType_Video, 1000);
        feedback.setFileState(4, 2, MediaType_Video, UploadState_Verifying,
                              QStringLiteral("earlier"));
        feedback.setFileProgress(4, 2, MediaType_Video, 500);
        SignalLog log(feedback);

        feedback.setFileState(4, 2, MediaType_Video, UploadState(state), message);

        QCOMPARE(log.take(), emitted);
        const auto file = feedback.file(4, 2, MediaType_Video);
        QVERIFY(file.has_value());
        QCOMPARE(file->state, UploadState(state));
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
        feedback.setFileState(1, 0, MediaType_Video, UploadState_Error,
                              QStringLiteral("File not found"));
        feedback.setState(1, UploadState_Uploading, QString());
        SignalLog log(feedback);

        feedback.setState(1, UploadState_Cancelled, QStringLiteral("Cancelled"));

        // Files in key order: by slot, then media type; the show file last.
        QCOMPARE(log.take(),
                 (QStringList{QStringLiteral("fileState 1 3 2"), QStringLiteral("progress 1 3 3"),
                              QStringLiteral("fileState 1 4294967295 1"),
                              QStringLiteral("progress 1 4294967295 1"), QStringLiteral("state 1"),
                              QStringLiteral("message 1")}));
        QCOMPARE(feedback.file(1, ShowId, MediaType_Show)->state, UploadState_None);
        QCOMPARE(feedback.file(1, ShowId, MediaType_Show)->bytesSent, UploadFeedback::NoProgress);
        QCOMPARE(feedback.file(1, 3, MediaType_Video)->state, UploadState_None);
        QCOMPARE(feedback.file(1, 3, MediaType_Audio)->state, UploadState_Complete);
        QCOMPARE(feedback.file(1, 3, MediaType_Audio)->bytesSent, UploadFeedback::NoProgress);
        QCOMPARE(feedback.file(1, 0, MediaType_Video)->state, UploadState_Error);
        QCOMPARE(feedback.message(1), QStringLiteral("Cancelled"));
    }

    void failedAttemptsAreCountedUntilTheRunEnds()
    {
        UploadFeedback feedback;
        feedback.addFile(2, 1, MediaType_Video, 10);
        feedback.setFileState(2, 1, MediaType_Video, UploadState_AttemptError);
        feedback.setState(2, UploadState_Retrying, QStringLiteral("Retrying"));
        feedback.setFileState(2, 1, MediaType_Video, UploadState_AttemptError,
                              QStringLiteral("Timed out"));
        QCOMPARE(feedback.failureCount(2), 2u);
        QVERIFY(feedback.isBusy(2));
        QVERIFY(feedback.anyRetrying());

        SignalLog log(feedback);
        feedback.setState(2, UploadState_Retrying, QStringLiteral("Retrying"));
        QCOMPARE(log.take(),
                 QStringList{QStringLiteral("state 2")}); // same message: no message signal

        feedback.setState(2, UploadState_Complete, QStringLiteral("Completed at noon"));
        QCOMPARE(feedback.failureCount(2), 0u);
        QVERIFY(!feedback.anyRetrying());
        QCOMPARE(feedback.file(2, 1, MediaType_Video)->state, UploadState_AttemptError);
    }

    void messageOfAFileGoesWhenItIsSentAgain()
    {
        UploadFeedback feedback;
        feedback.addFile(1, 5, MediaType_Audio, 10);
        feedback.setFileState(1, 5, MediaType_Audio, UploadState_Error,
                              QStringLiteral("File not found"));
        feedback.setFileState(1, 5, MediaType_Audio, UploadState_Complete);
        QCOMPARE(feedback.file(1, 5, MediaType_Audio)->message, QStringLiteral("File not found"));
        feedback.setFileState(1, 5, MediaType_Audio, UploadState_Uploading);
        QVERIFY(feedback.file(1, 5, MediaType_Audio)->message.isNull());
    }

    void resetAndClearForgetSilently()
    {
        UploadFeedback feedback;
        feedback.addFile(1, 1, MediaType_Video, 10);
        feedback.setFileState(1, 1, MediaType_Video, UploadState_AttemptError);
        feedback.setState(1, UploadState_Retrying, QStringLiteral("Retrying"));
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

    void stateNamesStopAtComplete()
    {
        QCOMPARE(uploadStateName(UploadState_Complete), QStringLiteral("Complete"));
        RW_EXPECT_FATAL(uploadStateName(10), "Assert: 'state < UploadState_MAX' is FALSE");
    }
};

RW_TEST_MAIN(TestUploadFeedback)
#include "tst_upload_feedback.moc"
