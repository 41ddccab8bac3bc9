#include "link_fixture.h"
#include "media_maker.h"
#include "test_main.h"

#include <QSignalSpy>

using namespace LinkFixture;

namespace {
constexpr int ConversionTimeoutMs = 30000;
} // namespace

// Uploads whose audio has to be converted first: a KMA show whose clips name
// audio files, sent as the converted files.
class TestControllerMedia : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_tones[2];
    QString m_broken; // not audio at all

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A KMA show with one clip per audio source.
    ControllerTemplatePtr kmaTemplate(const QStringList &audio) const
    {
        ShowFileBytes::Kma show;
        for (int i = 0; i < audio.size(); ++i) {
            ShowFileBytes::KmaClip clip;
            clip.number = i + 1;
            clip.name = "Clip " + QByteArray::number(i + 1);
            clip.audioPath = audio.at(i).toUtf8();
            clip.audioName = "tone" + QByteArray::number(i + 1) + ".ogg";
            show.clips << clip;
        }
        const QString showPath = path(QStringLiteral("show%1.kma").arg(audio.size()));
        ShowFileBytes::writeFile(showPath, show.bytes());
        auto controllerTemplate = std::make_shared<ControllerTemplate>();
        controllerTemplate->setHardwareType(3);
        controllerTemplate->setShowFile(showPath);
        return controllerTemplate;
    }

    // A discovered controller of the template, on a simulated KMA.
    uint connectedController(const ControllerSimulator &simulator, const QStringList &audio)
    {
        const uint id = addControllers(kmaTemplate(audio)).first();
        if (!connectTo(id, simulator.controllers().first()) ||
            controller(id)->discoveryState() != Discovery_Found)
            qWarning("the controller was not found");
        return id;
    }

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        for (int i = 0; i < 2; ++i) {
            m_tones[i] = path(QStringLiteral("tone%1.wav").arg(i + 1));
            QVERIFY2(MediaMaker::makeTone(m_tones[i], 44100, 2, 0.5 + i * 0.25),
                     qPrintable(MediaMaker::lastError()));
        }
        m_broken = path(QStringLiteral("broken.wav"));
        QVERIFY(ShowFileBytes::writeFile(m_broken, QByteArray(5000, 'x')));
    }

    void init()
    {
        resetApplication();
        app()->createMediaTranscoder();
    }

    // The first conversion to end does not start the session; the second does.
    void waitsForEveryConversion()
    {
        const auto simulator = startSimulator({QStringLiteral("--type=3")});
        QVERIFY(simulator);
        const uint id = connectedController(*simulator, {m_tones[0], m_tones[1]});
        MediaTranscoder *transcoder = MediaTranscoder::instance();
        QSignalSpy converted(transcoder, &MediaTranscoder::transcodeComplete);
        for (const QString &tone : m_tones)
            transcoder->transcode(tone, MediaType_Audio);

        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, true);
        QCOMPARE(controller(id)->ftpStage(), Controller::FtpStage_WaitingForMedia);
        QCOMPARE(feedback()->state(id), UploadState_Transcoding);
        QVERIFY(logMessages().contains(
            QStringLiteral("Waiting for media for 127.0.0.1 to finish transcoding")));
        QVERIFY(reports.wait(reportId, ConversionTimeoutMs));
        QCOMPARE(reports.result(reportId, id).first, UploadReport::State_Success);
        QCOMPARE(converted.size(), 2);

        const QStringList log = logMessages();
        const QString released = QStringLiteral("Transcoding media complete for 127.0.0.1");
        QCOMPARE(log.count(released), 1);
        for (const QString &tone : m_tones) {
            const qsizetype done =
                log.indexOf(QStringLiteral("Transcoding %1 (Audio) succeeded").arg(tone));
            QVERIFY(done >= 0 && done < log.indexOf(released));
        }
        // The converted files went, under the clips' names.
        const QString folder = simulator->controllers().first()->folder();
        QCOMPARE(readFile(folder + QStringLiteral("/tone2.ogg")),
                 readFile(transcoder->transcodedFile(m_tones[1], MediaType_Audio)));
    }

    // A failed conversion is not a conversion under way: its file is
    // reported missing and the others go, whether it failed before the
    // upload or while the upload waited.
    void failedConversionIsReportedMissing_data()
    {
        QTest::addColumn<bool>("failsFirst");
        QTest::newRow("failed before the upload") << true;
        QTest::newRow("fails while waiting") << false;
    }
    void failedConversionIsReportedMissing()
    {
        QFETCH(bool, failsFirst);
        const auto simulator = startSimulator({QStringLiteral("--type=3")});
        QVERIFY(simulator);
        const uint id = connectedController(*simulator, {m_broken, m_tones[0]});
        MediaTranscoder *transcoder = MediaTranscoder::instance();
        QSignalSpy converted(transcoder, &MediaTranscoder::transcodeComplete);
        transcoder->transcode(m_broken, MediaType_Audio);
        if (failsFirst) {
            QVERIFY(converted.wait(ConversionTimeoutMs));
            QCOMPARE(converted.first().at(2).value<MediaTranscoder::State>(),
                     MediaTranscoder::State_FAILED);
            QCOMPARE(transcoder->state(m_broken, MediaType_Audio), MediaTranscoder::State_UNKNOWN);
            // No conversion of the other file was ever asked for either.
        } else {
            transcoder->transcode(m_tones[0], MediaType_Audio);
        }

        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, true);
        QVERIFY(reports.wait(reportId, ConversionTimeoutMs));
        QCOMPARE(reports.result(reportId, id).first, UploadReport::State_Success);
        QVERIFY(logMessages().contains(
            QStringLiteral("Couldn't upload \"%1\" because the file couldn't be found")
                .arg(m_broken)));
        QCOMPARE(feedback()->file(id, 1, MediaType_Audio)->message,
                 QStringLiteral("File not found"));
        if (!failsFirst) {
            QCOMPARE(feedback()->file(id, 2, MediaType_Audio)->state, UploadState_Complete);
            QVERIFY(QFile::exists(simulator->controllers().first()->folder() +
                                  QStringLiteral("/tone2.ogg")));
        }
    }

    // Cancelling ends the wait; the conversion ending later starts nothing.
    void cancellingEndsTheWait()
    {
        const auto simulator = startSimulator({QStringLiteral("--type=3")});
        QVERIFY(simulator);
        const uint id = connectedController(*simulator, {m_tones[0]});
        MediaTranscoder *transcoder = MediaTranscoder::instance();
        QSignalSpy converted(transcoder, &MediaTranscoder::transcodeComplete);
        transcoder->transcode(m_tones[0], MediaType_Audio);
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, true);
        QCOMPARE(controller(id)->ftpStage(), Controller::FtpStage_WaitingForMedia);
        // The waiting attempt belongs to its run: another run is turned away.
        for (const bool manual : {false, true}) {
            const uint otherRun = app()->uploadRuns()->upload({id}, manual);
            QCOMPARE(reports.result(otherRun, id),
                     std::make_pair(UploadReport::State_Ignored,
                                    QStringLiteral("Upload already in progress")));
        }

        controller(id)->cancelUpload();
        QVERIFY(reports.isCompleted(reportId));
        QCOMPARE(
            reports.result(reportId, id),
            std::make_pair(UploadReport::State_Cancelled, QStringLiteral("Upload was cancelled")));
        QVERIFY(logMessages().contains(QStringLiteral("Cancelled upload 127.0.0.1")));
        QCOMPARE(feedback()->state(id), UploadState_Cancelled);
        QVERIFY(converted.wait(ConversionTimeoutMs));
        QTest::qWait(100);
        QVERIFY(logMessagesStarting(QStringLiteral("Uploading to")).isEmpty());
        QCOMPARE(controller(id)->ftpStage(), Controller::FtpStage_Idle);
    }
};

RW_TEST_MAIN(TestControllerMedia)
#include "tst_controller_media.moc"
