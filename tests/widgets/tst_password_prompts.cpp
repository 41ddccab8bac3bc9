// The password prompts and the desktop's answers to the project's questions.

#include "password_scene.h"
#include "remove_installation_command.h"

class TestPasswordPrompts : public PasswordScene
{
    Q_OBJECT

private slots:
    // Every password field is named and keeps its text off the clipboard.
    void fieldsAreNamedAndRefuseToCopy()
    {
        QAuthenticator authenticator;
        PasswordEntryDialog entry(u"label"_s, PasswordCipher::encode(u"x"_s));
        AuthenticationDialog authentication(&authenticator);
        PasswordManager manager(document());
        QGuiApplication::clipboard()->setText(u"before"_s);
        for (QDialog *dialog :
             std::initializer_list<QDialog *>{&entry, &authentication, &manager}) {
            QCOMPARE(unnamedFields(dialog).join(u", "), QString());
            for (QLineEdit *edit : dialog->findChildren<QLineEdit *>()) {
                edit->setText(u"plain"_s);
                edit->selectAll();
                QTest::keySequence(edit, QKeySequence::Copy);
                QTest::keySequence(edit, QKeySequence::Cut);
            }
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), u"before"_s);
    }

    // The master password prompt after opening: each prompt after a wrong
    // attempt shows that attempt, selected; the typed text counts even when
    // OK is taken without leaving the line edit. Giving up offers to reset.
    void checkOnOpen_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("reset");
        const QString prompt = u"Password Required|"_s;
        const QString again = u"Password Required - Password is incorrect|"_s;
        const QString question = u"Reset Passwords|"_s;
        using L = QStringList;
        const L empty{QString()};
        QTest::newRow("no master password") << L{} << L{} << true << false;
        QTest::newRow("right") << L{prompt + u"type:master"_s} << empty << true << false;
        QTest::newRow("wrong, empty, right")
            << L{prompt + u"type:bad"_s, again + u"type:"_s, again + u"type:master"_s}
            << L{QString(), u"bad*"_s, QString()} << true << false;
        QTest::newRow("cancel, reset")
            << L{prompt + u"Cancel"_s, question + u"Reset"_s} << empty << true << true;
        QTest::newRow("cancel, cancel")
            << L{prompt + u"Cancel"_s, question + u"Cancel"_s} << empty << false << false;
        QTest::newRow("wrong, escape, escape")
            << L{prompt + u"type:bad"_s, again + u"<Esc>"_s, question + u"<Esc>"_s}
            << L{QString(), u"bad*"_s} << false << false;
        QTest::newRow("cancel, return")
            << L{prompt + u"Cancel"_s, question + u"<Return>"_s} << empty << false << false;
    }
    void checkOnOpen()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, shown);
        QFETCH(bool, opens);
        QFETCH(bool, reset);
        const bool master = !steps.isEmpty(); // the one row without asks for nothing
        buildProject(master);
        ModalAnswerer answerer;
        QStringList seen;
        queue(answerer, steps, &seen);
        QCOMPARE(PasswordHandling::checkMasterPasswordOnOpen(document(), m_window), opens);
        QVERIFY(answerer.done() && answerer.unexpected().isEmpty());
        QCOMPARE(seen, shown);
        QCOMPARE(document()->hasEntityPasswords(), !reset);
        QCOMPARE(document()->masterPassword().isEmpty(), reset || !master);
    }

    // What reaches the file, read back.
    void checkBeforeSave_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("saves");
        QTest::addColumn<bool>("passwordsSaved");
        const QString question = u"Passwords are cached|"_s;
        QTest::newRow("master password") << QString() << true << true;
        QTest::newRow("with") << question + u"Save with passwords"_s << true << true;
        QTest::newRow("return") << question + u"<Return>"_s << true << true;
        QTest::newRow("without") << question + u"Save without passwords"_s << true << false;
        QTest::newRow("cancel") << question + u"Cancel"_s << false << true;
        QTest::newRow("escape") << question + u"<Esc>"_s << false << true;
    }
    void checkBeforeSave()
    {
        QFETCH(QString, step);
        QFETCH(bool, saves);
        QFETCH(bool, passwordsSaved);
        const bool master = step.isNull(); // a master password saves without asking
        buildProject(master);
        ModalAnswerer answerer;
        queue(answerer, master ? QStringList() : QStringList{step});
        QCOMPARE(PasswordHandling::confirmSaveWithPasswords(document(), m_window), saves);
        QVERIFY(answerer.done() && answerer.unexpected().isEmpty());
        const QString path = m_dir.filePath(u"project.lmp"_s);
        QVERIFY(document()->saveAs(path) && document()->load(path));
        QCOMPARE(document()->hasEntityPasswords(), passwordsSaved);
        QCOMPARE(document()->masterPassword().isEmpty(), !master);
    }

    // A box whose window closes while it is open counts as No.
    void questionOverAClosingWindow()
    {
        ModalAnswerer answerer;
        answerer.act(u"Question"_s, [this](QWidget *) { delete m_window; });
        QVERIFY(!m_prompts->askYesNo(u"Question"_s, u"Text?"_s));
        QVERIFY(answerer.done());
    }

    // The FTP login asks for the password the simulated controller demands;
    // the session, the controller, the project or the window may end while the
    // dialog is open: an answer for a controller or project that is gone is
    // dropped, and the run ends cancelled.
    void ftpLoginAsksForThePassword_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("kept"); // the answer became the controller's password
        const int stopped = UploadReport::State_Cancelled;
        QTest::newRow("answered") << QString() << int(UploadReport::State_Success) << true;
        QTest::newRow("upload cancelled") << u"cancel"_s << stopped << true;
        QTest::newRow("installation removed") << u"remove"_s << stopped << false;
        QTest::newRow("project closed") << u"close"_s << stopped << false;
        // Later prompts find no answer and give up.
        QTest::newRow("window closed") << u"window"_s << int(UploadReport::State_Failed) << false;
    }
    void ftpLoginAsksForThePassword()
    {
        QFETCH(QString, meanwhile);
        QFETCH(int, result);
        QFETCH(bool, kept);
        Site site;
        QVERIFY(startSite(site, m_show.controllerTemplate(), {u"--fault=0:password=secret"_s},
                          QString()));
        ModalAnswerer answerer;
        answerer.act(u"Password Required"_s, [&](QWidget *dialog) {
            if (meanwhile == u"cancel"_s)
                controller(site.id)->cancelUpload();
            else if (meanwhile == u"close"_s)
                document()->reset();
            else if (meanwhile == u"remove"_s)
                document()->undoStack()->push(
                    new RemoveInstallationCommand(controller(site.id)->installationId()));
            else if (meanwhile == u"window"_s)
                delete m_window;
            if (meanwhile != u"window"_s)
                respond(dialog, u"type:secret"_s);
        });
        QCOMPARE(int(uploadResult(site.id, true, 5000).first), result);
        QCOMPARE(document()->undoStack()->count(), int(kept || meanwhile == u"remove"_s));
        if (kept)
            QCOMPARE(controller(site.id)->password(), PasswordCipher::encode(u"secret"_s));
    }
};

RW_TEST_GUI_MAIN(TestPasswordPrompts)
#include "tst_password_prompts.moc"
