// Password handling: the prompts, the questions that guard a project's
// passwords when it is opened and saved, the desktop's answers to the
// project's questions (the FTP login's password among them), and the password
// manager with its tree of passwords, the master password that guards it and
// the one undoable step its OK makes.

#include "authentication_dialog.h"
#include "desktop_prompts.h"
#include "link_fixture.h"
#include "modal_answerer.h"
#include "password_entry_dialog.h"
#include "password_handling.h"
#include "password_manager.h"
#include "password_manager_model.h"
#include "password_manager_view.h"
#include "test_main.h"

#include <QAccessible>
#include <QAuthenticator>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QUndoStack>

using namespace LinkFixture;
using namespace Qt::StringLiterals;

namespace {

// Answers for the password dialogs and question boxes, written as
// "Title|answer": "type:TEXT" types TEXT into the line edit and clicks OK,
// "<Esc>" and "<Return>" press that key, anything else clicks that button.

inline void respond(QWidget *window, const QString &answer)
{
    if (answer.startsWith(QLatin1String("type:"))) {
        window->findChild<QLineEdit *>()->setText(answer.mid(5));
        ModalAnswerer::clickButton(window, QStringLiteral("OK"));
    } else if (answer.startsWith(QLatin1Char('<'))) {
        QTest::keyClick(window, answer == QLatin1String("<Esc>") ? Qt::Key_Escape : Qt::Key_Return);
    } else {
        ModalAnswerer::clickButton(window, answer);
    }
}

// Queues the answers; `shown` collects what each window's line edit held
// when it opened, with "*" when selected.
inline void queue(ModalAnswerer &answerer, const QStringList &steps, QStringList *shown = nullptr)
{
    for (const QString &step : steps) {
        const QString answer = step.section(QLatin1Char('|'), 1);
        answerer.act(step.section(QLatin1Char('|'), 0, 0), [answer, shown](QWidget *window) {
            const auto *edit = window->findChild<QLineEdit *>();
            if (shown && edit)
                *shown << edit->text() +
                              (edit->hasSelectedText() ? QStringLiteral("*") : QString());
            respond(window, answer);
        });
    }
}

} // namespace

class TestPasswordHandling : public QObject
{
    Q_OBJECT

    QPointer<QWidget> m_window;
    std::unique_ptr<DesktopPrompts> m_prompts;
    uint m_group = 0;
    uint m_installation = 0;
    QList<uint> m_controllers;
    std::unique_ptr<PasswordManager> m_manager;
    const QStringList m_initial{u"g"_s, QString(), u"abc"_s, QString()};

    // A group with the password "g", an installation without one, and its
    // two controllers, the first with "abc".
    void buildProject(bool withMaster)
    {
        InstallationTemplate installationTemplate;
        installationTemplate.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        installationTemplate.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        m_group = document()->addGroup(installationTemplate);
        m_installation = document()->addInstallation(m_group);
        m_controllers = document()->installation(m_installation)->controllerIds();
        document()->group(m_group)->setPassword(PasswordCipher::encode(u"g"_s));
        controller(m_controllers.first())->setPassword(PasswordCipher::encode(u"abc"_s));
        if (withMaster)
            document()->setMasterPassword(PasswordCipher::encode(u"master"_s));
    }
    // The manager open over that project.
    void open(bool withMaster)
    {
        buildProject(withMaster);
        m_manager = std::make_unique<PasswordManager>(document());
        m_manager->show();
    }

