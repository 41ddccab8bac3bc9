#include "chunk_file.h"
#include "media_maker.h"
#include "test_main.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Run
{
    int exitCode = -1;
    QString standardError;
    QString standardOutput;
};

Run cli(const QStringList &arguments)
{
    QProcess process;
    process.start(TestEnvironment::binDir() + QLatin1String("/rigwarden-cli"), arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.standardError = QString::fromUtf8(process.readAllStandardError());
    run.standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

} // namespace

class TestTranscodeCommand : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(MediaMaker::makeMpeg2(path(QStringLiteral("clip.m2v")), 720, 576,
                                       QStringLiteral("25"), 1),
                 qPrintable(MediaMaker::lastError()));
        QVERIFY(MediaMaker::makeMpeg2(path(QStringLiteral("film.m2v")), 720, 576,
                                      QStringLiteral("24"), 1));
        QVERIFY(MediaMaker::makeMpeg2(path(QStringLiteral("multiplex.m2v")), 720, 576,
                                      QStringLiteral("25"), 1, QStringLiteral("vob")));
        QVERIFY(MediaMaker::makeTone(path(QStringLiteral("tone.mp3")), 44100, 2, 0.5,
                                     {QStringLiteral("-c:a"), QStringLiteral("libmp3lame")}));
        QVERIFY(MediaMaker::makeTone(path(QStringLiteral("mono.wav")), 48000, 1, 0.2));
    }

    // Success is silent on a pipe: no progress line, nothing else.
    void writesAChunkFileAndSaysNothing_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("source");
        QTest::addColumn<quint32>("firstType");
        QTest::newRow("video") << QStringLiteral("--video") << QStringLiteral("clip.m2v")
                               << 0x80000001u;
        QTest::newRow("audio") << QStringLiteral("--audio") << QStringLiteral("tone.mp3")
                               << 0x80000101u;
    }
    void writesAChunkFileAndSaysNothing()
    {
        QFETCH(QString, mode);
        QFETCH(QString, source);
        QFETCH(quint32, firstType);
        const QString output = path(source + QLatin1String(".chunks"));
        const Run run = cli({QStringLiteral("transcode"), mode, path(source), output});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.standardError, QString());
        QCOMPARE(run.standardOutput, QString());
        QString error;
        const QList<Chunk> chunks = ChunkFile::read(output, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(!chunks.isEmpty());
        QCOMPARE(chunks.first().type, firstType);
    }

    void exitsWithTheRoutinesCode_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("24 fps") << QStringLiteral("--video") << QStringLiteral("film.m2v") << 2
                                << QStringLiteral("Input file not MPEG2");
        QTest::newRow("program stream")
            << QStringLiteral("--video") << QStringLiteral("multiplex.m2v") << 3
            << QStringLiteral("Input file is not a raw M2V");
        QTest::newRow("missing video") << QStringLiteral("--video") << QStringLiteral("none.m2v")
                                       << 1 << QStringLiteral("Input file not found");
        QTest::newRow("mono audio") << QStringLiteral("--audio") << QStringLiteral("mono.wav") << 1
                                    << QStringLiteral("two-channel");
    }
    void exitsWithTheRoutinesCode()
    {
        QFETCH(QString, mode);
        QFETCH(QString, source);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const Run run =
            cli({QStringLiteral("transcode"), mode, path(source), path(QStringLiteral("out"))});
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.standardError.count(QLatin1Char('\n')), 1);
        QVERIFY2(run.standardError.startsWith(QLatin1String("rigwarden-cli: ")) &&
                     run.standardError.contains(path(source)) &&
                     run.standardError.contains(message),
                 qPrintable(run.standardError));
    }

    void refusesBadUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("unknown mode")
            << QStringList{QStringLiteral("--picture"), QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("no output") << QStringList{QStringLiteral("--video"), QStringLiteral("a")};
    }
    void refusesBadUsage()
    {
        QFETCH(QStringList, arguments);
        const Run run = cli(QStringList{QStringLiteral("transcode")} + arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.standardError.contains(QLatin1String("usage: rigwarden-cli transcode")),
                 qPrintable(run.standardError));
    }

    void neverWritesOverItsSource()
    {
        const QString source = path(QStringLiteral("clip.m2v"));
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        const Run run = cli({QStringLiteral("transcode"), QStringLiteral("--video"), source,
                             m_dir.path() + QLatin1String("/./clip.m2v")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
};

RW_TEST_MAIN(TestTranscodeCommand)
#include "tst_transcode_command.moc"
