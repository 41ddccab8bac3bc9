#include "accessible_names.h"
#include "modal_answerer.h"
#include "pending_dialogs.h"
#include "test_main.h"
#include "version_checker.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

// Stands in for the desktop's browser.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestSoftwareUpdateDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    UrlRecorder m_browser;

private slots:
    void initTestCase()
    {
        for (const char *scheme : {"http", "https", "file", "ftp", "javascript"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &m_browser, "open");
    }

    // The feed comes over plain HTTP: only a web address is opened.
    void goToWebsiteOpensOnlyWebAddresses_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("opens");
        QTest::newRow("http") << u"http://releases.example/rw/2.0"_s << true;
        QTest::newRow("https") << u"https://releases.example/rw/2.0"_s << true;
        QTest::newRow("file") << u"file:///usr/bin/xterm"_s << false;
        QTest::newRow("ftp") << u"ftp://releases.example/rw.deb"_s << false;
        QTest::newRow("script") << u"javascript:alert(1)"_s << false;
    }

    void goToWebsiteOpensOnlyWebAddresses()
    {
        QFETCH(QString, page);
        QFETCH(bool, opens);
        QFile feed(m_dir.filePath(u"feed.xml"_s));
        QVERIFY(feed.open(QIODevice::WriteOnly | QIODevice::Truncate));
        feed.write(u"<releases><release version=\"9.1 BETA2\"><platform os=\"linux\">"
                   "<downloadpage>%1</downloadpage></platform><notes>Faster uploads</notes>"
                   "</release></releases>"_s.arg(page.toHtmlEscaped())
                       .toUtf8());
        feed.close();
        VersionChecker checker(QUrl::fromLocalFile(feed.fileName()));
        QSignalSpy read(&checker, &VersionChecker::releaseDataAvailable);
        QVERIFY(read.wait());

        m_browser.opened.clear();
        bool websiteEnabled = false;
        QStringList unnamed;
        ModalAnswerer answerer;
        answerer.act(u"Software Update"_s, [&](QWidget *window) {
            unnamed = unnamedFields(window);
            for (QPushButton *button : window->findChildren<QPushButton *>())
                if (button->text() == u"Go To Website")
                    websiteEnabled = button->isEnabled();
            ModalAnswerer::clickButton(window, websiteEnabled ? u"Go To Website"_s : u"Not Now"_s);
        });
        PendingDialogs().runSoftwareUpdate(&checker, true, nullptr);

        QVERIFY(answerer.done());
        QCOMPARE(websiteEnabled, opens);
        QCOMPARE(m_browser.opened, opens ? QList<QUrl>{QUrl(page)} : QList<QUrl>{});
        QCOMPARE(unnamed.join(u','), QString());
    }
};

RW_TEST_GUI_MAIN(TestSoftwareUpdateDialog)
#include "tst_software_update_dialog.moc"
