#include "password_scene.h"

class TestPasswordManager : public PasswordScene
{
    Q_OBJECT

private slots:
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
        child<QPushButton>(m_manager.get(), u"Show All"_s)->click();
        QVERIFY(answerer.done());
        const QStringList plain{u"g"_s, u"Inherit"_s, u"abc"_s, u"Inherit"_s};
        QCOMPARE(shown(), shows ? plain : hidden);
        QPushButton *toggle =
            child<QPushButton>(m_manager.get(), shows ? u"Hide All"_s : u"Show All"_s);
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
            child<QPushButton>(m_manager.get(), u"Clear All"_s)->click();
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
    }
};

RW_TEST_GUI_MAIN(TestPasswordManager)
#include "tst_password_manager.moc"
