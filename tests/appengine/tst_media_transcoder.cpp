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

} // namespace

class TestMediaTranscoder : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<LumApplication> m_app;
    QTemporaryDir m_dir;
    QString m_video = m_dir.filePath(u"clip.M2V"_s); // raw 720 x 576 at 25 fps
    QString m_film = m_dir.filePath(u"film.m2v"_s);  // 24 fps: refused
    QString m_audio = m_dir.filePath(u"tone.wav"_s);

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
        QVERIFY2(MediaMaker::makeMpeg2(m_video, 720, 576, u"25"_s, 1),
                 qPrintable(MediaMaker::lastError()));
        QVERIFY(MediaMaker::makeMpeg2(m_film, 720, 576, u"24"_s, 1));
        QVERIFY(MediaMaker::makeTone(m_audio, 44100, 2, 0.5));
    }

    void init()
    {
        m_app->eventLog()->clear();
        QDir(ConversionStore::defaultFolder()).removeRecursively(); // each case converts afresh
    }

    // Two run at a time, the others in turn. Only Video takes the video path;
    // any other type is named "Audio". Asked again, a result is kept and a
    // failure is forgotten and converted anew.
    void runsTwoAtATimeAndRemembersTheOutcome()
    {
        struct Case
        {
            QString source;
            MediaType type;
            QString typeText;
            bool succeeds;
        };
        const QList<Case> cases{{m_video, MediaType_Video, u"Video"_s, true},
                                {m_audio, MediaType_Audio, u"Audio"_s, true},
                                {m_film, MediaType_Video, u"Video"_s, false},
                                {m_video, MediaType_Show, u"Audio"_s, false}};
        std::unique_ptr<MediaTranscoder> transcoder(MediaTranscoder::create());
        QSignalSpy complete(transcoder.get(), &MediaTranscoder::transcodeComplete);
        transcoder->transcode(path(u"missing.m2v"_s), MediaType_Video); // ignored
        for (const Case &c : cases)
            transcoder->transcode(c.source, c.type);
        transcoder->transcode(m_video, MediaType_Video); // under way: ignored
        QCOMPARE(transcoder->state(path(u"missing.m2v"_s), MediaType_Video),
                 MediaTranscoder::State_UNKNOWN);
        QCOMPARE(transcoder->state(m_audio, MediaType_Video), MediaTranscoder::State_UNKNOWN);
        QCOMPARE(transcoder->runningCount(), 2);
        QCOMPARE(transcoder->waitingCount(), 2);
        QCOMPARE(mediaLog(), (QStringList{u"Transcoding %1 (Video)"_s.arg(m_video),
                                          u"Transcoding %1 (Audio)"_s.arg(m_audio)}));
        for (const Case &c : cases) {
            QCOMPARE(transcoder->state(c.source, c.type), MediaTranscoder::State_TRANSCODING);
            QCOMPARE(transcoder->transcodedFile(c.source, c.type), QString());
        }

        QTRY_COMPARE_WITH_TIMEOUT(complete.size(), 4, ConversionTimeoutMs);
        QTest::qWait(50);
        QCOMPARE(complete.size(), 4);
        const QStringList log = mediaLog();
        QCOMPARE(log.size(), 8);
        QVERIFY(log.at(2).endsWith(u" succeeded"_s)); // the third started after that
        for (const Case &c : cases) {
            const QString started = u"Transcoding %1 (%2)"_s.arg(c.source, c.typeText);
            QVERIFY(log.indexOf(started + (c.succeeds ? u" succeeded"_s : u" failed"_s)) >
                    log.indexOf(started));
            QVERIFY(complete.contains(
                {c.source, QVariant::fromValue(c.type),
                 QVariant::fromValue(c.succeeds ? MediaTranscoder::State_COMPLETE
                                                : MediaTranscoder::State_FAILED)}));
            const QString output = transcoder->transcodedFile(c.source, c.type);
            QCOMPARE(transcoder->state(c.source, c.type),
                     c.succeeds ? MediaTranscoder::State_COMPLETE : MediaTranscoder::State_UNKNOWN);
            QCOMPARE(output.isEmpty(), !c.succeeds);
            if (c.succeeds)
                QCOMPARE(QFileInfo(output).absolutePath(), transcoder->folderPath());
        }
        QCOMPARE(transcoder->runningCount(), 0);
        for (const Case &c : cases)
            transcoder->transcode(c.source, c.type);
        QCOMPARE(transcoder->runningCount(), 2);
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
        QVERIFY(complete.isEmpty());
        QVERIFY(QDir(ConversionStore::defaultFolder()).isEmpty());
        QCOMPARE(mediaLog().size(), 2);
    }

    // Without a cache folder the files go to the current folder, and stay.
    void fallsBackToTheCurrentFolder()
    {
        const QString blocker = path(u"not-a-folder"_s);
        QVERIFY(QFile(blocker).open(QIODevice::WriteOnly));
        const QByteArray savedCacheHome = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker));
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
