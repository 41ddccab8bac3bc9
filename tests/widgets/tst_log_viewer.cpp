#include "desktop_scene.h"
#include "log_viewer.h"

class TestLogViewer : public DesktopScene
{
    Q_OBJECT

    static QStringList lines(const LogViewer &viewer)
    {
        QCoreApplication::sendPostedEvents(); // lines are added once the loop runs
        const QString text = viewer.toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
    }

private slots:
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
        emit m_app->documentOpened();
        for (int level = 0; level <= 2; ++level)
            LumApplication::log(Category_App, u"level %1"_s.arg(level), level, false);
        QCOMPARE(lines(viewer).size(), shown);
        QCOMPARE(m_app->eventLog()->entries().size(), 3); // all stored
    }

    // Shown once however often the project is announced, and as written: no
    // markup is interpreted. Closing empties the pane and stops it until the
    // next project opens.
    void showsTheOpenProjectsEntries()
    {
        LogViewer viewer;
        LumApplication::log(Category_App, u"before"_s, 0, false);
        QVERIFY(viewer.toPlainText().isEmpty());
        emit m_app->documentOpened();
        emit m_app->documentOpened();
        LumApplication::log(Category_App, u"<b>%1</b> & after"_s, 0, false);
        const QStringList shown = lines(viewer);
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[0].endsWith(u"- before"_s));
        QVERIFY(shown[1].endsWith(u" - [APP] - <b>%1</b> & after"_s));

        emit m_app->documentClosing();
        QVERIFY(viewer.toPlainText().isEmpty());
        LumApplication::log(Category_App, u"between"_s, 0, false);
        QVERIFY(viewer.toPlainText().isEmpty());
        m_app->eventLog()->clear();
        LumApplication::log(Category_App, u"first of the next project"_s, 0, false);
        emit m_app->documentOpened();
        QCOMPARE(lines(viewer).size(), 1);
        QVERIFY(lines(viewer)[0].endsWith(u"- first of the next project"_s));
    }
};

RW_TEST_GUI_MAIN(TestLogViewer)
#include "tst_log_viewer.moc"
