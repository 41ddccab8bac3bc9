#include "event_log.h"
#include "log_viewer.h"
#include "lum_application.h"
#include "test_main.h"

#include <memory>

class TestLogViewer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<LumApplication> m_app;

    static QStringList lines(const LogViewer &viewer)
    {
        const QString text = viewer.toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }
    static void log(int level, const QString &message)
    {
        LumApplication::log(Category_App, message, level, false);
    }

private slots:
    void init()
    {
        m_app.reset(LumApplication::create());
        LumApplication::setLogLevel(0);
    }
    void cleanup() { m_app.reset(); }

    void showsOnlyWhatTheThresholdAllows_data()
    {
        QTest::addColumn<int>("threshold");
        QTest::addColumn<int>("shown");
        QTest::newRow("default") << 0 << 1;
        QTest::newRow("1") << 1 << 2;
        QTest::newRow("2") << 2 << 3;
    }
    void showsOnlyWhatTheThresholdAllows()
    {
        QFETCH(int, threshold);
        QFETCH(int, shown);
        LumApplication::setLogLevel(threshold);
        LogViewer viewer;
        LumApplication::setLogLevel(0); // copied at construction
        QCOMPARE(viewer.threshold(), threshold);
        emit m_app->documentOpened();
        for (int level = 0; level <= 2; ++level)
            log(level, QStringLiteral("level %1").arg(level));
        QCOMPARE(lines(viewer).size(), shown);
        QCOMPARE(m_app->eventLog()->entries().size(), 3); // all stored
        if (threshold == 2) {
            QVERIFY(lines(viewer)[2].endsWith(QStringLiteral(" - [APP] - [level 2]")));
            QVERIFY(lines(viewer)[1].endsWith(QStringLiteral(" - [APP] - level 1")));
        }
    }

    void entriesBeforeAnOpenAreShownWhenItOpens()
    {
        LogViewer viewer;
        log(0, QStringLiteral("before"));
        QVERIFY(viewer.toPlainText().isEmpty());
        emit m_app->documentOpened();
        log(0, QStringLiteral("after"));
        const QStringList shown = lines(viewer);
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[0].endsWith(QStringLiteral("- before")));
        QVERIFY(shown[1].endsWith(QStringLiteral("- after")));
    }

    void closingEmptiesThePaneAndStopsIt()
    {
        LogViewer viewer;
        emit m_app->documentOpened();
        log(0, QStringLiteral("one"));
        emit m_app->documentClosing();
        QVERIFY(viewer.toPlainText().isEmpty());
        log(0, QStringLiteral("between"));
        QVERIFY(viewer.toPlainText().isEmpty());
        m_app->eventLog()->clear();
        log(0, QStringLiteral("first of the next project"));
        emit m_app->documentOpened();
        QCOMPARE(lines(viewer).size(), 1);
        QVERIFY(lines(viewer)[0].endsWith(QStringLiteral("- first of the next project")));
    }

    void messagesAreShownVerbatim()
    {
        LogViewer viewer;
        emit m_app->documentOpened();
        log(0, QStringLiteral("<b>%1</b> & more"));
        LumApplication::log(Category_Smtp, QStringLiteral("Sent: QUIT\r\n"), 0, true);
        QVERIFY(lines(viewer)[0].endsWith(QStringLiteral(" - [APP] - <b>%1</b> & more")));
        QVERIFY(lines(viewer)[1].endsWith(QStringLiteral(" - [SMTP] - Sent: QUIT\\r\\n")));
        QCOMPARE(lines(viewer).size(), 2);
    }

    void reopeningDoesNotDoubleTheLines()
    {
        LogViewer viewer;
        emit m_app->documentOpened();
        emit m_app->documentOpened();
        log(0, QStringLiteral("once"));
        QCOMPARE(lines(viewer).size(), 1);
    }
};

RW_TEST_GUI_MAIN(TestLogViewer)
#include "tst_log_viewer.moc"
