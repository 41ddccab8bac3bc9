// Conversions kept between runs, with real processes sharing the user's
// cache folder.

#include "chunk_file.h"
#include "conversion_store.h"
#include "media_maker.h"
#include "show_file_bytes.h"
#include "test_environment.h"
#include "test_main.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <array>

using namespace Qt::StringLiterals;

namespace {

QProcess *startConversion(const QString &source, const QString &type)
{
    auto *process = new QProcess;
    process->start(TestEnvironment::binDir() + u"/rw_conversion_process"_s, {source, type});
    return process;
}

// "converted PATH" or "reused PATH" of one process run to its end.
QStringList finish(QProcess *process)
{
    const std::unique_ptr<QProcess> owned(process);
    if (!process->waitForFinished(60000) || process->exitCode() != 0)
        return {QString::fromLocal8Bit(process->readAllStandardError())};
    return QString::fromLocal8Bit(process->readAllStandardOutput()).trimmed().split(u' ');
}

QStringList partFiles()
{
    return QDir(ConversionStore::defaultFolder()).entryList({u"*.part-*"_s});
}

} // namespace

class TestConversionStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void init() { QDir(ConversionStore::defaultFolder()).removeRecursively(); }

    // A later process takes the conversion as it is; a touched source is
    // converted anew under another name.
    void reusedUntilTheSourceChanges()
    {
        const QString tone = m_dir.filePath(u"tone.wav"_s);
        QVERIFY(MediaMaker::makeTone(tone, 44100, 2, 0.5));
        const QStringList first = finish(startConversion(tone, u"audio"_s));
        QCOMPARE(first.value(0), u"converted"_s);
        QCOMPARE(finish(startConversion(tone, u"audio"_s)),
                 (QStringList{u"reused"_s, first.value(1)}));

        QVERIFY(ShowFileBytes::touch(tone, 5));
        const QStringList touched = finish(startConversion(tone, u"audio"_s));
        QCOMPARE(touched.value(0), u"converted"_s);
        QVERIFY(touched.value(1) != first.value(1));
        QVERIFY(partFiles().isEmpty());
    }

    // Both processes end with the same complete conversion.
    void twoProcessesConvertTheSameSourceAtOnce()
    {
        const QString video = m_dir.filePath(u"clip.m2v"_s);
        QVERIFY(MediaMaker::makeMpeg2(video, 720, 576, u"25"_s, 2));
        std::array<QProcess *, 2> processes{startConversion(video, u"video"_s),
                                            startConversion(video, u"video"_s)};
        const QStringList first = finish(processes[0]);
        const QStringList second = finish(processes[1]);
        QCOMPARE(first.size(), 2);
        QCOMPARE(second.value(1), first.value(1));
        QString error;
        QVERIFY(!ChunkFile::read(first.value(1), &error).isEmpty());
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(partFiles().isEmpty());
    }

    // Older versions of a source go an hour after their last use, anything
    // after thirty days unused; the newest version and recent part files stay.
    void removesOnlyStaleFiles()
    {
        const ConversionStore store;
        const QDateTime now = QDateTime::currentDateTime();
        const auto make = [&](const QString &name, qint64 ageSecs) {
            QFile file(QDir(store.folderPath()).filePath(name));
            return file.open(QIODevice::WriteOnly) &&
                   file.setFileTime(now.addSecs(-ageSecs), QFileDevice::FileModificationTime);
        };
        QVERIFY(make(u"a-old.video"_s, 7200));
        QVERIFY(make(u"a-new.video"_s, 3 * 3600));
        QVERIFY(make(u"a-newest.video"_s, 60));
        QVERIFY(make(u"b-only.audio"_s, 29 * 24 * 3600));
        QVERIFY(make(u"c-only.audio"_s, 31 * 24 * 3600));
        QVERIFY(make(u"b-only.audio.part-1-0"_s, 3600));
        QVERIFY(make(u"c-only.audio.part-1-1"_s, 25 * 3600));
        store.removeStale();
        QCOMPARE(QDir(store.folderPath()).entryList(QDir::Files, QDir::Name),
                 (QStringList{u"a-newest.video"_s, u"b-only.audio"_s, u"b-only.audio.part-1-0"_s}));
        QCOMPARE(store.usage().files, 2);
    }
};

RW_TEST_MAIN(TestConversionStore)
#include "tst_conversion_store.moc"
