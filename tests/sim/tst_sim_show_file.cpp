#include "show_file_bytes.h"
#include "sim_show_file.h"
#include "test_main.h"

#include <QTemporaryDir>

using namespace ShowFileBytes;

// The layout follows the remote name; the header is read by the
// application's own reader, whose refusals are tested with it.
class TestSimShowFile : public QObject
{
    Q_OBJECT

private slots:
    void readsTheProjectUuid_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        General v305;
        v305.version = 305;
        QTest::newRow("general") << General().bytes() << "upload.wr_" << true;
        QTest::newRow("general 305 has none") << v305.bytes() << "upload.wr_" << false;
        QTest::newRow("KMA") << Kma().bytes() << "newshow.kma" << true;
        QTest::newRow("KMA read as general") << Kma().bytes() << "upload.wr_" << false;
        QTest::newRow("no file") << QByteArray() << "newshow.kma" << false;
    }
    void readsTheProjectUuid()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QFETCH(bool, found);
        QTemporaryDir folder;
        const QString path = folder.filePath(name);
        if (!content.isNull())
            QVERIFY(writeFile(path, content));
        QCOMPARE(SimShowFile::projectUuid(path, SimShowFile::layoutOfName(name)),
                 found ? QUuid(QStringLiteral("{00112233-4455-6677-8899-aabbccddeeff}")) : QUuid());
    }
};

RW_TEST_MAIN(TestSimShowFile)
#include "tst_sim_show_file.moc"
