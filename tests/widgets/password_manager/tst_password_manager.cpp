#include "link_fixture.h"
#include "password_answers.h"
#include "password_manager.h"
#include "password_manager_model.h"
#include "password_manager_view.h"
#include "test_main.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QSettings>
#include <QUndoStack>

using namespace LinkFixture;
using namespace Qt::StringLiterals;

namespace {

QString enciphered(const QString &plain)
{
    return PasswordCipher::encode(plain);
}

} // namespace

// The password manager: its tree of passwords, the master password that
// guards it, and the one undoable step its OK makes.
class TestPasswordManager : public QObject
{
    Q_OBJECT

    uint m_group = 0;
    uint m_installation = 0;
    QList<uint> m_controllers;
    std::unique_ptr<PasswordManager> m_manager;

    // A group with the password "g", one installation without a password,
    // two controllers: the first with "abc", the second without.
    void open(bool withMaster)
    {
        InstallationTemplate installationTemplate;
        installationTemplate.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        installationTemplate.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        m_group = document()->addGroup(installationTemplate);
        m_installation = document()->addInstallation(m_group);
        m_controllers = document()->installation(m_installation)->controllerIds();
        document()->group(m_group)->setPassword(enciphered(u"g"_s));
        controller(m_controllers.first())->setPassword(enciphered(u"abc"_s));
        if (withMaster)
            document()->setMasterPassword(enciphered(u"master"_s));
        m_manager = std::make_unique<PasswordManager>(document());
        m_manager->show();
    }

    QModelIndex cell(int groupRow, int installationRow, int controllerRow) const
    {
        const PasswordManagerModel *model = m_manager->model();
        QModelIndex index = model->index(groupRow, 1);
        if (installationRow >= 0)
            index = model->index(installationRow, 1, index.siblingAtColumn(0));
        if (controllerRow >= 0)
            index = model->index(controllerRow, 1, index.siblingAtColumn(0));
        return index;
    }
    QPushButton *button(const QString &text) const
    {
        for (QPushButton *each : m_manager->findChildren<QPushButton *>()) {
            if (each->text() == text)
                return each;
        }
        return nullptr;
    }
    QStringList shownPasswords() const
    {
        return {cell(0, -1, -1).data().toString(), cell(0, 0, -1).data().toString(),
                cell(0, 0, 0).data().toString(), cell(0, 0, 1).data().toString()};
    }

private slots:
    void initTestCase() { LumApplication::create(this); }
    void init() { resetApplication(); }
    void cleanup() { m_manager.reset(); }

