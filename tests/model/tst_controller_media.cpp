#include "conversion_store.h"
#include "link_fixture.h"
#include "media_maker.h"
#include "test_main.h"

#include <QSignalSpy>

using namespace Qt::StringLiterals;

using namespace LinkFixture;

constexpr int ConversionTimeoutMs = 30000;

// Uploads whose audio has to be converted first: a KMA show whose clips name
// audio files, sent as the converted files.
class TestControllerMedia : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_tones[2];
    QString m_broken; // not audio at all
    Site m_site;

    // A controller of a KMA show with one clip per audio source, discovered
    // on a simulated KMA; then the conversions of `converting` are asked for.
    bool start(const QStringList &audio, const QStringList &converting)
    {
        ShowFileBytes::Kma show;
        for (int i = 0; i < audio.size(); ++i) {
            const QByteArray number = QByteArray::number(i + 1);
            show.clips << ShowFileBytes::KmaClip{
                i + 1, "Clip " + number, {}, {}, audio.at(i).toUtf8(), "tone" + number + ".ogg"};
        }
        const QString showPath = m_dir.filePath(u"show%1.kma"_s.arg(audio.size()));
        ShowFileBytes::writeFile(showPath, show.bytes());
        auto controllerTemplate = std::make_shared<ControllerTemplate>();
        controllerTemplate->setHardwareType(3);
        controllerTemplate->setShowFile(showPath);
        if (!startSite(m_site, controllerTemplate, {u"--type=3"_s}) ||
            controller(m_site.id)->discoveryState() != Discovery_Found)
            return false;
        for (const QString &source : converting)
            MediaTranscoder::instance()->transcode(source, MediaType_Audio);
        return true;
    }

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        for (int i = 0; i < 2; ++i) {
            m_tones[i] = m_dir.filePath(u"tone%1.wav"_s.arg(i + 1));
            QVERIFY2(MediaMaker::makeTone(m_tones[i], 44100, 2, 0.5 + i * 0.25),
                     qPrintable(MediaMaker::lastError()));
        }
        m_broken = m_dir.filePath(u"broken.wav"_s);
        QVERIFY(ShowFileBytes::writeFile(m_broken, QByteArray(5000, 'x')));
    }

    void init()
    {
        resetApplication();
        QDir(ConversionStore::defaultFolder()).removeRecursively(); // each case converts
        app()->createMediaTranscoder();
        m_site = Site();
    }

    // The first conversion to end does not start the session; the second does.
    void waitsForEveryConversion()
    {
        QSignalSpy converted(MediaTranscoder::instance(), &MediaTranscoder::transcodeComplete);
        QVERIFY(start({m_tones[0], m_tones[1]}, {m_tones[0], m_tones[1]}));
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({m_site.id}, true);
        QCOMPARE(controller(m_site.id)->ftpStage(), Controller::FtpStage_WaitingForMedia);
        QCOMPARE(feedback()->state(m_site.id), UploadState_Transcoding);
        QVERIFY(logged("Waiting for media for 127.0.0.1 to finish transcoding"));
        QVERIFY(reports.wait(reportId, ConversionTimeoutMs));
        QCOMPARE(reports.result(reportId, m_site.id).first, UploadReport::State_Success);
        QCOMPARE(converted.size(), 2);

        const QStringList log = logMessages();
        const QString released = u"Transcoding media complete for 127.0.0.1"_s;
        QCOMPARE(log.count(released), 1);
        for (const QString &tone : m_tones) {
            const qsizetype done = log.indexOf(u"Transcoding %1 (Audio) succeeded"_s.arg(tone));
            QVERIFY(done >= 0 && done < log.indexOf(released));
        }
        // The converted files went, under the clips' names.
        QCOMPARE(
            m_site.remoteFile(u"tone2.ogg"_s),
            readFile(MediaTranscoder::instance()->transcodedFile(m_tones[1], MediaType_Audio)));
    }

    // A source put back after the conversions were asked for is converted
    // and sent, not reported missing.
    void aSourcePutBackIsConvertedAndSent()
    {
        const QString late = m_dir.filePath(u"late.wav"_s);
        QFile::remove(late);
        QVERIFY(start({late}, {}));
        QVERIFY(QFile::copy(m_tones[0], late));
        QCOMPARE(uploadResult(m_site.id, true, ConversionTimeoutMs).first,
                 UploadReport::State_Success);
        const QByteArray sent = m_site.remoteFile(u"tone1.ogg"_s);
        QVERIFY(!sent.isEmpty());
        QCOMPARE(sent,
                 readFile(MediaTranscoder::instance()->transcodedFile(late, MediaType_Audio)));
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
        MediaTranscoder *transcoder = MediaTranscoder::instance();
        QSignalSpy converted(transcoder, &MediaTranscoder::transcodeComplete);
        QVERIFY(start({m_broken, m_tones[0]}, {m_broken}));
        if (failsFirst) {
            // No conversion of the other file was ever asked for either.
            QVERIFY(converted.wait(ConversionTimeoutMs));
            QCOMPARE(converted.first().at(2).value<MediaTranscoder::State>(),
                     MediaTranscoder::State_FAILED);
        } else {
            transcoder->transcode(m_tones[0], MediaType_Audio);
        }

        QCOMPARE(uploadResult(m_site.id, true, ConversionTimeoutMs).first,
                 UploadReport::State_Success);
        QVERIFY(
            logged(u"Couldn't upload \"%1\" because the file couldn't be found"_s.arg(m_broken)));
        QCOMPARE(feedback()->file(m_site.id, 1, MediaType_Audio)->message, u"File not found"_s);
        if (!failsFirst)
            QVERIFY(!m_site.remoteFile(u"tone2.ogg"_s).isEmpty());
    }

    // Cancelling ends the wait; the conversion ending later starts nothing.
    void cancellingEndsTheWait()
    {
        QSignalSpy converted(MediaTranscoder::instance(), &MediaTranscoder::transcodeComplete);
        QVERIFY(start({m_tones[0]}, {m_tones[0]}));
        const uint id = m_site.id;
        Reports reports;
        const uint reportId = app()->uploadRuns()->upload({id}, true);
        QCOMPARE(controller(id)->ftpStage(), Controller::FtpStage_WaitingForMedia);
        // The waiting attempt belongs to its run: another run is turned away.
        for (const bool manual : {false, true}) {
            const uint otherRun = app()->uploadRuns()->upload({id}, manual);
            QCOMPARE(reports.result(otherRun, id),
                     std::make_pair(UploadReport::State_Ignored, u"Upload already in progress"_s));
        }

        controller(id)->cancelUpload();
        QCOMPARE(reports.result(reportId, id), cancelled());
        QVERIFY(logged("Cancelled upload 127.0.0.1"));
        QCOMPARE(feedback()->state(id), UploadState_Cancelled);
        QVERIFY(converted.wait(ConversionTimeoutMs));
        QTest::qWait(100);
        QVERIFY(logMessagesStarting(u"Uploading to"_s).isEmpty());
        QCOMPARE(controller(id)->ftpStage(), Controller::FtpStage_Idle);
    }
};

RW_TEST_MAIN(TestControllerMedia)
#include "tst_controller_media.moc"
