#include "test_main.h"
#include "upload_feedback.h"

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

class TestUploadFeedback : public QObject
{
    Q_OBJECT

private slots:
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

RW_TEST_MAIN(TestUploadFeedback)
#include "tst_upload_feedback.moc"
