#include "reader_inputs.h"
#include "test_main.h"
#include "validator_file.h"

#include <QDataStream>
#include <QIODevice>

namespace {

// Raw entries, as a controller might hold them.
QByteArray raw(quint32 magic, const QList<QList<quint32>> &entries, const QByteArray &tail = {})
{
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream << magic;
    for (const QList<quint32> &entry : entries) {
        for (const quint32 value : entry)
            stream << value;
    }
    stream.writeRawData(tail.constData(), int(tail.size()));
    return data;
}

} // namespace

class TestValidatorFile : public QObject
{
    Q_OBJECT

private slots:
    void writesEveryEntryInOrder()
    {
        const QList<FileToUpload> files = ReaderInputs::validatorFiles();
        const QByteArray digest = files[0].md5;
        const QByteArray data = ValidatorFile::write(7, files);
        QCOMPARE(data.size(), 4 + 16 + 16 + 16 + 16);
        QCOMPARE(ValidatorFile::size(files), qint64(data.size()));
        QCOMPARE(data.left(20), raw(6019, {{7, 0xFFFFFFFF, 1, 16}}));
        QCOMPARE(data.mid(20, 16), digest);

        const ValidatorFile::Entries entries = ValidatorFile::read(data);
        QCOMPARE(entries.size(), size_t(3));
        QCOMPARE(entries.at({7, 0xFFFFFFFF, 1}), digest);
        QCOMPARE(entries.at({7, 3, 4}), QByteArray());
    }

    // What a controller holds is read only as far as it is sound (the fuzz
    // target reads every other shape, lengths beyond the end among them).
    void readsOnlyWhatIsThere_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("entries");
        QTest::newRow("another magic") << raw(6018, {{1, 0, 4, 0}}) << 0;
        QTest::newRow("a repeated key")
            << raw(6019, {{1, 0, 4, 1}}, "a") + raw(6019, {{1, 0, 4, 1}}, "b").mid(4) << 1;
    }
    void readsOnlyWhatIsThere()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, entries);
        const ValidatorFile::Entries read = ValidatorFile::read(data);
        QCOMPARE(int(read.size()), entries);
        if (QByteArray(QTest::currentDataTag()) == "a repeated key")
            QCOMPARE(read.at({1, 0, 4}), QByteArray("b"));
    }
};

RW_TEST_MAIN(TestValidatorFile)
#include "tst_validator_file.moc"
