// The start-up pieces of the desktop: resources and the splash screen.

#include "desktop_scene.h"

class TestGuiStartup : public DesktopScene
{
    Q_OBJECT

private slots:
    // Every icon of the map is baked at the size its folder names, and our
    // own artwork is there.
    void everyResourceTheApplicationNamesExists()
    {
        QFile map(TestEnvironment::sourceDir() + u"/src/resources/icons.map"_s);
        QVERIFY(map.open(QIODevice::ReadOnly | QIODevice::Text));
        int icons = 0;
        while (!map.atEnd()) {
            const QString name = QString::fromUtf8(map.readLine()).section(QLatin1Char(' '), 0, 0);
            if (!name.startsWith(QLatin1String("icons/")))
                continue;
            const int side =
                name.section(QLatin1Char('/'), 1, 1).section(QLatin1Char('x'), 0, 0).toInt();
            QCOMPARE(QImage(QLatin1String(":/") + name).size(), QSize(side, side));
            ++icons;
        }
        QVERIFY(icons > 30);
        QCOMPARE(QImage(u":/icons/22x22/tray_icon.png"_s).size(), QSize(22, 22));
        QVERIFY(!QImage(u":/splash.png"_s).isNull());
        QVERIFY(!QImage(u":/launch_header.png"_s).isNull());
    }

    void splashStaysUntilHiddenOrTimesOut()
    {
        m_shell->showSplashScreen();
        QVERIFY(m_shell->splashScreen()->isVisible());
        QTest::qWait(100);
        QVERIFY(m_shell->splashScreen()->isVisible());
        m_shell->hideSplashScreen();
        QVERIFY(!m_shell->splashScreen()->isVisible());

        m_shell->showSplashScreen(50);
        QTRY_VERIFY(!m_shell->splashScreen()->isVisible());
    }
};

RW_TEST_GUI_MAIN(TestGuiStartup)
#include "tst_gui_startup.moc"