    // The password cells of the group, the installation and the controllers.
    QModelIndexList cells() const
    {
        const PasswordManagerModel *model = m_manager->model();
        const QModelIndex group = model->index(0, 0);
        const QModelIndex installation = model->index(0, 0, group);
        return {group.siblingAtColumn(1), installation.siblingAtColumn(1),
                model->index(0, 1, installation), model->index(1, 1, installation)};
    }
    QStringList shown() const
    {
        QStringList texts;
        for (const QModelIndex &cell : cells())
            texts << cell.data().toString();
        return texts;
    }
    QStringList stored() const
    {
        QStringList plain;
        for (const QString &each : {document()->group(m_group)->password(),
                                    document()->installation(m_installation)->password(),
                                    controller(m_controllers.at(0))->password(),
                                    controller(m_controllers.at(1))->password()})
            plain << PasswordCipher::decode(each);
        return plain;
    }
    QPushButton *button(const QString &text) const
    {
        for (QPushButton *each : m_manager->findChildren<QPushButton *>()) {
            if (each->text() == text)
                return each;
        }
        return nullptr;
    }

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
        m_manager.reset();
        document()->setPrompts(nullptr);
        delete m_window;
    }

    // Every password field is named and keeps its text off the clipboard.
    void fieldsAreNamedAndRefuseToCopy()
    {
        QAuthenticator authenticator;
        PasswordEntryDialog entry(u"label"_s, PasswordCipher::encode(u"x"_s));
        AuthenticationDialog authentication(&authenticator);
        PasswordManager manager(document());
        QGuiApplication::clipboard()->setText(u"before"_s);
        QStringList names;
        for (QDialog *dialog :
             std::initializer_list<QDialog *>{&entry, &authentication, &manager}) {
            for (QLineEdit *edit : dialog->findChildren<QLineEdit *>()) {
                names << QAccessible::queryAccessibleInterface(edit)->text(QAccessible::Name);
                edit->setText(u"plain"_s);
                edit->selectAll();
                QTest::keySequence(edit, QKeySequence::Copy);
                QTest::keySequence(edit, QKeySequence::Cut);
            }
        }
        QCOMPARE(names, (QStringList{u"Password"_s, u"Password"_s, u"Master Password"_s,
                                     u"Confirm Master Password"_s}));
        QCOMPARE(QGuiApplication::clipboard()->text(), u"before"_s);
    }

    // The master password prompt after opening: each prompt after a wrong
    // attempt shows that attempt, selected; the typed text counts even when
    // OK is taken without leaving the line edit. Giving up offers to reset.
    void checkOnOpen_data()
    {
        QTest::addColumn<bool>("master");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("reset");
        const QString prompt = u"Password Required|"_s;
        const QString again = u"Password Required - Password is incorrect|"_s;
        const QString question = u"Reset Passwords|"_s;
        using L = QStringList;
        const L empty{QString()};
        QTest::newRow("no master password") << false << L{} << L{} << true << false;
        QTest::newRow("right") << true << L{prompt + u"type:master"_s} << empty << true << false;
        QTest::newRow("wrong, empty, right")
            << true << L{prompt + u"type:bad"_s, again + u"type:"_s, again + u"type:master"_s}
            << L{QString(), u"bad*"_s, QString()} << true << false;
        QTest::newRow("cancel, reset")
            << true << L{prompt + u"Cancel"_s, question + u"Reset"_s} << empty << true << true;
        QTest::newRow("cancel, cancel")
            << true << L{prompt + u"Cancel"_s, question + u"Cancel"_s} << empty << false << false;
        QTest::newRow("wrong, escape, escape")
            << true << L{prompt + u"type:bad"_s, again + u"<Esc>"_s, question + u"<Esc>"_s}
            << L{QString(), u"bad*"_s} << false << false;
        QTest::newRow("cancel, return")
            << true << L{prompt + u"Cancel"_s, question + u"<Return>"_s} << empty << false << false;
    }
    void checkOnOpen()
    {
        QFETCH(bool, master);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, shown);
        QFETCH(bool, opens);
        QFETCH(bool, reset);
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
        QTest::addColumn<bool>("master");
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("saves");
        QTest::addColumn<bool>("passwordsSaved");
        const QString question = u"Passwords are cached|"_s;
        QTest::newRow("master password") << true << QString() << true << true;
        QTest::newRow("with") << false << question + u"Save with passwords"_s << true << true;
        QTest::newRow("return") << false << question + u"<Return>"_s << true << true;
        QTest::newRow("without") << false << question + u"Save without passwords"_s << true
                                 << false;
        QTest::newRow("cancel") << false << question + u"Cancel"_s << false << true;
        QTest::newRow("escape") << false << question + u"<Esc>"_s << false << true;
    }
    void checkBeforeSave()
    {
        QFETCH(bool, master);
        QFETCH(QString, step);
        QFETCH(bool, saves);
        QFETCH(bool, passwordsSaved);
        buildProject(master);
        ModalAnswerer answerer;
        queue(answerer, step.isNull() ? QStringList() : QStringList{step});
        QCOMPARE(PasswordHandling::confirmSaveWithPasswords(document(), m_window), saves);
        QVERIFY(answerer.done() && answerer.unexpected().isEmpty());
        QTemporaryDir folder;
        const QString path = folder.filePath(u"project.lmp"_s);
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
    // the session, the project or the window may end while the dialog is
    // open.
    void ftpLoginAsksForThePassword_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("kept"); // the answer became the controller's password
        const int stopped = UploadReport::State_Cancelled;
        QTest::newRow("answered") << QString() << int(UploadReport::State_Success) << true;
        QTest::newRow("upload cancelled") << u"cancel"_s << stopped << true;
        QTest::newRow("project closed") << u"close"_s << stopped << false;
        // Later prompts find no answer and give up.
        QTest::newRow("window closed") << u"window"_s << int(UploadReport::State_Failed) << false;
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
                respond(dialog, u"type:secret"_s);
        });
        QCOMPARE(int(uploadResult(site.id, true, 5000).first), result);
        QCOMPARE(label, u"The controller 127.0.0.1 requires a password before allowing uploads"_s);
        QCOMPARE(document()->undoStack()->count(), kept ? 1 : 0);
        if (kept)
            QCOMPARE(controller(site.id)->password(), PasswordCipher::encode(u"secret"_s));
    }

    // Empty passwords read "Inherit" in gray, others one bullet per
    // character until shown; a protected project asks first. No cell's text
    // reaches the clipboard.
    void showAll_data()
    {
        QTest::addColumn<bool>("protectedProject");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("shows");
        const QString prompt = u"Password Required|"_s;
        QTest::newRow("unprotected") << false << QStringList{} << true;
        QTest::newRow("cancelled") << true << QStringList{prompt + u"Cancel"_s} << false;
        QTest::newRow("wrong, then cancelled")
            << true
            << QStringList{prompt + u"type:x"_s,
                           u"Password Required - Password is incorrect|Cancel"_s}
            << false;
        QTest::newRow("right") << true << QStringList{prompt + u"type:master"_s} << true;
    }
    void showAll()
    {
        QFETCH(bool, protectedProject);
        QFETCH(QStringList, steps);
        QFETCH(bool, shows);
        open(protectedProject);
        const QString bullet(QChar(0x2022));
        const QStringList hidden{bullet, u"Inherit"_s, bullet.repeated(3), u"Inherit"_s};
        QCOMPARE(shown(), hidden);
        QCOMPARE(cells().at(1).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
        ModalAnswerer answerer;
        queue(answerer, steps);
        button(u"Show All"_s)->click();
        QVERIFY(answerer.done());
        const QStringList plain{u"g"_s, u"Inherit"_s, u"abc"_s, u"Inherit"_s};
        QCOMPARE(shown(), shows ? plain : hidden);
        QPushButton *toggle = button(shows ? u"Hide All"_s : u"Show All"_s);
        QVERIFY(toggle && toggle->isChecked() == shows);
        // The view would copy the current cell's text.
        QGuiApplication::clipboard()->setText(u"before"_s);
        m_manager->view()->setCurrentIndex(cells().at(2));
        QTest::keySequence(m_manager->view(), QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"before"_s);
    }

    // OK applies every change as one step; a mismatched master password
    // keeps the dialog open and changes nothing, as Cancel does.
    void okAppliesTheChanges_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QStringList>("passwords");
        QTest::addColumn<int>("changes");
        QTest::newRow("one cell") << u"cell"_s << QString() << QString()
                                  << QStringList{u"g"_s, u"i"_s, u"abc"_s, QString()} << 1;
        QTest::newRow("clear all") << u"clear"_s << QString() << QString()
                                   << QStringList{QString(), QString(), QString(), QString()} << 2;
        QTest::newRow("cancel") << u"cancel"_s << QString() << QString() << m_initial << 0;
        QTest::newRow("new master") << QString() << u"m2"_s << u"m2"_s << m_initial << 0;
        QTest::newRow("master mismatch") << u"cell"_s << u"m2"_s << u"m3"_s << m_initial << 0;
    }
    void okAppliesTheChanges()
    {
        QFETCH(QString, edit);
        QFETCH(QString, master);
        QFETCH(QString, confirm);
        QFETCH(QStringList, passwords);
        QFETCH(int, changes);
        open(false);
        if (edit == u"cell"_s) {
            // Through the installation's editor, still open at OK.
            const QModelIndex cell = cells().at(1);
            m_manager->view()->setCurrentIndex(cell);
            m_manager->view()->edit(cell);
            auto *editor = qobject_cast<QLineEdit *>(m_manager->view()->indexWidget(cell));
            QVERIFY(editor && editor->echoMode() == QLineEdit::Password);
            editor->setText(u"i"_s);
        } else if (!edit.isNull()) {
            button(u"Clear All"_s)->click();
        }
        const auto masterEdits = m_manager->findChildren<QLineEdit *>();
        QTest::keyClicks(masterEdits.at(0), master);
        masterEdits.at(1)->setText(confirm);
        ModalAnswerer answerer;
        if (master != confirm)
            answerer.answer(u"Password mismatch"_s, u"OK"_s);
        edit == u"cancel"_s ? m_manager->reject() : m_manager->accept();
        QVERIFY(answerer.done());
        QCOMPARE(m_manager->isVisible(), master != confirm);
        QCOMPARE(stored(), passwords);
        QCOMPARE(PasswordCipher::decode(document()->masterPassword()),
                 master == confirm ? master : QString());
        QUndoStack *stack = document()->undoStack();
        QCOMPARE(stack->count(), changes ? 1 : 0);
        if (!changes)
            return;
        QCOMPARE(stack->command(0)->text(), u"Set Passwords"_s);
        QCOMPARE(stack->command(0)->childCount(), changes);
        stack->undo();
        QCOMPARE(stored(), m_initial);
    }

    // Column widths live in the project, the geometry in the settings.
    void widthsAndGeometryAreKept()
    {
        document()->setColumnWidth(LumDocument::Table_PASSWORD, 0, 250);
        const int mainWidth = document()->columnWidth(LumDocument::Table_MAIN, 0);
        open(false);
        QHeaderView *header = m_manager->view()->header();
        QCOMPARE(header->sectionSize(0), 250);
        header->resizeSection(0, 180);
        QCOMPARE(document()->columnWidth(LumDocument::Table_PASSWORD, 0), 180);
        QCOMPARE(document()->columnWidth(LumDocument::Table_MAIN, 0), mainWidth);
        m_manager->resize(640, 480);
        m_manager->reject();
        QCOMPARE(PasswordManager(document()).size(), QSize(640, 480));
        QVERIFY(QSettings().contains(u"PasswordManager/Geometry/Position"_s));
    }
};

RW_TEST_GUI_MAIN(TestPasswordHandling)
#include "tst_password_handling.moc"
