#include "digest_cache.h"
#include "show_file_bytes.h"
#include "test_main.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

class TestDigestCache : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // Asks until the digest is there.
    static QByteArray digestOf(DigestCache &cache, const QString &path)
    {
        QByteArray result;
        (void)QTest::qWaitFor([&] {
            const std::optional<QByteArray> digest = cache.digest(path);
            if (digest)
                result = *digest;
            return digest.has_value();
        });
        return result;
    }

private slots:

    // A new size or a new modification time is a new identity.
    void noticesAChange_data()
    {
        QTest::addColumn<bool>("sameSize");
        QTest::newRow("other size") << false;
        QTest::newRow("same size, later time") << true;
    }
    void noticesAChange()
    {
        QFETCH(bool, sameSize);
        DigestCache cache;
        const QString path = m_dir.filePath(u"changing.bin"_s);
        QVERIFY(ShowFileBytes::writeFile(path, "first"));
        QCOMPARE(digestOf(cache, path), QCryptographicHash::hash("first", QCryptographicHash::Md5));
        const QByteArray second = sameSize ? "other" : "second";
        QVERIFY(ShowFileBytes::writeFile(path, second));
        QVERIFY(ShowFileBytes::touch(path, 10));
        QCOMPARE(digestOf(cache, path), QCryptographicHash::hash(second, QCryptographicHash::Md5));
        QCOMPARE(cache.readCount(), 2);
    }

    void noFileHasAnEmptyDigestAtOnce()
    {
        DigestCache cache;
        for (const QString &path : {QString(), m_dir.filePath(u"none"_s), m_dir.path()})
            QCOMPARE(cache.digest(path), std::optional<QByteArray>(QByteArray()));
        QCOMPARE(cache.readCount(), 0);
    }

    // The file goes while it is read: the waiter still hears of it, and
    // asking again gives the empty digest of a missing file. Destroyed while
    // reading, the cache stops its worker and nothing arrives later.
    void fileOrCacheGoneWhileComputing()
    {
        auto cache = std::make_unique<DigestCache>();
        const QString path = m_dir.filePath(u"vanishing.bin"_s);
        QVERIFY(ShowFileBytes::writeFile(path, QByteArray(32 * 1024 * 1024, 'v')));
        QSignalSpy ready(cache.get(), &DigestCache::digestReady);
        QVERIFY(!cache->digest(path));
        QVERIFY(QFile::remove(path));
        QCOMPARE(cache->digest(path), std::optional<QByteArray>(QByteArray()));
        QVERIFY(ready.wait());
        QCOMPARE(cache->digest(path), std::optional<QByteArray>(QByteArray()));

        QVERIFY(ShowFileBytes::writeFile(path, QByteArray(64 * 1024 * 1024, 'z')));
        QVERIFY(!cache->digest(path));
        cache.reset();
        QTest::qWait(50);
    }
};

RW_TEST_MAIN(TestDigestCache)
#include "tst_digest_cache.moc"
