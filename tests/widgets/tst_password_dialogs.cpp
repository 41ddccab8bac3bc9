#include "authentication_dialog.h"
#include "link_fixture.h"
#include "password_answers.h"
#include "password_entry_dialog.h"
#include "password_handling.h"
#include "password_manager.h"
#include "test_main.h"

#include <QAccessible>
#include <QAuthenticator>
#include <QClipboard>
#include <QGuiApplication>

using namespace LinkFixture;
using namespace Qt::StringLiterals;

namespace {

const QString secret = PasswordCipher::encode(QStringLiteral("secret"));

} // namespace

// The password prompts and the questions that guard a project's passwords
// when it is opened and saved.
class TestPasswordDialogs : public QObject
{
    Q_OBJECT

    QList<uint> m_controllers;

    // A group with a password over two controllers, one with its own.
    void buildProject(bool withMaster)
    {
        m_controllers = addControllers(std::make_shared<ControllerTemplate>(), 2);
        const uint installationId = controller(m_controllers.first())->installationId();
        document()->group(document()->installation(installationId)->groupId())->setPassword(secret);
        controller(m_controllers.first())->setPassword(PasswordCipher::encode(u"own"_s));
        if (withMaster)
            document()->setMasterPassword(secret);
    }

    static bool allEmpty() { return !document()->hasEntityPasswords(); }

private slots:
    void initTestCase() { LumApplication::create(this); }
    void init() { resetApplication(); }

