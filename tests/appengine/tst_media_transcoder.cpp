#include "chunk_file.h"
#include "event_log.h"
#include "file_lock.h"
#include "lum_application.h"
#include "media_maker.h"
#include "media_transcoder.h"
#include "test_main.h"
#include "transcode_thread.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int ConversionTimeoutMs = 30000;

// A raw PCM source that never ends: a named pipe fed with silence until the
// test stops it. A conversion of it finishes only by being cancelled.
class EndlessPcm
{
public:
    explicit EndlessPcm(const QString &path) : m_path(path)
    {
        const QByteArray name = QFile::encodeName(path);
        if (mkfifo(name.constData(), 0600) != 0)
            return;
        // Read-write, so that opening never waits for the other end.
        m_fd = ::open(name.constData(), O_RDWR | O_NONBLOCK);
        if (m_fd < 0)
            return;
        m_writer = std::thread([this] {
            const QByteArray silence(65536, '\0');
            while (!m_stop.load()) {
                if (::write(m_fd, silence.constData(), size_t(silence.size())) < 0)
                    usleep(1000); // full until the converter reads again
            }
        });
    }
    ~EndlessPcm()
    {
        m_stop.store(true);
        if (m_writer.joinable())
            m_writer.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isValid() const { return m_fd >= 0; }
    QString path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_writer;
};

QStringList mediaLog()
{
    QStringList lines;
    for (const LogEntry &entry : LumApplication::instance()->eventLog()->entries()) {
        if (entry.category == Category_Media && entry.level == 0)
            lines.append(entry.message);
    }
    return lines;
}

QString transcodedFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QLatin1String("/transcoded");
}

} // namespace

