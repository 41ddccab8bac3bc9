#include "event_log.h"
#include "lum_application.h"
#include "test_main.h"

#include <QSignalSpy>

#include <memory>

class TestEventLog : public QObject
{
    Q_OBJECT

private slots:
    void appendsInOrderAndAnnouncesEachEntry()
    {
        EventLog log;
        QSignalSpy spy(&log, &EventLog::messageLogged);
        const QDateTime before = QDateTime::currentDateTime();
        log.log(Category_Ftp, QStringLiteral("first"), 0, false);
        log.log(Category_Smtp, QStringLiteral("second"), 2, false);
        QCOMPARE(spy.size(), 2);
        const QList<LogEntry> entries = log.entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].message, QStringLiteral("first"));
        QCOMPARE(entries[0].category, Category_Ftp);
        QCOMPARE(entries[1].level, 2);
        QVERIFY(entries[0].time >= before);
        QCOMPARE(spy[1][0].value<LogEntry>().message, QStringLiteral("second"));
    }

    void escapingKeepsAnExchangeOnOneLine()
    {
        EventLog log;
        log.log(Category_Smtp, QStringLiteral("Sent: EHLO 10.0.0.2\r\n"), 2, true);
        log.log(Category_Smtp, QStringLiteral("raw\r\n"), 2, false);
        QCOMPARE(log.entries()[0].message, QStringLiteral("Sent: EHLO 10.0.0.2\\r\\n"));
        QCOMPARE(log.entries()[1].message, QStringLiteral("raw\r\n"));
    }

    void clearEmptiesSilently()
    {
        EventLog log;
        log.log(Category_App, QStringLiteral("x"), 0, false);
        QSignalSpy spy(&log, &EventLog::messageLogged);
        log.clear();
        QVERIFY(log.entries().isEmpty());
        QCOMPARE(spy.size(), 0);
    }

    void displayLine_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("level 0") << int(Category_Schedule) << 0 << QStringLiteral("Starting")
                                 << QStringLiteral("[SCHEDULE] - Starting");
        QTest::newRow("level 1") << int(Category_Http) << 1 << QStringLiteral("Getting status")
                                 << QStringLiteral("[HTTP] - Getting status");
        QTest::newRow("level 2 in brackets")
            << int(Category_Ftp) << 2 << QStringLiteral("File: a Size: 3")
            << QStringLiteral("[FTP] - [File: a Size: 3]");
        QTest::newRow("percent signs stay") << int(Category_Media) << 2 << QStringLiteral("%1 %2")
                                            << QStringLiteral("[MEDIA] - [%1 %2]");
        QTest::newRow("app") << int(Category_App) << 0 << QStringLiteral("a")
                             << QStringLiteral("[APP] - a");
    }
    void displayLine()
    {
        QFETCH(int, category);
        QFETCH(int, level);
        QFETCH(QString, message);
        QFETCH(QString, shown);
        const QDateTime time(QDate(2013, 11, 5), QTime(14, 3, 59));
        const LogEntry entry{LogCategory(category), level, message, time};
        QCOMPARE(entry.displayText(), time.toString(Qt::TextDate) + QStringLiteral(" - ") + shown);
    }

    void applicationWideCallReachesTheApplicationsLog()
    {
        LumApplication::log(Category_App, QStringLiteral("dropped"), 0,
                            false); // no application yet
        std::unique_ptr<LumApplication> app(LumApplication::create());
        LumApplication::log(Category_Smtp, QStringLiteral("Rcvd: 250 OK\r\n"), 2, true);
        const QList<LogEntry> entries = app->eventLog()->entries();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].message, QStringLiteral("Rcvd: 250 OK\\r\\n"));
    }
};

RW_TEST_MAIN(TestEventLog)
#include "tst_event_log.moc"
