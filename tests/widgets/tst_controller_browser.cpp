#include "accessible_names.h"
#include "controller_browser.h"
#include "modal_answerer.h"
#include "pending_dialogs.h"
#include "test_environment.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QToolBar>
#include <QWebEngineView>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// A controller's web server on 127.0.0.1: the front page for anyone, the
// administration pages under "/default/" for "admin" with its password
// (basic authentication).
class ControllerWebServer : public QTcpServer
{
public:
    static inline const QByteArray Password = "secret";
    // The credentials of every request for the administration pages.
    QList<QByteArray> credentials;

    ControllerWebServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        });
    }

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> lines = request.left(request.indexOf("\r\n\r\n")).split('\n');
        const QByteArray path = lines.value(0).split(' ').value(1);
        QByteArray given;
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("authorization: basic "))
                given = QByteArray::fromBase64(line.mid(21).trimmed());
        }
        m_requests.remove(socket);

        QByteArray status = "200 OK";
        QByteArray title = "Controller";
        QByteArray extra;
        if (path.startsWith("/default/")) {
            credentials << given;
            title = "Administration";
            if (given != "admin:" + Password) {
                status = "401 Unauthorized";
                title = "Refused";
                extra = "WWW-Authenticate: Basic realm=\"controller\"\r\n";
            }
        } else if (path != "/") {
            status = "404 Not Found";
            title = "Missing";
        }
        const QByteArray body =
            "<html><head><title>" + title + "</title></head><body>" + title + "</body></html>";
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\n" + extra +
                      "Content-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QHash<QTcpSocket *, QByteArray> m_requests;
};

// Answers the password dialogs: a password is typed and OK clicked; an
// empty one clicks Cancel.
void answerPasswords(ModalAnswerer &answerer, const QStringList &passwords)
{
    for (const QString &password : passwords) {
        answerer.act(u"Authenication Required"_s, [password](QWidget *window) {
            if (!password.isEmpty())
                window->findChild<QLineEdit *>()->setText(password);
            ModalAnswerer::clickButton(window, password.isEmpty() ? u"Cancel"_s : u"OK"_s);
        });
    }
}

} // namespace

class TestControllerBrowser : public QObject
{
    Q_OBJECT

private:
    // A server per case: the web engine remembers the credentials of a site.
    std::unique_ptr<ControllerWebServer> m_server;
    std::unique_ptr<ControllerBrowser> m_browser;

    QUrl frontPage() const { return QUrl(u"http://127.0.0.1:%1"_s.arg(m_server->serverPort())); }

    bool showsPage(const QString &title)
    {
        return QTest::qWaitFor([&] { return m_browser->view()->title() == title; }, 30000);
    }

    // Goes to the administration pages, answering the password dialogs,
    // until the load has finished.
    bool openAdministration(const QStringList &passwords)
    {
        ModalAnswerer answerer;
        answerPasswords(answerer, passwords);
        QSignalSpy finished(m_browser->view(), &QWebEngineView::loadFinished);
        QAction *administration = nullptr;
        for (QAction *action : m_browser->toolBar()->actions()) {
            if (action->text() == u"Administration")
                administration = action;
        }
        administration->trigger();
        return QTest::qWaitFor([&] { return answerer.done() && !finished.isEmpty(); }, 30000) &&
               answerer.unexpected().isEmpty();
    }

private slots:
    void init()
    {
        m_server = std::make_unique<ControllerWebServer>();
        QVERIFY(m_server->listen(QHostAddress::LocalHost));
        if (m_browser) {
            m_browser->setUrl(frontPage());
        } else {
            // One browser for every case: starting the web engine is the slow part.
            m_browser.reset(static_cast<ControllerBrowser *>(
                PendingDialogs().createControllerBrowser(frontPage(), nullptr)));
            m_browser->resize(640, 480);
            m_browser->show();
        }
        QVERIFY(showsPage(u"Controller"_s));
    }

    void cleanupTestCase() { m_browser.reset(); }

    void fieldsAreNamed() { QCOMPARE(unnamedFields(m_browser.get()).join(u','), QString()); }

    // The administration pages keep the controller's port (it is not 80
    // here) and ask for the password of "admin"; a cancelled dialog leaves
    // them unloaded and the browser usable.
    void administrationAsksForTheAdminPassword_data()
    {
        QTest::addColumn<QStringList>("answers"); // a password, or empty: Cancel
        QTest::addColumn<bool>("loaded");
        QTest::newRow("right password") << QStringList{u"secret"_s} << true;
        QTest::newRow("cancelled") << QStringList{QString()} << false;
        QTest::newRow("wrong, then right") << QStringList{u"wrong"_s, u"secret"_s} << true;
    }

    void administrationAsksForTheAdminPassword()
    {
        QFETCH(QStringList, answers);
        QFETCH(bool, loaded);
        QVERIFY(openAdministration(answers));

        QList<QByteArray> sent{QByteArray()};
        for (const QString &password : std::as_const(answers)) {
            if (!password.isEmpty())
                sent << "admin:" + password.toLatin1();
        }
        QCOMPARE(m_server->credentials, sent);
        if (loaded) {
            QVERIFY(showsPage(u"Administration"_s));
            return;
        }
        QVERIFY(m_browser->view()->title() != u"Administration");
        // Still usable: asked again, the right password opens the pages.
        QVERIFY(openAdministration({u"secret"_s}));
        QVERIFY(showsPage(u"Administration"_s));
    }
};

int main(int argc, char **argv)
{
    // The web engine's sandbox refuses to run as root; this test alone may
    // then do without it. Anyone else keeps it.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    TestEnvironment environment;
    QApplication app(argc, argv);
    TestControllerBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_controller_browser.moc"