class TestMediaTranscoder : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<LumApplication> m_app;
    QTemporaryDir m_dir;
    QString m_video; // raw 720 x 576 at 25 fps
    QString m_film;  // 24 fps: refused
    QString m_audio; // WAV

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        m_app.reset(LumApplication::create());
        QVERIFY(m_dir.isValid());
        m_video = path(QStringLiteral("clip.M2V"));
        m_film = path(QStringLiteral("film.m2v"));
        m_audio = path(QStringLiteral("tone.wav"));
        QVERIFY2(MediaMaker::makeMpeg2(m_video, 720, 576, QStringLiteral("25"), 1),
                 qPrintable(MediaMaker::lastError()));
        QVERIFY(MediaMaker::makeMpeg2(m_film, 720, 576, QStringLiteral("24"), 1));
        QVERIFY(MediaMaker::makeTone(m_audio, 44100, 2, 0.5));
    }

    void init() { m_app->eventLog()->clear(); }

    void emptiesItsFolderAtStartAndRemovesItAtTheEnd()
    {
        QVERIFY(QDir().mkpath(transcodedFolder()));
        QFile stale(transcodedFolder() + QLatin1String("/transcoded0"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();

        auto *transcoder = MediaTranscoder::create();
        QVERIFY(transcoder->isFolderUsable());
        QCOMPARE(transcoder->folderPath(), transcodedFolder());
        QVERIFY(!stale.exists());
        QVERIFY(QDir(transcodedFolder()).exists());
        delete transcoder;
        QVERIFY(!QDir(transcodedFolder()).exists());
        QCOMPARE(MediaTranscoder::instance(), nullptr);
    }

    // A second process of the same user (the command line beside the
    // application) must neither empty nor remove the first one's results.
    void aSecondProcessConvertsIntoAFolderOfItsOwn()
    {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QVERIFY(QDir().mkpath(transcodedFolder()));
        QFile result(transcodedFolder() + QLatin1String("/transcoded7"));
        QVERIFY(result.open(QIODevice::WriteOnly));
        result.close();
        // The other process: the lock is its open file, so it conflicts here too.
        FileLock other(data + QLatin1String("/transcoded.lock"));
        QVERIFY(other.tryLock());

        auto *transcoder = MediaTranscoder::create();
        QVERIFY(transcoder->isFolderUsable());
        const QString own = transcoder->folderPath();
        QVERIFY2(own.startsWith(transcodedFolder() + QLatin1Char('-')), qPrintable(own));
        QSignalSpy complete(transcoder, &MediaTranscoder::transcodeComplete);
        transcoder->transcode(m_audio, MediaType_Audio);
        QVERIFY(complete.wait(ConversionTimeoutMs));
        QCOMPARE(QFileInfo(transcoder->transcodedFile(m_audio, MediaType_Audio)).absolutePath(),
                 own);
        delete transcoder;
        QVERIFY(!QDir(own).exists());
        QVERIFY(result.exists());

        // Once the other has ended, the shared folder is taken and emptied.
        other.unlock();
        transcoder = MediaTranscoder::create();
        QCOMPARE(transcoder->folderPath(), transcodedFolder());
        QVERIFY(!result.exists());
        delete transcoder;
    }

    void convertsAndRemembersTheResult_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("typeText");
        QTest::newRow("video") << int(MediaType_Video) << QStringLiteral("Video");
        QTest::newRow("audio") << int(MediaType_Audio) << QStringLiteral("Audio");
    }
    void convertsAndRemembersTheResult()
    {
        QFETCH(int, type);
        QFETCH(QString, typeText);
        const MediaType mediaType = MediaType(type);
        const QString source = mediaType == MediaType_Video ? m_video : m_audio;
        std::unique_ptr<MediaTranscoder> transcoder(MediaTranscoder::create());
        QSignalSpy complete(transcoder.get(), &MediaTranscoder::transcodeComplete);

        transcoder->transcode(source, mediaType);
        QCOMPARE(transcoder->state(source, mediaType), MediaTranscoder::State_TRANSCODING);
        QCOMPARE(transcoder->transcodedFile(source, mediaType), QString());
        QCOMPARE(transcoder->state(source, MediaType(5 - type)), MediaTranscoder::State_UNKNOWN);
        QCOMPARE(mediaLog(),
                 QStringList{QStringLiteral("Transcoding %1 (%2)").arg(source, typeText)});

        QVERIFY(complete.wait(ConversionTimeoutMs));
        QCOMPARE(complete.first().at(0).toString(), source);
        QCOMPARE(complete.first().at(1).value<MediaType>(), mediaType);
        QCOMPARE(complete.first().at(2).value<MediaTranscoder::State>(),
                 MediaTranscoder::State_COMPLETE);
        QCOMPARE(transcoder->state(source, mediaType), MediaTranscoder::State_COMPLETE);
        const QString output = transcoder->transcodedFile(source, mediaType);
        QCOMPARE(QFileInfo(output).dir().absolutePath(), transcoder->folderPath());
        QString error;
        QVERIFY(!ChunkFile::read(output, &error).isEmpty());
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(mediaLog().last(),
                 QStringLiteral("Transcoding %1 (%2) succeeded").arg(source, typeText));
    }

    void ignoresMissingSourcesAndRepeatedRequests()
    {
        std::unique_ptr<MediaTranscoder> transcoder(MediaTranscoder::create());
        QSignalSpy complete(transcoder.get(), &MediaTranscoder::transcodeComplete);
        transcoder->transcode(path(QStringLiteral("missing.m2v")), MediaType_Video);
        QCOMPARE(transcoder->state(path(QStringLiteral("missing.m2v")), MediaType_Video),
                 MediaTranscoder::State_UNKNOWN);
        QCOMPARE(transcoder->runningCount(), 0);

        transcoder->transcode(m_video, MediaType_Video);
        transcoder->transcode(m_video, MediaType_Video); // while it runs
        QCOMPARE(transcoder->runningCount() + transcoder->waitingCount(), 1);
        QVERIFY(complete.wait(ConversionTimeoutMs));
        transcoder->transcode(m_video, MediaType_Video); // once it is done
        QCOMPARE(transcoder->runningCount(), 0);
        QTest::qWait(50);
        QCOMPARE(complete.size(), 1);
        QCOMPARE(mediaLog().size(), 2);
    }

    void forgetsAFailedConversionSoItCanBeRetried()
    {
        std::unique_ptr<MediaTranscoder> transcoder(MediaTranscoder::create());
        QSignalSpy complete(transcoder.get(), &MediaTranscoder::transcodeComplete);
        transcoder->transcode(m_film, MediaType_Video);
        QVERIFY(complete.wait(ConversionTimeoutMs));
        QCOMPARE(complete.first().at(2).value<MediaTranscoder::State>(),
                 MediaTranscoder::State_FAILED);
        QCOMPARE(transcoder->state(m_film, MediaType_Video), MediaTranscoder::State_UNKNOWN);
        QCOMPARE(mediaLog().last(), QStringLiteral("Transcoding %1 (Video) failed").arg(m_film));

        transcoder->transcode(m_film, MediaType_Video);
        QCOMPARE(transcoder->state(m_film, MediaType_Video), MediaTranscoder::State_TRANSCODING);
        QVERIFY(complete.wait(ConversionTimeoutMs));
        QCOMPARE(mediaLog().size(), 4);
    }

    // Only Video takes the video path; any other type is named "Audio" and,
    // unless it is Audio, fails.
    void namesEveryOtherTypeAudio()
    {
        std::unique_ptr<MediaTranscoder> transcoder(MediaTranscoder::create());
        QSignalSpy complete(transcoder.get(), &MediaTranscoder::transcodeComplete);
        transcoder->transcode(m_video, MediaType_Show);
        QVERIFY(complete.wait(ConversionTimeoutMs));
        QCOMPARE(mediaLog(),
                 (QStringList{QStringLiteral("Transcoding %1 (Audio)").arg(m_video),
                              QStringLiteral("Transcoding %1 (Audio) failed").arg(m_video)}));
    }

    void runsTwoAtATimeAndStartsTheNextWhenOneEnds()
    {
        std::unique_ptr<MediaTranscoder> transcoder(MediaTranscoder::create());
        QSignalSpy complete(transcoder.get(), &MediaTranscoder::transcodeComplete);
        transcoder->transcode(m_video, MediaType_Video);
        transcoder->transcode(m_audio, MediaType_Audio);
        transcoder->transcode(m_film, MediaType_Video);
        QCOMPARE(transcoder->runningCount(), 2);
        QCOMPARE(transcoder->waitingCount(), 1);
        QCOMPARE(mediaLog().size(), 2);
        QCOMPARE(transcoder->state(m_film, MediaType_Video), MediaTranscoder::State_TRANSCODING);

        QTRY_COMPARE_WITH_TIMEOUT(complete.size(), 3, ConversionTimeoutMs);
        const QStringList log = mediaLog();
        QCOMPARE(log.size(), 6);
        // The third started only after one of the first two had ended.
        const qsizetype thirdStart =
            log.indexOf(QStringLiteral("Transcoding %1 (Video)").arg(m_film));
        QVERIFY(thirdStart >= 2);
        QVERIFY(log.at(thirdStart - 1).endsWith(QLatin1String(" succeeded")));
        QCOMPARE(transcoder->runningCount(), 0);
        QCOMPARE(transcoder->waitingCount(), 0);
    }

    // The pipe never ends: the destructor returns only because it cancels.
    void destructionCancelsWaitsAndRemovesTheFolder()
    {
        EndlessPcm first(path(QStringLiteral("endless1.pcm")));
        EndlessPcm second(path(QStringLiteral("endless2.PCM")));
        QVERIFY(first.isValid() && second.isValid());
        QPointer<MediaTranscoder> transcoder(MediaTranscoder::create());
        QSignalSpy complete(transcoder.data(), &MediaTranscoder::transcodeComplete);
        transcoder->transcode(first.path(), MediaType_Audio);
        transcoder->transcode(second.path(), MediaType_Audio);
        transcoder->transcode(m_video, MediaType_Video); // waits, never starts
        QTest::qWait(100);
        QCOMPARE(transcoder->runningCount(), 2);

        delete transcoder.data();
        QVERIFY(transcoder.isNull());
        QVERIFY(complete.isEmpty());
        QVERIFY(!QDir(transcodedFolder()).exists());
        QCOMPARE(mediaLog().size(), 2);
    }

    void aCancelledThreadReportsCancelled()
    {
        EndlessPcm endless(path(QStringLiteral("endless3.pcm")));
        QVERIFY(endless.isValid());
        TranscodeThread thread(endless.path(), path(QStringLiteral("cancelled")), MediaType_Audio);
        QCOMPARE(thread.result(), TranscodeResult_Failed);
        thread.start();
        QTest::qWait(100);
        QVERIFY(thread.isRunning());
        thread.cancel();
        QVERIFY(thread.wait(ConversionTimeoutMs));
        QCOMPARE(thread.result(), TranscodeResult_Cancelled);
    }

    void replacesThePreviousInstance()
    {
        QPointer<MediaTranscoder> first(MediaTranscoder::create());
        MediaTranscoder *second = MediaTranscoder::create();
        QVERIFY(first.isNull());
        QCOMPARE(MediaTranscoder::instance(), second);
        delete second;
        QCOMPARE(MediaTranscoder::instance(), nullptr);
    }

    // Without a data folder the files go to the current folder, and stay.
    void fallsBackToTheCurrentFolder()
    {
        QFile blocker(path(QStringLiteral("not-a-folder")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(blocker.fileName()));
        const QString savedCurrent = QDir::currentPath();
        QTemporaryDir current;
        QVERIFY(QDir::setCurrent(current.path()));

        std::unique_ptr<MediaTranscoder> transcoder(MediaTranscoder::create());
        QVERIFY(!transcoder->isFolderUsable());
        QSignalSpy complete(transcoder.get(), &MediaTranscoder::transcodeComplete);
        transcoder->transcode(m_audio, MediaType_Audio);
        QVERIFY(complete.wait(ConversionTimeoutMs));
        const QString output = transcoder->transcodedFile(m_audio, MediaType_Audio);
        QCOMPARE(QFileInfo(output).absolutePath(), QDir(current.path()).absolutePath());
        transcoder.reset();
        QVERIFY(QFileInfo::exists(output));

        QDir::setCurrent(savedCurrent);
        qputenv("XDG_DATA_HOME", savedDataHome);
    }
};

RW_TEST_MAIN(TestMediaTranscoder)
#include "tst_media_transcoder.moc"
