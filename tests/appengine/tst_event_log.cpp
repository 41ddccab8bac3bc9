#include "event_log.h"
#include "lum_application.h"
#include "test_main.h"

#include <QSignalSpy>

#include <memory>

using namespace Qt::StringLiterals;

class TestEventLog : public QObject
{
    Q_OBJECT

private slots:
    // Entries come in order, each announced; escaping keeps a protocol
    // exchange on one line; clearing says nothing. Without an application
    // object the application-wide call drops the entry.
    void keepsEntriesInOrder()
    {
        LumApplication::log(Category_App, u"dropped"_s, 0, false);
        std::unique_ptr<LumApplication> app(LumApplication::create());
        EventLog &log = *app->eventLog();
        QSignalSpy spy(&log, &EventLog::messageLogged);
        const QDateTime before = QDateTime::currentDateTime();
        log.log(Category_Ftp, u"first\r\n"_s, 0, false);
        LumApplication::log(Category_Smtp, u"Sent: EHLO 10.0.0.2\r\n"_s, 2, true);
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(1).first().value<LogEntry>().message, u"Sent: EHLO 10.0.0.2\\r\\n"_s);
        const QList<LogEntry> entries = log.entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].message, u"first\r\n"_s);
        QVERIFY(entries[0].time >= before);
        log.clear();
        QVERIFY(log.entries().isEmpty());
        QCOMPARE(spy.size(), 2);
    }

    // Level 2 in brackets; percent signs in a message stay as they are.
    void displayLine()
    {
        const QDateTime time(QDate(2013, 11, 5), QTime(14, 3, 59));
        const LogEntry entry{Category_Schedule, 1, u"%1 %2"_s, time};
        QCOMPARE(entry.displayText(), u"Tue Nov 5 14:03:59 2013 - [SCHEDULE] - %1 %2"_s);
        const LogEntry trace{Category_Ftp, 2, u"File: a Size: 3"_s, time};
        QCOMPARE(trace.displayText(), u"Tue Nov 5 14:03:59 2013 - [FTP] - [File: a Size: 3]"_s);
    }
};

RW_TEST_MAIN(TestEventLog)
#include "tst_event_log.moc"
