#include "accessible_names.h"
#include "application_dialogs.h"
#include "controller_browser.h"
#include "modal_answerer.h"
#include "test_main.h"

#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QToolBar>
#include <QWebEngineView>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

// The web engine's sandbox refuses to run as root; this test alone then does
// without it, from before the application starts. Anyone else keeps it.
[[maybe_unused]] const bool sandboxOff =
    geteuid() == 0 && qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

class TestControllerBrowser : public QObject
{
    Q_OBJECT

private:
    // A server per case: the web engine remembers the credentials of a site.
    std::unique_ptr<QProcess> m_server;
    QUrl m_frontPage;
    // The credentials the server was given, as it printed them.
    QString m_given;
    std::unique_ptr<ControllerBrowser> m_browser;

    QString given()
    {
        m_given += QString::fromLatin1(m_server->readAll());
        return m_given.simplified();
    }

    bool showsPage(const QString &title)
    {
        return QTest::qWaitFor([&] { return m_browser->view()->title() == title; }, 30000);
    }

    // Goes to the administration pages, answering each password dialog with
    // its password and OK, or Cancel for an empty one, until they loaded.
    bool openAdministration(const QStringList &passwords)
    {
        ModalAnswerer answerer;
        for (const QString &password : passwords) {
            answerer.act(u"Authenication Required"_s, [password](QWidget *window) {
                window->findChild<QLineEdit *>()->setText(password);
                ModalAnswerer::clickButton(window, password.isEmpty() ? u"Cancel"_s : u"OK"_s);
            });
        }
        QSignalSpy finished(m_browser->view(), &QWebEngineView::loadFinished);
        m_browser->toolBar()->actions().constLast()->trigger(); // Administration
        return QTest::qWaitFor([&] { return answerer.done() && !finished.isEmpty(); }, 30000) &&
               answerer.unexpected().isEmpty();
    }

private slots:
    void init()
    {
        m_server = std::make_unique<QProcess>();
        m_server->start(u"/usr/bin/python3"_s, {TestEnvironment::sourceDir() +
                                                    u"/tests/widgets/controller_web_server.py"_s,
                                                u"secret"_s});
        QVERIFY(m_server->waitForReadyRead(10000));
        m_frontPage =
            QUrl(u"http://127.0.0.1:"_s + QString::fromLatin1(m_server->readLine().trimmed()));
        m_given.clear();
        if (!m_browser) {
            // One browser for every case: starting the web engine is the slow part.
            m_browser.reset(static_cast<ControllerBrowser *>(
                ApplicationDialogs().createControllerBrowser(m_frontPage, nullptr)));
            m_browser->show();
        }
        m_browser->setUrl(m_frontPage);
        QVERIFY(showsPage(u"Controller"_s));
    }

    void cleanup()
    {
        m_server->closeWriteChannel();
        m_server->waitForFinished();
    }

    void cleanupTestCase() { m_browser.reset(); }

    void fieldsAreNamed() { QCOMPARE(unnamedFields(m_browser.get()).join(u','), QString()); }

    // The administration pages keep the controller's port (not 80 here) and
    // ask for the password of "admin"; a cancelled dialog leaves them
    // unloaded and the browser usable.
    void administrationAsksForTheAdminPassword_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("credentials");
        QTest::newRow("right password") << QStringList{u"secret"_s} << u"- admin:secret"_s;
        QTest::newRow("cancelled") << QStringList{QString()} << u"-"_s;
        QTest::newRow("wrong, then right")
            << QStringList{u"wrong"_s, u"secret"_s} << u"- admin:wrong admin:secret"_s;
    }

    void administrationAsksForTheAdminPassword()
    {
        QFETCH(QStringList, answers);
        QFETCH(QString, credentials);
        QVERIFY(openAdministration(answers));
        QTRY_COMPARE(given(), credentials);
        if (answers.constLast().isEmpty()) {
            QVERIFY(m_browser->view()->title() != u"Administration");
            QVERIFY(openAdministration({u"secret"_s}));
        }
        QVERIFY(showsPage(u"Administration"_s));
    }
};

RW_TEST_GUI_MAIN(TestControllerBrowser)
#include "tst_controller_browser.moc"
