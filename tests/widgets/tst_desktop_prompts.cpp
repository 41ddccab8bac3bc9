#include "desktop_prompts.h"
#include "link_fixture.h"
#include "password_answers.h"
#include "test_main.h"

#include <QLabel>
#include <QPointer>
#include <QUndoStack>

using namespace LinkFixture;
using namespace Qt::StringLiterals;

// The desktop's answers to the document's questions, and the password
// dialog of a controller's FTP login against a simulated controller that
// demands "secret".
class TestDesktopPrompts : public QObject
{
    Q_OBJECT

    QPointer<QWidget> m_window;
    std::unique_ptr<DesktopPrompts> m_prompts;

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        ControllerSimulator::raiseFileLimit();
    }
    void init()
    {
        resetApplication();
        m_window = new QWidget;
        m_window->show();
        m_prompts = std::make_unique<DesktopPrompts>([this] { return m_window.data(); });
        document()->setPrompts(m_prompts.get());
    }
    void cleanup()
    {
        document()->setPrompts(nullptr);
        delete m_window;
    }

    void questions_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << u"Yes"_s << true;
        QTest::newRow("No") << u"No"_s << false;
        QTest::newRow("Escape") << u"<Esc>"_s << false;
        QTest::newRow("window closed") << u"close"_s << false;
    }
    void questions()
    {
        QFETCH(QString, answer);
        QFETCH(bool, yes);
        ModalAnswerer answerer;
        bool overTheWindow = false;
        answerer.act(u"Question"_s, [&](QWidget *box) {
            overTheWindow = box->parentWidget() == m_window;
            if (answer == u"close"_s)
                delete m_window;
            else
                PasswordAnswers::respond(box, answer);
        });
        QCOMPARE(m_prompts->askYesNo(u"Question"_s, u"Text?"_s), yes);
        QVERIFY(answerer.done());
        QVERIFY(overTheWindow);
    }

    // The operator is asked for the password the controller demands; the
    // session (or the controller) may end while the dialog is open, and the
    // answer is then dropped.
    void ftpLoginAsksForThePassword_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("kept"); // the answer became the controller's password
        QTest::newRow("answered") << QString() << int(UploadReport::State_Success) << true;
        QTest::newRow("upload cancelled")
            << u"cancel"_s << int(UploadReport::State_Cancelled) << true;
        QTest::newRow("project closed")
            << u"close"_s << int(UploadReport::State_Cancelled) << false;
        // Later attempts find no window to answer them and give up.
        QTest::newRow("main window closed")
            << u"window"_s << int(UploadReport::State_Failed) << false;
    }
    void ftpLoginAsksForThePassword()
    {
        QFETCH(QString, meanwhile);
        QFETCH(int, result);
        QFETCH(bool, kept);
        ShowFolder show;
        Site site;
        QVERIFY(startSite(site, show.controllerTemplate(), {u"--fault=0:password=secret"_s},
                          QString()));
        ModalAnswerer answerer;
        QString label;
        answerer.act(u"Password Required"_s, [&](QWidget *dialog) {
            label = dialog->findChild<QLabel *>()->text();
            if (meanwhile == u"cancel"_s)
                controller(site.id)->cancelUpload();
            else if (meanwhile == u"close"_s)
                document()->reset();
            else if (meanwhile == u"window"_s)
                delete m_window;
            if (meanwhile != u"window"_s)
                PasswordAnswers::respond(dialog, u"type:secret"_s);
        });
        QCOMPARE(int(uploadResult(site.id, true, 5000).first), result);
        QVERIFY(answerer.done());
        QCOMPARE(label,
                 QStringLiteral("The controller 127.0.0.1 requires a password before allowing "
                                "uploads"));
        QCOMPARE(document()->undoStack()->count(), kept ? 1 : 0);
        if (kept)
            QCOMPARE(controller(site.id)->password(), PasswordCipher::encode(u"secret"_s));
    }
};

RW_TEST_GUI_MAIN(TestDesktopPrompts)
#include "tst_desktop_prompts.moc"