    void fieldsAreNamedAndRefuseToCopy_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("field");
        QTest::newRow("password entry") << u"entry"_s << u"Password"_s;
        QTest::newRow("authentication") << u"authentication"_s << u"Password"_s;
        QTest::newRow("master") << u"manager"_s << u"Master Password"_s;
        QTest::newRow("confirm master") << u"manager"_s << u"Confirm Master Password"_s;
    }
    void fieldsAreNamedAndRefuseToCopy()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, field);
        QAuthenticator authenticator;
        std::unique_ptr<QDialog> window;
        if (dialog == u"entry"_s)
            window = std::make_unique<PasswordEntryDialog>(u"label"_s, secret);
        else if (dialog == u"authentication"_s)
            window = std::make_unique<AuthenticationDialog>(&authenticator);
        else
            window = std::make_unique<PasswordManager>(document());
        window->show();
        QLineEdit *edit = nullptr;
        for (QLineEdit *each : window->findChildren<QLineEdit *>()) {
            if (QAccessible::queryAccessibleInterface(each)->text(QAccessible::Name) == field)
                edit = each;
        }
        QVERIFY2(edit, "no field of that name");
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QGuiApplication::clipboard()->setText(u"before"_s);
        edit->setText(u"plain"_s);
        edit->selectAll();
        QTest::keySequence(edit, QKeySequence::Copy);
        QTest::keySequence(edit, QKeySequence::Cut);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    }

    // The previous attempt is shown selected; the typed text is the result
    // even when OK is taken without leaving the line edit.
    void entryDialogEnciphersWhatWasTyped()
    {
        PasswordEntryDialog dialog(u"Label"_s, secret);
        auto *edit = dialog.findChild<QLineEdit *>();
        QCOMPARE(edit->text(), QStringLiteral("secret"));
        QCOMPARE(edit->selectedText().size(), 6);
        ModalAnswerer answerer;
        PasswordAnswers::queue(answerer, {u"Password Required|type:other"_s});
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(dialog.result(), PasswordCipher::encode(u"other"_s));
    }

    void masterPasswordPrompt_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("given");
        const QString first = u"Password Required|"_s;
        const QString again = u"Password Required - Password is incorrect|"_s;
        QTest::newRow("right") << QStringList{first + u"type:secret"_s} << true;
        QTest::newRow("wrong, then right")
            << QStringList{first + u"type:bad"_s, again + u"type:"_s, again + u"type:secret"_s}
            << true;
        QTest::newRow("cancelled") << QStringList{first + u"Cancel"_s} << false;
        QTest::newRow("wrong, then cancelled")
            << QStringList{first + u"type:bad"_s, again + u"<Esc>"_s} << false;
    }
    void masterPasswordPrompt()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, given);
        buildProject(true);
        ModalAnswerer answerer;
        // Each prompt after a wrong attempt shows that attempt, selected.
        QStringList shown;
        for (int i = 0; i < steps.size(); ++i) {
            const QString title = steps.at(i).section(u'|', 0, 0);
            const QString answer = steps.at(i).section(u'|', 1);
            answerer.act(title, [&shown, answer](QWidget *window) {
                auto *edit = window->findChild<QLineEdit *>();
                shown << edit->text() + (edit->hasSelectedText() ? u"*"_s : u""_s);
                PasswordAnswers::respond(window, answer);
            });
        }
        QCOMPARE(PasswordHandling::askMasterPassword(document(), nullptr), given);
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(shown.first(), QString());
        for (int i = 1; i < steps.size(); ++i) {
            const QString typed = steps.at(i - 1).section(u"type:"_s, 1);
            QCOMPARE(shown.at(i), typed.isEmpty() ? typed : typed + u"*"_s);
        }
    }

    void checkOnOpen_data()
    {
        QTest::addColumn<bool>("master");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("reset");
        const QString prompt = u"Password Required|"_s;
        QTest::newRow("no master password") << false << QStringList{} << true << false;
        QTest::newRow("right password")
            << true << QStringList{prompt + u"type:secret"_s} << true << false;
        QTest::newRow("cancel, then reset")
            << true << QStringList{prompt + u"Cancel"_s, u"Reset Passwords|Reset"_s} << true
            << true;
        QTest::newRow("cancel, then cancel")
            << true << QStringList{prompt + u"Cancel"_s, u"Reset Passwords|Cancel"_s} << false
            << false;
        QTest::newRow("cancel, then escape")
            << true << QStringList{prompt + u"Cancel"_s, u"Reset Passwords|<Esc>"_s} << false
            << false;
        QTest::newRow("cancel, then return")
            << true << QStringList{prompt + u"Cancel"_s, u"Reset Passwords|<Return>"_s} << false
            << false;
    }
    void checkOnOpen()
    {
        QFETCH(bool, master);
        QFETCH(QStringList, steps);
        QFETCH(bool, opens);
        QFETCH(bool, reset);
        buildProject(master);
        ModalAnswerer answerer;
        PasswordAnswers::queue(answerer, steps);
        QCOMPARE(PasswordHandling::checkMasterPasswordOnOpen(document(), nullptr), opens);
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(allEmpty(), reset);
        QCOMPARE(document()->masterPassword().isEmpty(), reset || !master);
    }

    // What reaches the file, read back.
    void checkBeforeSave_data()
    {
        QTest::addColumn<bool>("master");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("saves");
        QTest::addColumn<bool>("passwordsSaved");
        const QString question = u"Passwords are cached|"_s;
        QTest::newRow("master password") << true << QStringList{} << true << true;
        QTest::newRow("save with passwords")
            << false << QStringList{question + u"Save with passwords"_s} << true << true;
        QTest::newRow("return saves with passwords")
            << false << QStringList{question + u"<Return>"_s} << true << true;
        QTest::newRow("save without passwords")
            << false << QStringList{question + u"Save without passwords"_s} << true << false;
        QTest::newRow("cancel") << false << QStringList{question + u"Cancel"_s} << false << true;
        QTest::newRow("escape") << false << QStringList{question + u"<Esc>"_s} << false << true;
    }
    void checkBeforeSave()
    {
        QFETCH(bool, master);
        QFETCH(QStringList, steps);
        QFETCH(bool, saves);
        QFETCH(bool, passwordsSaved);
        buildProject(master);
        ModalAnswerer answerer;
        PasswordAnswers::queue(answerer, steps);
        QCOMPARE(PasswordHandling::confirmSaveWithPasswords(document(), nullptr), saves);
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        if (!saves) {
            QVERIFY(!allEmpty());
            return;
        }
        QTemporaryDir folder;
        const QString path = folder.filePath(u"project.lmp"_s);
        QVERIFY(document()->saveAs(path));
        QVERIFY(document()->load(path));
        QCOMPARE(allEmpty(), !passwordsSaved);
        QCOMPARE(document()->masterPassword().isEmpty(), !master);
    }

    void projectWithoutPasswordsSavesWithoutAsking()
    {
        addControllers(std::make_shared<ControllerTemplate>(), 1);
        ModalAnswerer answerer;
        QVERIFY(PasswordHandling::confirmSaveWithPasswords(document(), nullptr));
        QVERIFY(answerer.seen().isEmpty());
    }

    void authenticationAsksForTheAdministrator_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("OK") << u"Authenication Required|type:page secret"_s << true;
        QTest::newRow("Cancel") << u"Authenication Required|Cancel"_s << false;
    }
    void authenticationAsksForTheAdministrator()
    {
        QFETCH(QString, step);
        QFETCH(bool, accepted);
        QAuthenticator authenticator;
        ModalAnswerer answerer;
        PasswordAnswers::queue(answerer, {step});
        QCOMPARE(AuthenticationDialog::askAdministrator(&authenticator, nullptr), accepted);
        QCOMPARE(authenticator.user(), QStringLiteral("admin"));
        QCOMPARE(authenticator.password(), accepted ? QStringLiteral("page secret") : QString());
    }
};

RW_TEST_GUI_MAIN(TestPasswordDialogs)
#include "tst_password_dialogs.moc"
