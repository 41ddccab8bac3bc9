// The records the streamer reads alone (the whole file is the document tests').

#include "project_file_bytes.h"
#include "streamer.h"
#include "test_main.h"

#include <QTemporaryDir>

namespace PB = ProjectFileBytes;

class TestStreamer : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const char *name) { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:

    // A remote name lives in a 16-byte field and ends at its first zero byte;
    // a stored length beyond the field is refused.
    void remoteNamesFillAtMostTheirField_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("length"); // as stored
        QTest::addColumn<QByteArray>("name");
        const QByteArray refused;
        QTest::newRow("all sixteen bytes")
            << QByteArray("0123456789abcdef") << 16 << QByteArray("0123456789abcdef");
        QTest::newRow("padded field")
            << QByteArray("abc\0\0\0\0\0\0\0\0\0\0\0\0\0", 16) << 16 << QByteArray("abc");
        QTest::newRow("zero inside") << QByteArray("ab\0cd", 5) << 5 << QByteArray("ab");
        QTest::newRow("17 bytes") << QByteArray(17, 'x') << 17 << refused;
        QTest::newRow("negative") << QByteArray("x") << -1 << refused;
    }
    void remoteNamesFillAtMostTheirField()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, length);
        QFETCH(QByteArray, name);
        PB::ControllerTemplate record;
        record.clips = {{3, QStringLiteral("c"), {{2, QStringLiteral("/v"), stored}}}};
        PB::Out out, tail, patched;
        out.u(Streamer::Magic, 8).i32(7);
        record.write(out, 7);
        tail.text(QStringLiteral("/v")).i32(stored.size());
        patched.text(QStringLiteral("/v")).i32(length);
        PB::writeFile(path("template.lmp"), out.bytes.replace(tail.bytes, patched.bytes));

        Streamer streamer;
        QVERIFY(streamer.open(Streamer::Mode_READ, path("template.lmp")));
        const ControllerTemplatePtr read = streamer.readControllerTemplate();
        QCOMPARE(streamer.isOk(), !name.isNull());
        if (name.isNull()) {
            QVERIFY(!read);
            QVERIFY(streamer.errorString().contains(QStringLiteral("out of bounds")));
            return;
        }
        QVERIFY(read);
        QCOMPARE(read->fileMediaClips().at(3).file(MediaType_Video).remoteName(), name);
    }
};

RW_TEST_MAIN(TestStreamer)
#include "tst_streamer.moc"
