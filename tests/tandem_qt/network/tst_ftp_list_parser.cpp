#include "ftp_list_parser.h"
#include "test_main.h"

using namespace Qt::StringLiterals;

class TestFtpListParser : public QObject
{
    Q_OBJECT

private slots:
    // An entry as "name|size|f, d or l|time|octal permissions"; empty: refused.
    void lines_data()
    {
        QTest::addColumn<bool>("mlsd");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("entry");
        const auto list = [](const char *name, const QString &line, const QString &entry) {
            QTest::newRow(name) << false << line << entry;
        };
        const auto mlsd = [](const char *name, const QString &line, const QString &entry) {
            QTest::newRow(name) << true << line << entry;
        };
        list("unix file, time shown",
             u"-rw-r--r--   1 rigward rigward     1234 Nov  5 14:03 upload.wr_"_s,
             u"upload.wr_|1234|f|2013-11-05T14:03:00|644"_s);
        list("unix time in the future belongs to last year", u"-rw-r--r-- 1 a b 1 Dec 24 10:00 x"_s,
             u"x|1|f|2012-12-24T10:00:00|644"_s);
        list("unix folder with year and blanks in the name",
             u"drwxr-x--- 2 ftp ftp 4096 Jan 01  2013 my media"_s,
             u"my media|4096|d|2013-01-01T00:00:00|750"_s);
        list("unix without group, with ACL mark", u"-rwxr-xr-x+ 1 owner 77 Feb 28 2012 run"_s,
             u"run|77|f|2012-02-28T00:00:00|755"_s);
        list("unix link drops its target", u"lrwxrwxrwx 1 a b 7 Mar 3 2010 current -> show.wr_"_s,
             u"current|7|l|2010-03-03T00:00:00|777"_s);
        list("size beyond 32 bits", u"-rw-r--r-- 1 a b 8589934592 Nov 5 2013 big.bin"_s,
             u"big.bin|8589934592|f|2013-11-05T00:00:00|644"_s);
        list("dos file", u"11-05-13  02:03PM              5678 clip01.bin"_s,
             u"clip01.bin|5678|f|2013-11-05T14:03:00|0"_s);
        list("dos folder after midnight", u"01-16-02  12:14AM       <DIR>          media files"_s,
             u"media files|0|d|2002-01-16T00:14:00|0"_s);
        list("dos four-digit year, 24 hours", u"03-04-1999  23:59  10 a.txt"_s,
             u"a.txt|10|f|1999-03-04T23:59:00|0"_s);
        list("total line", u"total 12"_s, QString());
        list("empty", u"\r\n"_s, QString());
        list("unknown month", u"-rw-r--r-- 1 a b 1 Foo 5 14:03 x"_s, QString());
        list("size not a number", u"-rw-r--r-- 1 a b 99999999999999999999 Nov 5 14:03 x"_s,
             QString());
        list("no name", u"-rw-r--r-- 1 a b 1 Nov 5 14:03 "_s, QString());
        list("prose", u"226 Transfer complete"_s, QString());
        mlsd("mlsd file, times in UTC", u"type=file;size=1234;modify=20131105140359.123; _val_id"_s,
             u"_val_id|1234|f|2013-11-05T14:03:59+00:00|0"_s);
        mlsd("facts in any case, name with blanks",
             u"Type=dir;Modify=20131105140359;UNIX.mode=0755; my folder"_s,
             u"my folder|0|d|2013-11-05T14:03:59+00:00|755"_s);
        mlsd("name with a semicolon", u"type=file;size=1;UNIX.mode=0640; a;b"_s, u"a;b|1|f||640"_s);
        mlsd("current folder", u"type=cdir;modify=20131105140359; ."_s, QString());
        mlsd("parent folder", u"type=pdir; .."_s, QString());
        mlsd("negative size", u"type=file;size=-5; x"_s, QString());
        mlsd("mlsd without name", u"type=file;size=5;"_s, QString());
        mlsd("fact without value", u"type;size=5; x"_s, QString());
    }
    void lines()
    {
        QFETCH(bool, mlsd);
        QFETCH(QString, line);
        QFETCH(QString, entry);
        const QDateTime now(QDate(2013, 11, 20), QTime(12, 0));
        UrlInfo info;
        const bool parsed = mlsd ? FtpListParser::parseMlsdLine(line, &info)
                                 : FtpListParser::parseListLine(line, &info, now);
        QCOMPARE(parsed, !entry.isEmpty());
        if (!parsed)
            return;
        const QString type = QLatin1String(info.isFile() ? "f" : "") +
                             QLatin1String(info.isDir() ? "d" : "") +
                             QLatin1String(info.isSymLink() ? "l" : "");
        QCOMPARE(u"%1|%2|%3|%4|%5"_s.arg(info.name())
                     .arg(info.size())
                     .arg(type, info.lastModified().toString(Qt::ISODate))
                     .arg(info.permissions(), 0, 8),
                 entry);
    }
};

RW_TEST_MAIN(TestFtpListParser)
#include "tst_ftp_list_parser.moc"
