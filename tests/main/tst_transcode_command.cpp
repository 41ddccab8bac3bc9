#include "chunk_file.h"
#include "cli_fixture.h"
#include "media_maker.h"
#include "test_main.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace CliFixture;

class TestTranscodeCommand : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_clip;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY2(MediaMaker::makeMpeg2(path(u"clip.m2v"_s), 720, 576, u"25"_s, 1),
                 qPrintable(MediaMaker::lastError()));
        QVERIFY(MediaMaker::makeMpeg2(path(u"multiplex.m2v"_s), 720, 576, u"25"_s, 1, u"vob"_s));
        QVERIFY(
            MediaMaker::makeTone(path(u"tone.mp3"_s), 44100, 2, 0.5, {u"-c:a"_s, u"libmp3lame"_s}));
        m_clip = readFile(path(u"clip.m2v"_s));
        QCOMPARE(::link(QFile::encodeName(path(u"clip.m2v"_s)).constData(),
                        QFile::encodeName(path(u"clip-link.m2v"_s)).constData()),
                 0);
        QCOMPARE(::mkfifo(QFile::encodeName(path(u"pipe"_s)).constData(), 0600), 0);
    }

    // Success is silent on a pipe (no progress line) and writes the chunk
    // file; otherwise one line on stderr says why, and the exit code is the
    // conversion routine's (its refusals are the media tests'), or 2 for a
    // usage error. The source is never written over.
    void convertsOrSaysWhy_data()
    {
        QTest::addColumn<QString>("line"); // file names within the test folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said"); // on success, the first chunk's type
        QTest::newRow("video") << "--video clip.m2v clip.chunks" << 0 << "80000001";
        QTest::newRow("audio") << "--audio tone.mp3 tone.chunks" << 0 << "80000101";
        QTest::newRow("program stream")
            << "--video multiplex.m2v out" << 3
            << "%1/multiplex.m2v to %1/out: Input file is not a raw M2V";
        QTest::newRow("no output") << "--video a" << 2 << "takes a mode, a source and an output";
        QTest::newRow("onto its source") << "--video clip.m2v ./clip.m2v" << 2
                                         << "the output %1/./clip.m2v is the source itself";
        QTest::newRow("onto a pipe")
            << "--video clip.m2v pipe" << 2 << "the output %1/pipe is not a regular file";
        QTest::newRow("onto a hard link of its source")
            << "--video clip.m2v clip-link.m2v" << 2
            << "the output %1/clip-link.m2v is the source itself";
    }
    void convertsOrSaysWhy()
    {
        QFETCH(QString, line);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QStringList arguments = line.split(u' ');
        for (qsizetype i = 1; i < arguments.size(); ++i)
            arguments[i] = path(arguments[i]);
        // A failed conversion leaves an existing output as it was.
        const QString kept = path(u"out"_s);
        QVERIFY(ShowFileBytes::writeFile(kept, "precious"));
        const Finished run = runCli(QStringList{u"transcode"_s} + arguments);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(readFile(path(u"clip.m2v"_s)), m_clip);
        QCOMPARE(readFile(kept), QByteArray("precious"));
        QCOMPARE(QDir(m_dir.path()).entryList({u"out.*"_s, u"*.chunks.*"_s}, QDir::Files),
                 QStringList());
        if (exitCode == 0) {
            QCOMPARE(run.out + run.err, QString());
            QString error;
            const QList<Chunk> chunks = ChunkFile::read(arguments.last(), &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(QString::number(chunks.value(0).type, 16), said);
        } else {
            QVERIFY2(run.err.startsWith(u"rigwarden-cli: "_s) && run.err.count(u'\n') == 1 &&
                         run.err.contains(said.arg(m_dir.path())),
                     qPrintable(run.err));
        }
    }
};

RW_TEST_MAIN(TestTranscodeCommand)
#include "tst_transcode_command.moc"
