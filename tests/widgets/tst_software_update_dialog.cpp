#include "desktop_scene.h"

class TestSoftwareUpdateDialog : public DesktopScene
{
    Q_OBJECT

public slots:
    void open(const QUrl &url) { m_opened << url; } // by the desktop's browser

private:
    QList<QUrl> m_opened;

private slots:
    // The feed comes over plain HTTP: only a web address is opened.
    void goToWebsiteOpensOnlyWebAddresses_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("opens");
        QTest::newRow("http") << u"http://releases.example/rw/2.0"_s << true;
        QTest::newRow("https") << u"https://releases.example/rw/2.0"_s << true;
        QTest::newRow("file") << u"file:///usr/bin/xterm"_s << false;
    }

    void goToWebsiteOpensOnlyWebAddresses()
    {
        QFETCH(QString, page);
        QFETCH(bool, opens);
        for (const QString &scheme : {u"http"_s, u"https"_s, u"file"_s})
            QDesktopServices::setUrlHandler(scheme, this, "open");
        const QByteArray feed = u"<releases><release version=\"9.1 BETA2\"><platform os=\"linux\">"
                                "<downloadpage>%1</downloadpage></platform></release></releases>"_s
                                    .arg(page.toHtmlEscaped())
                                    .toUtf8();
        VersionChecker checker(
            QUrl(u"data:text/xml;base64,"_s + QString::fromLatin1(feed.toBase64())));
        QVERIFY(QSignalSpy(&checker, &VersionChecker::releaseDataAvailable).wait());

        m_opened.clear();
        bool offered = false;
        QString unnamed;
        ModalAnswerer answerer;
        answerer.act(u"Software Update"_s, [&](QWidget *window) {
            unnamed = unnamedFields(window).join(u',');
            offered = window->findChildren<QPushButton *>().value(0)->isEnabled();
            ModalAnswerer::clickButton(window, offered ? u"Go To Website"_s : u"Not Now"_s);
        });
        ApplicationDialogs().runSoftwareUpdate(&checker, true, nullptr);

        QVERIFY(answerer.done());
        QCOMPARE(unnamed, QString());
        QCOMPARE(offered, opens);
        QCOMPARE(m_opened, opens ? QList<QUrl>{QUrl(page)} : QList<QUrl>{});
    }
};

RW_TEST_GUI_MAIN(TestSoftwareUpdateDialog)
#include "tst_software_update_dialog.moc"