    // Empty passwords read "Inherit" in gray; others one bullet per
    // character until shown.
    void cellsShowInheritAndBullets()
    {
        open(false);
        const QString bullet(QChar(0x2022));
        QCOMPARE(shownPasswords(),
                 (QStringList{bullet, u"Inherit"_s, bullet.repeated(3), u"Inherit"_s}));
        QCOMPARE(cell(0, 0, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
        QVERIFY(!cell(0, 0, 0).data(Qt::ForegroundRole).isValid());
        button(u"Show All"_s)->click();
        QCOMPARE(shownPasswords(), (QStringList{u"g"_s, u"Inherit"_s, u"abc"_s, u"Inherit"_s}));
        QVERIFY(button(u"Hide All"_s));
    }

    // A protected project asks for the master password before showing them.
    void showAllOnAProtectedProject_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("shown");
        const QString prompt = u"Password Required|"_s;
        QTest::newRow("cancelled") << QStringList{prompt + u"Cancel"_s} << false;
        QTest::newRow("wrong, then cancelled")
            << QStringList{prompt + u"type:x"_s,
                           u"Password Required - Password is incorrect|Cancel"_s}
            << false;
        QTest::newRow("right") << QStringList{prompt + u"type:master"_s} << true;
    }
    void showAllOnAProtectedProject()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, shown);
        open(true);
        ModalAnswerer answerer;
        PasswordAnswers::queue(answerer, steps);
        button(u"Show All"_s)->click();
        QVERIFY(answerer.done());
        QCOMPARE(m_manager->isUnlocked(), shown);
        QPushButton *toggle = button(shown ? u"Hide All"_s : u"Show All"_s);
        QVERIFY(toggle);
        QCOMPARE(toggle->isChecked(), shown);
        QCOMPARE(shownPasswords().at(2), shown ? QStringLiteral("abc") : QString(3, QChar(0x2022)));
    }

    // OK applies every change as one step; a mismatched master password
    // keeps the dialog open and changes nothing.
    void okAppliesTheChanges_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QStringList>("passwords"); // group, installation, controllers
        QTest::addColumn<int>("steps");
        QTest::newRow("one cell") << u"installation"_s << QString() << QString()
                                  << QStringList{u"g"_s, u"i"_s, u"abc"_s, u""_s} << 1;
        QTest::newRow("clear all")
            << u"clear"_s << QString() << QString() << QStringList{u""_s, u""_s, u""_s, u""_s} << 2;
        QTest::newRow("nothing") << QString() << QString() << QString()
                                 << QStringList{u"g"_s, u""_s, u"abc"_s, u""_s} << 0;
        QTest::newRow("new master")
            << QString() << u"m2"_s << u"m2"_s << QStringList{u"g"_s, u""_s, u"abc"_s, u""_s} << 0;
        QTest::newRow("master mismatch") << u"installation"_s << u"m2"_s << u"m3"_s
                                         << QStringList{u"g"_s, u""_s, u"abc"_s, u""_s} << 0;
    }
    void okAppliesTheChanges()
    {
        QFETCH(QString, edit);
        QFETCH(QString, master);
        QFETCH(QString, confirm);
        QFETCH(QStringList, passwords);
        QFETCH(int, steps);
        open(false);
        const bool mismatch = master != confirm;
        if (edit == u"installation"_s) {
            // Through the cell's editor, still open at OK.
            m_manager->view()->setCurrentIndex(cell(0, 0, -1));
            m_manager->view()->edit(cell(0, 0, -1));
            auto *editor =
                qobject_cast<QLineEdit *>(m_manager->view()->indexWidget(cell(0, 0, -1)));
            QVERIFY(editor);
            QCOMPARE(editor->echoMode(), QLineEdit::Password);
            editor->setText(u"i"_s);
        } else if (edit == u"clear"_s) {
            button(u"Clear All"_s)->click();
        }
        if (!master.isNull()) {
            auto edits = m_manager->findChildren<QLineEdit *>();
            QTest::keyClicks(edits.at(0), master);
            edits.at(1)->setText(confirm);
        }
        ModalAnswerer answerer;
        if (mismatch)
            answerer.answer(u"Password mismatch"_s, u"OK"_s);
        m_manager->accept();
        QVERIFY(answerer.done());
        QCOMPARE(m_manager->isVisible(), mismatch);
        const QStringList stored{
            PasswordCipher::decode(document()->group(m_group)->password()),
            PasswordCipher::decode(document()->installation(m_installation)->password()),
            PasswordCipher::decode(controller(m_controllers.at(0))->password()),
            PasswordCipher::decode(controller(m_controllers.at(1))->password())};
        QCOMPARE(stored, passwords);
        QCOMPARE(document()->masterPassword(),
                 mismatch || master.isNull() ? QString() : PasswordCipher::encode(master));
        QUndoStack *stack = document()->undoStack();
        QCOMPARE(stack->count(), steps ? 1 : 0);
        if (!steps)
            return;
        QCOMPARE(stack->command(0)->text(), QStringLiteral("Set Passwords"));
        QCOMPARE(stack->command(0)->childCount(), steps);
        stack->undo();
        QCOMPARE(controller(m_controllers.at(0))->password(), enciphered(u"abc"_s));
        QCOMPARE(document()->group(m_group)->password(), enciphered(u"g"_s));
        QVERIFY(document()->installation(m_installation)->password().isEmpty());
    }

    void cancelDiscardsEverything()
    {
        open(false);
        button(u"Clear All"_s)->click();
        m_manager->reject();
        QCOMPARE(document()->undoStack()->count(), 0);
        QVERIFY(document()->hasEntityPasswords());
    }

    void copyingAShownPasswordIsRefused()
    {
        open(false);
        button(u"Show All"_s)->click();
        QGuiApplication::clipboard()->setText(u"before"_s);
        m_manager->view()->setCurrentIndex(cell(0, 0, 0));
        QTest::keySequence(m_manager->view(), QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    }

    // Column widths live in the project, geometry in the settings.
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
        PasswordManager again(document());
        QCOMPARE(again.size(), QSize(640, 480));
        QVERIFY(QSettings().contains(u"PasswordManager/Geometry/Position"_s));
    }
};

RW_TEST_GUI_MAIN(TestPasswordManager)
#include "tst_password_manager.moc"
