#include "gui_shell.h"
#include "gui_startup.h"
#include "lum_application.h"
#include "test_main.h"

#include <QMessageBox>
#include <QTimer>

#include <memory>

class TestGuiStartup : public QObject
{
    Q_OBJECT

private slots:
    void installerMessage()
    {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->accept();
        });
        GuiStartup::showInstallerRunningMessage();
        QCOMPARE(title, QStringLiteral("Installer already running"));
        QCOMPARE(text, QStringLiteral("You must close the installer before you can run Rigwarden"));
        QCOMPARE(icon, QMessageBox::Warning);
    }

    void everyResourceTheApplicationNamesExists()
    {
        const char *const icons22[] = {"about",
                                       "add_installation",
                                       "cancel_all_scheduled_uploads",
                                       "cancel_all_uploads",
                                       "cancel_scheduled_upload",
                                       "cancel_upload",
                                       "close_document",
                                       "down_arrow",
                                       "edit_installation",
                                       "folder",
                                       "help",
                                       "important",
                                       "left_arrow",
                                       "locked",
                                       "mail",
                                       "minus",
                                       "new_document",
                                       "open_document",
                                       "plus",
                                       "preferences",
                                       "redo",
                                       "refresh",
                                       "remove_installation",
                                       "right_arrow",
                                       "save_document",
                                       "save_document_as",
                                       "schedule_upload",
                                       "stop",
                                       "system_settings",
                                       "tray_icon",
                                       "undo",
                                       "up_arrow",
                                       "upload",
                                       "upload_all",
                                       "warning",
                                       "www"};
        for (const char *name : icons22) {
            const QImage image(QStringLiteral(":/icons/22x22/%1.png").arg(QLatin1String(name)));
            QVERIFY2(!image.isNull(), name);
            QCOMPARE(image.size(), QSize(22, 22));
        }
        for (const char *name : {"exit", "new_document", "open_document"}) {
            const QImage image(QStringLiteral(":/icons/32x32/%1.png").arg(QLatin1String(name)));
            QVERIFY2(!image.isNull(), name);
            QCOMPARE(image.size(), QSize(32, 32));
        }
        QVERIFY(!QImage(QStringLiteral(":/splash.png")).isNull());
        QVERIFY(!QImage(QStringLiteral(":/launch_header.png")).isNull());
    }

    void splashStaysUntilHiddenOrTimesOut()
    {
        std::unique_ptr<LumApplication> app(LumApplication::create());
        GuiShell shell(app.get());
        shell.showSplashScreen();
        QVERIFY(shell.splashScreen()->isVisible());
        QTest::qWait(100);
        QVERIFY(shell.splashScreen()->isVisible());
        shell.hideSplashScreen();
        QVERIFY(!shell.splashScreen()->isVisible());

        QSplashScreen *first = shell.splashScreen();
        shell.showSplashScreen(50);
        QCOMPARE(shell.splashScreen(), first); // built once, reused
        QTRY_VERIFY(!shell.splashScreen()->isVisible());
        QVERIFY(shell.splashScreen()->message().startsWith(
            QStringLiteral("\n\n\n\n\nVersion 1.0.8\n")));
        QCOMPARE(shell.splashScreen()->message().count(QLatin1Char('\n')), 8);
    }
};

RW_TEST_GUI_MAIN(TestGuiStartup)
#include "tst_gui_startup.moc"
