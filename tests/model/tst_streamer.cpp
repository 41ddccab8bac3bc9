// The project file's container and the records the streamer reads alone.

#include "fatal_probe.h"
#include "project_file_bytes.h"
#include "streamer.h"
#include "test_main.h"

#include <QDir>
#include <QTemporaryDir>

namespace PB = ProjectFileBytes;

class TestStreamer : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const char *name) { return m_dir.filePath(QString::fromLatin1(name)); }

    // A header of version `version` followed by one controller template.
    QString templateFile(const PB::ControllerTemplate &record, int version = 7)
    {
        PB::Out out;
        out.u(Streamer::Magic, 8).i32(version);
        record.write(out, version);
        PB::writeFile(path("template.lmp"), out.bytes);
        return path("template.lmp");
    }

private slots:
    void theVersionIsKnownOnceTheHeaderIs()
    {
        Streamer streamer;
        QCOMPARE(streamer.version(), -1);
        QVERIFY(streamer.open(Streamer::Mode_WRITE, path("v.lmp")));
        QCOMPARE(streamer.version(), 7);
        QVERIFY(streamer.commit());
        streamer.close();
        QCOMPARE(PB::writeFile(path("v4.lmp"), PB::sampleProject(4).bytes()), true);
        Streamer reader;
        QVERIFY(reader.open(Streamer::Mode_READ, path("v4.lmp")));
        QCOMPARE(reader.version(), 4);
    }

    void anUncommittedFileLeavesTheTargetAsItWas()
    {
        QVERIFY(PB::writeFile(path("keep.lmp"), "old content"));
        {
            Streamer streamer;
            QVERIFY(streamer.open(Streamer::Mode_WRITE, path("keep.lmp")));
            streamer.stream() << qint32(42);
        } // destroyed without commit
        QFile file(path("keep.lmp"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("old content"));
        QCOMPARE(
            QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("keep")),
            QStringList{QStringLiteral("keep.lmp")});
    }

    // A remote name lives in a 16-byte field and ends at its first zero byte.
    void remoteNamesFillAtMostTheirField_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("short") << QByteArray("a.vid") << QByteArray("a.vid");
        QTest::newRow("all sixteen bytes")
            << QByteArray("0123456789abcdef") << QByteArray("0123456789abcdef");
        QTest::newRow("padded field")
            << QByteArray("abc\0\0\0\0\0\0\0\0\0\0\0\0\0", 16) << QByteArray("abc");
        QTest::newRow("zero inside") << QByteArray("ab\0cd", 5) << QByteArray("ab");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }

    void remoteNamesFillAtMostTheirField()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, name);
        PB::ControllerTemplate record;
        record.clips = {{3, QStringLiteral("c"), {{2, QStringLiteral("/v"), stored}}}};
        Streamer streamer;
        QVERIFY(streamer.open(Streamer::Mode_READ, templateFile(record)));
        const ControllerTemplatePtr read = streamer.readControllerTemplate();
        QVERIFY(streamer.isOk());
        QVERIFY(read);
        QCOMPARE(read->fileMediaClips().at(3).file(MediaType_Video).remoteName(), name);
    }

    void rawValuesBeyondTheirFieldAreRefused_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("17 bytes") << 17;
        QTest::newRow("negative") << -1;
        QTest::newRow("huge") << 0x7fffffff;
    }

    void rawValuesBeyondTheirFieldAreRefused()
    {
        QFETCH(int, length);
        PB::Out out;
        out.u(Streamer::Magic, 8).i32(4);
        PB::ControllerTemplate record;
        record.clips = {{3, QStringLiteral("c"), {{2, QStringLiteral("/v"), "x"}}}};
        record.write(out, 4);
        // The video's length is the field after its path; the audio's follows.
        QByteArray bytes = out.bytes;
        PB::Out tail;
        tail.text(QStringLiteral("/v")).i32(1);
        const qsizetype at = bytes.indexOf(tail.bytes) + tail.bytes.size() - 4;
        PB::Out value;
        value.i32(length);
        bytes.replace(at, 4, value.bytes);
        PB::writeFile(path("raw.lmp"), bytes);
        Streamer streamer;
        QVERIFY(streamer.open(Streamer::Mode_READ, path("raw.lmp")));
        QVERIFY(!streamer.readControllerTemplate());
        QVERIFY(!streamer.isOk());
        QVERIFY(streamer.errorString().contains(QStringLiteral("out of bounds")));
    }

    void misuseIsAProgrammingError()
    {
        Streamer writer;
        QVERIFY(writer.open(Streamer::Mode_WRITE, path("m.lmp")));
        RW_EXPECT_FATAL(writer.open(Streamer::Mode_WRITE, path("n.lmp")),
                        "Trap: 'file.isOpen()' is TRUE");
        RW_EXPECT_FATAL(writer.readHeader(), "Assert: 'mode == Mode_READ' is FALSE");
        QVERIFY(writer.commit());

        PB::writeFile(path("r.lmp"), PB::sampleProject(7).bytes());
        Streamer reader;
        QVERIFY(reader.open(Streamer::Mode_READ, path("r.lmp")));
        RW_EXPECT_FATAL(reader.writeHeader(), "Assert: 'mode == Mode_WRITE' is FALSE");
    }
};

RW_TEST_MAIN(TestStreamer)
#include "tst_streamer.moc"
