#include "chunk_file.h"
#include "conversion_store.h"
#include "event_log.h"
#include "lum_application.h"
#include "media_maker.h"
#include "media_transcoder.h"
#include "test_main.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int ConversionTimeoutMs = 30000;

QStringList mediaLog()
{
    QStringList lines;
    for (const LogEntry &entry : LumApplication::instance()->eventLog()->entries()) {
        if (entry.category == Category_Media && entry.level == 0)
            lines.append(entry.message);
    }
    return lines;
}

QString keptFolder()
{
    return ConversionStore::defaultFolder();
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
    // A raw PCM source that never ends: its conversion ends only by being cancelled.
    QString endlessPcm(const QString &name) const
    {
        QFile::link(u"/dev/zero"_s, path(name));
        return path(name);
    }

private slots:
    void initTestCase()
    {
        m_app.reset(LumApplication::create());
        QVERIFY(m_dir.isValid());
        m_video = path(u"clip.M2V"_s);
        m_film = path(u"film.m2v"_s);
        m_audio = path(u"tone.wav"_s);
        QVERIFY2(MediaMaker::makeMpeg2(m_video, 720, 576, u"25"_s, 1),
                 qPrintable(MediaMaker::lastError()));
        QVERIFY(MediaMaker::makeMpeg2(m_film, 720, 576, u"24"_s, 1));
        QVERIFY(MediaMaker::makeTone(m_audio, 44100, 2, 0.5));
    }

    void init()
    {
        m_app->eventLog()->clear();
        QDir(keptFolder()).removeRecursively(); // each case converts afresh
    }

    // Only Video takes the video path; any other type is named "Audio".
    void logsSignalsAndRemembersTheOutcome_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<MediaType>("type");
        QTest::addColumn<QString>("typeText");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("video") << m_video << MediaType_Video << u"Video"_s << true;
        QTest::newRow("audio") << m_audio << MediaType_Audio << u"Audio"_s << true;
        QTest::newRow("24 fps video") << m_film << MediaType_Video << u"Video"_s << false;
        QTest::newRow("show type") << m_video << MediaType_Show << u"Audio"_s << false;
    }
    void logsSignalsAndRemembersTheOutcome()
    {
        QFETCH(QString, source);
        QFETCH(MediaType, type);
        QFETCH(QString, typeText);
        QFETCH(bool, succeeds);
        std::unique_ptr<MediaTranscoder> transcoder(MediaTranscoder::create());
        QSignalSpy complete(transcoder.get(), &MediaTranscoder::transcodeComplete);
        transcoder->transcode(source, type);
        QCOMPARE(transcoder->state(source, type), MediaTranscoder::State_TRANSCODING);
        QCOMPARE(transcoder->state(source, MediaType(5 - type)), MediaTranscoder::State_UNKNOWN);
        QCOMPARE(transcoder->transcodedFile(source, type), QString());
        QCOMPARE(mediaLog(), QStringList{u"Transcoding %1 (%2)"_s.arg(source, typeText)});

        QVERIFY(complete.wait(ConversionTimeoutMs));
        QCOMPARE(complete.first().at(0).toString(), source);
        QCOMPARE(complete.first().at(1).value<MediaType>(), type);
        QCOMPARE(complete.first().at(2).value<MediaTranscoder::State>(),
                 succeeds ? MediaTranscoder::State_COMPLETE : MediaTranscoder::State_FAILED);
        QCOMPARE(mediaLog().last(), u"Transcoding %1 (%2) %3"_s.arg(
                                        source, typeText, succeeds ? u"succeeded"_s : u"failed"_s));
        const QString output = transcoder->transcodedFile(source, type);
        if (succeeds) {
            QCOMPARE(transcoder->state(source, type), MediaTranscoder::State_COMPLETE);
            QCOMPARE(QFileInfo(output).absolutePath(), transcoder->folderPath());
            QString error;
            QVERIFY(!ChunkFile::read(output, &error).isEmpty());
            QVERIFY2(error.isEmpty(), qPrintable(error));
        } else {
            QCOMPARE(transcoder->state(source, type), MediaTranscoder::State_UNKNOWN);
            QCOMPARE(output, QString());
        }
        // Asked again: a result is kept, a failure is forgotten and converted anew.
        transcoder->transcode(source, type);
        QCOMPARE(transcoder->runningCount(), succeeds ? 0 : 1);
    }

    void runsTwoAtATimeTheOthersInTurn()
    {
        std::unique_ptr<MediaTranscoder> transcoder(MediaTranscoder::create());
        QSignalSpy complete(transcoder.get(), &MediaTranscoder::transcodeComplete);
        transcoder->transcode(path(u"missing.m2v"_s), MediaType_Video); // ignored
        transcoder->transcode(m_video, MediaType_Video);
        transcoder->transcode(m_video, MediaType_Video); // under way: ignored
        transcoder->transcode(m_audio, MediaType_Audio);
        transcoder->transcode(m_film, MediaType_Video);
        QCOMPARE(transcoder->state(path(u"missing.m2v"_s), MediaType_Video),
                 MediaTranscoder::State_UNKNOWN);
        QCOMPARE(transcoder->runningCount(), 2);
        QCOMPARE(transcoder->waitingCount(), 1);
        QCOMPARE(mediaLog().size(), 2);
        QCOMPARE(transcoder->state(m_film, MediaType_Video), MediaTranscoder::State_TRANSCODING);

        QTRY_COMPARE_WITH_TIMEOUT(complete.size(), 3, ConversionTimeoutMs);
        QTest::qWait(50);
        QCOMPARE(complete.size(), 3);
        const QStringList log = mediaLog();
        QCOMPARE(log.size(), 6);
        // The third started only after one of the first two had ended.
        const qsizetype thirdStart = log.indexOf(u"Transcoding %1 (Video)"_s.arg(m_film));
        QVERIFY(thirdStart >= 2);
        QVERIFY(log.at(thirdStart - 1).endsWith(QLatin1String(" succeeded")));
        QCOMPARE(transcoder->runningCount(), 0);
        QCOMPARE(transcoder->waitingCount(), 0);
    }

    // The sources never end: the destructor returns only because it cancels.
    void destructionCancelsWaitsAndRemovesItsPartFiles()
    {
        QPointer<MediaTranscoder> transcoder(MediaTranscoder::create());
        QSignalSpy complete(transcoder.data(), &MediaTranscoder::transcodeComplete);
        transcoder->transcode(endlessPcm(u"endless1.pcm"_s), MediaType_Audio);
        transcoder->transcode(endlessPcm(u"endless2.PCM"_s), MediaType_Audio);
        transcoder->transcode(m_video, MediaType_Video); // waits, never starts
        QTest::qWait(100);
        QCOMPARE(transcoder->runningCount(), 2);

        delete transcoder.data();
        QVERIFY(transcoder.isNull());
        QVERIFY(complete.isEmpty());
        QVERIFY(QDir(keptFolder()).isEmpty());
        QCOMPARE(mediaLog().size(), 2);
    }

    // Without a cache folder the files go to the current folder, and stay.
    void fallsBackToTheCurrentFolder()
    {
        QFile blocker(path(u"not-a-folder"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QByteArray savedCacheHome = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker.fileName()));
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
        qputenv("XDG_CACHE_HOME", savedCacheHome);
    }
};

RW_TEST_MAIN(TestMediaTranscoder)
#include "tst_media_transcoder.moc"
