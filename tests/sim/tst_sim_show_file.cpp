#include "show_file_writer.h"
#include "sim_show_file.h"
#include "test_main.h"

#include <QFile>
#include <QTemporaryDir>

namespace {
const QUuid projectUuid(QStringLiteral("{6fa1c1e0-0c4a-4f8e-9d51-3c2b8f0e2a17}"));
}

class TestSimShowFile : public QObject
{
    Q_OBJECT

private slots:
    void readsTheProjectUuid_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QUuid>("expected");
        QTest::newRow("general 315") << ShowFileWriter::general(315, projectUuid)
                                     << QStringLiteral("upload.wr_") << projectUuid;
        QTest::newRow("general 306") << ShowFileWriter::general(306, projectUuid)
                                     << QStringLiteral("upload.wr_") << projectUuid;
        QTest::newRow("general 305 has none")
            << ShowFileWriter::general(305, projectUuid) << QStringLiteral("upload.wr_") << QUuid();
        QByteArray wrongMarker = ShowFileWriter::general(315, projectUuid);
        wrongMarker[6] = 0x34;
        QTest::newRow("general, wrong marker")
            << wrongMarker << QStringLiteral("upload.wr_") << QUuid();
        QTest::newRow("general, cut short") << ShowFileWriter::general(315, projectUuid).left(20)
                                            << QStringLiteral("upload.wr_") << QUuid();
        QTest::newRow("kma 28") << ShowFileWriter::kma(28, projectUuid)
                                << QStringLiteral("newshow.kma") << projectUuid;
        QTest::newRow("kma 27 has none")
            << ShowFileWriter::kma(27, projectUuid) << QStringLiteral("newshow.kma") << QUuid();
        QTest::newRow("kma read as general")
            << ShowFileWriter::kma(28, projectUuid) << QStringLiteral("upload.wr_") << QUuid();
        QTest::newRow("empty") << QByteArray() << QStringLiteral("newshow.kma") << QUuid();
    }
    void readsTheProjectUuid()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QFETCH(QUuid, expected);
        QTemporaryDir folder;
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QCOMPARE(SimShowFile::projectUuid(file.fileName(), SimShowFile::layoutOfName(name)),
                 expected);
    }

    void missingFileHasNoUuid()
    {
        QVERIFY(SimShowFile::projectUuid(QStringLiteral("/nonexistent/upload.wr_"),
                                         SimShowFile::Layout_General)
                    .isNull());
    }
};

RW_TEST_MAIN(TestSimShowFile)
#include "tst_sim_show_file.moc"
