#include "ftp_list_parser.h"
#include "test_main.h"

#include <QTimeZone>

class TestFtpListParser : public QObject
{
    Q_OBJECT

private slots:
    void listLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("type"); // f(ile), d(ir), l(ink)
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<int>("permissions");

        const QDateTime noTime;
        QTest::newRow("unix file, time shown")
            << "-rw-r--r--   1 rigward rigward     1234 Nov  5 14:03 upload.wr_" << true
            << "upload.wr_" << qint64(1234) << "f" << QDateTime(QDate(2013, 11, 5), QTime(14, 3))
            << 0644;
        QTest::newRow("unix time in the future belongs to last year")
            << "-rw-r--r-- 1 a b 1 Dec 24 10:00 x" << true << "x" << qint64(1) << "f"
            << QDateTime(QDate(2012, 12, 24), QTime(10, 0)) << 0644;
        QTest::newRow("unix folder with year and blanks in the name")
            << "drwxr-x--- 2 ftp ftp 4096 Jan 01  2013 my media" << true << "my media"
            << qint64(4096) << "d" << QDateTime(QDate(2013, 1, 1), QTime(0, 0)) << 0750;
        QTest::newRow("unix without group, with ACL mark")
            << "-rwxr-xr-x+ 1 owner 77 Feb 28 2012 run" << true << "run" << qint64(77) << "f"
            << QDateTime(QDate(2012, 2, 28), QTime(0, 0)) << 0755;
        QTest::newRow("unix link drops its target")
            << "lrwxrwxrwx 1 a b 7 Mar 3 2010 current -> show.wr_" << true << "current" << qint64(7)
            << "l" << QDateTime(QDate(2010, 3, 3), QTime(0, 0)) << 0777;
        QTest::newRow("size beyond 32 bits")
            << "-rw-r--r-- 1 a b 8589934592 Nov 5 2013 big.bin" << true << "big.bin"
            << qint64(8589934592) << "f" << QDateTime(QDate(2013, 11, 5), QTime(0, 0)) << 0644;
        QTest::newRow("dos file") << "11-05-13  02:03PM              5678 clip01.bin" << true
                                  << "clip01.bin" << qint64(5678) << "f"
                                  << QDateTime(QDate(2013, 11, 5), QTime(14, 3)) << 0;
        QTest::newRow("dos folder at midnight")
            << "01-16-02  12:14AM       <DIR>          media files" << true << "media files"
            << qint64(0) << "d" << QDateTime(QDate(2002, 1, 16), QTime(0, 14)) << 0;
        QTest::newRow("dos four-digit year, 24 hours")
            << "03-04-1999  23:59  10 a.txt" << true << "a.txt" << qint64(10) << "f"
            << QDateTime(QDate(1999, 3, 4), QTime(23, 59)) << 0;
        QTest::newRow("total line") << "total 12" << false << "" << qint64(0) << "" << noTime << 0;
        QTest::newRow("empty") << "\r\n" << false << "" << qint64(0) << "" << noTime << 0;
        QTest::newRow("unknown month")
            << "-rw-r--r-- 1 a b 1 Foo 5 14:03 x" << false << "" << qint64(0) << "" << noTime << 0;
        QTest::newRow("size not a number") << "-rw-r--r-- 1 a b 99999999999999999999 Nov 5 14:03 x"
                                           << false << "" << qint64(0) << "" << noTime << 0;
        QTest::newRow("no name") << "-rw-r--r-- 1 a b 1 Nov 5 14:03 " << false << "" << qint64(0)
                                 << "" << noTime << 0;
        QTest::newRow("prose") << "226 Transfer complete" << false << "" << qint64(0) << ""
                               << noTime << 0;
    }
    void listLines()
    {
        QFETCH(QString, line);
        QFETCH(bool, parsed);
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QString, type);
        QFETCH(QDateTime, time);
        QFETCH(int, permissions);
        const QDateTime now(QDate(2013, 11, 20), QTime(12, 0));
        UrlInfo info;
        QCOMPARE(FtpListParser::parseListLine(line, &info, now), parsed);
        if (!parsed)
            return;
        QCOMPARE(info.name(), name);
        QCOMPARE(info.size(), size);
        QCOMPARE(info.isFile(), type == QLatin1String("f"));
        QCOMPARE(info.isDir(), type == QLatin1String("d"));
        QCOMPARE(info.isSymLink(), type == QLatin1String("l"));
        QCOMPARE(info.lastModified(), time);
        QCOMPARE(info.permissions(), permissions);
    }

    void mlsdLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("isDir");
        QTest::newRow("file") << "type=file;size=1234;modify=20131105140359; _val_id" << true
                              << "_val_id" << qint64(1234) << false;
        QTest::newRow("facts in any case, name with blanks")
            << "Type=dir;Modify=20131105140359;UNIX.mode=0755; my folder" << true << "my folder"
            << qint64(0) << true;
        QTest::newRow("name with a semicolon")
            << "type=file;size=1; a;b" << true << "a;b" << qint64(1) << false;
        QTest::newRow("current folder")
            << "type=cdir;modify=20131105140359; ." << false << "" << qint64(0) << false;
        QTest::newRow("parent folder") << "type=pdir; .." << false << "" << qint64(0) << false;
        QTest::newRow("negative size")
            << "type=file;size=-5; x" << false << "" << qint64(0) << false;
        QTest::newRow("no name") << "type=file;size=5;" << false << "" << qint64(0) << false;
        QTest::newRow("fact without value")
            << "type;size=5; x" << false << "" << qint64(0) << false;
    }
    void mlsdLines()
    {
        QFETCH(QString, line);
        QFETCH(bool, parsed);
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(bool, isDir);
        UrlInfo info;
        QCOMPARE(FtpListParser::parseMlsdLine(line, &info), parsed);
        if (!parsed)
            return;
        QCOMPARE(info.name(), name);
        QCOMPARE(info.size(), size);
        QCOMPARE(info.isDir(), isDir);
    }

    void mlsdTimesAreUtc()
    {
        UrlInfo info;
        QVERIFY(FtpListParser::parseMlsdLine(
            QStringLiteral("type=file;modify=20131105140359.123;UNIX.mode=0640; x"), &info));
        QCOMPARE(info.lastModified(),
                 QDateTime(QDate(2013, 11, 5), QTime(14, 3, 59), QTimeZone::utc()));
        QCOMPARE(info.permissions(), 0640);
    }
};

RW_TEST_MAIN(TestFtpListParser)
#include "tst_ftp_list_parser.moc"
