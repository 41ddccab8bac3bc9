#include "desktop_scene.h"

class TestTemplateBuilder : public DesktopScene
{
    Q_OBJECT

private slots:
    void okFollowsTheControllers()
    {
        InstallationTemplateBuilderDialog dialog(nullptr);
        auto *table = dialog.findChild<InstallationTemplateTable *>();
        QPushButton *ok = child<QPushButton>(&dialog, u"OK"_s);
        QVERIFY(!ok->isEnabled());
        child<QPushButton>(&dialog, u"Add controller"_s)->click();
        child<QPushButton>(&dialog, u"Add controller"_s)->click();
        QVERIFY(ok->isEnabled());
        QCOMPARE(table->selectedRowNumbers(), QList<int>{1});
        QCOMPARE(table->model()->index(1, 0).data().toInt(), 2);
        QVERIFY(child<QPushButton>(&dialog, u"Move controller up"_s)->isEnabled());
        QVERIFY(!child<QPushButton>(&dialog, u"Move controller down"_s)->isEnabled());

        child<QPushButton>(&dialog, u"Move controller up"_s)->click();
        QCOMPARE(table->model()->index(0, 0).data().toInt(), 2);
        QCOMPARE(table->selectedRowNumbers(), QList<int>{0});
        table->selectAll();
        child<QPushButton>(&dialog, u"Delete controllers"_s)->click();
        QCOMPARE(table->model()->rowCount(), 0);
        QVERIFY(!ok->isEnabled());
        QVERIFY(!child<QPushButton>(&dialog, u"Delete controllers"_s)->isEnabled());
    }

    void geometryIsKept()
    {
        QSettings().setValue(u"TemplateDialog/Geometry/Size"_s, QSize(640, 400));
        QSettings().setValue(u"TemplateDialog/Geometry/Splitter"_s, u"120,240"_s);
        {
            InstallationTemplateBuilderDialog dialog(nullptr);
            QCOMPARE(dialog.size(), QSize(640, 400));
            dialog.show();
            dialog.resize(700, 500);
        }
        QCOMPARE(QSettings().value(u"TemplateDialog/Geometry/Size"_s).toSize(), QSize(700, 500));
        const QStringList sizes =
            QSettings().value(u"TemplateDialog/Geometry/Splitter"_s).toString().split(u',');
        QCOMPARE(sizes.size(), 2);
        QVERIFY(sizes.first().toInt() < sizes.last().toInt());
    }

    void editingKeepsTheListOfControllers()
    {
        InstallationTemplate original(u"Foyer"_s);
        for (int i = 0; i < 2; ++i)
            original.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        InstallationTemplateBuilderDialog dialog(&original);
        auto *table = dialog.findChild<InstallationTemplateTable *>();
        QAbstractItemModel *model = table->model();
        table->selectRow(0);
        for (const QString &name : {u"Add controller"_s, u"Move controller up"_s,
                                    u"Move controller down"_s, u"Delete controllers"_s})
            QVERIFY2(!child<QPushButton>(&dialog, name)->isEnabled(), qPrintable(name));
        QVERIFY(!model->setData(model->index(0, InstallationTemplateModel::Column_Number), 5));
        QVERIFY(!model->setData(model->index(0, InstallationTemplateModel::Column_Type), 3));
        QVERIFY(model->setData(model->index(0, InstallationTemplateModel::Column_Name), u"A"_s));
        QVERIFY(model->setData(model->index(1, InstallationTemplateModel::Column_File), u"/x"_s));
        dialog.findChild<QLineEdit *>()->setText(u"Hall"_s);
        dialog.accept();

        const InstallationTemplatePtr result = dialog.result();
        QCOMPARE(result->name(), u"Hall"_s);
        QCOMPARE(result->controllerTemplates().at(0)->name(), u"A"_s);
        QCOMPARE(result->controllerTemplates().at(1)->showFile(), u"/x"_s);
        QCOMPARE(original.name(), u"Foyer"_s);
        QVERIFY(original.controllerTemplates().at(0)->name().isEmpty());
        QVERIFY(original.controllerTemplates().at(1)->showFile().isEmpty());
    }

    void showFileDialogFollowsTheType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("firstFilter");
        QTest::addColumn<bool>("choose");
        QTest::newRow("KMA, cancelled") << 3 << u"Lumora (*.kma)"_s << false;
        QTest::newRow("second family") << 12 << u"Pavona (*.wrn)"_s << false;
        QTest::newRow("NX, chosen") << 9 << u"Lumora (*.wrn)"_s << true;
    }

    void showFileDialogFollowsTheType()
    {
        QFETCH(int, type);
        QFETCH(QString, firstFilter);
        QFETCH(bool, choose);
        const QString show = writeShow();
        const QString missing = m_dir.filePath(u"gone/show.wrn"_s);
        QSettings().remove(u"File/LastShowFile"_s);
        InstallationTemplateBuilderDialog dialog(nullptr);
        auto *table = dialog.findChild<InstallationTemplateTable *>();
        child<QPushButton>(&dialog, u"Add controller"_s)->click();
        QAbstractItemModel *model = table->model();
        const QModelIndex file = model->index(0, InstallationTemplateModel::Column_File);
        model->setData(model->index(0, InstallationTemplateModel::Column_Type), type);
        model->setData(file, missing);
        QVERIFY(!file.data(Qt::DecorationRole).isNull());
        QVERIFY(!file.data(Qt::ToolTipRole).toString().isEmpty());

        QStringList filters;
        ModalAnswerer answerer;
        answerer.act(u"Select an file"_s, [&](QWidget *window) {
            filters = qobject_cast<QFileDialog *>(window)->nameFilters();
            choose ? chooseFile(show)(window) : qobject_cast<QFileDialog *>(window)->reject();
        });
        table->findChild<FilePathEditor *>()->findChild<QPushButton *>()->click();
        QVERIFY(answerer.done());
        QCOMPARE(filters.value(0), firstFilter);
        QCOMPARE(file.data().toString(), choose ? show : missing);
        QCOMPARE(QSettings().value(u"File/LastShowFile"_s).toString(),
                 choose ? m_dir.path() : QString());
        QCOMPARE(file.data(Qt::DecorationRole).isNull(), choose);
    }

    void mediaFollowTheSelectedControllers()
    {
        InstallationTemplateBuilderDialog dialog(nullptr);
        auto *table = dialog.findChild<InstallationTemplateTable *>();
        QAbstractItemModel *media = dialog.findChild<MediaTemplateTable *>()->model();
        child<QPushButton>(&dialog, u"Add controller"_s)->click();
        child<QPushButton>(&dialog, u"Add controller"_s)->click();
        table->model()->setData(table->model()->index(0, InstallationTemplateModel::Column_File),
                                writeShow());
        QCOMPARE(media->rowCount(), 0); // the second controller is selected
        table->selectRow(0);
        QCOMPARE(media->rowCount(), 1); // the media folder

        media->setData(media->index(0, MediaTemplateModel::Column_File), m_dir.path());
        QCOMPARE(media->rowCount(), 3);
        const QModelIndex slot = media->index(2, MediaTemplateModel::Column_File);
        QCOMPARE(slot.data().toString(), m_dir.filePath(u"clip2.bin"_s));
        QVERIFY(!slot.data(Qt::DecorationRole).isNull()); // no such file

        table->model()->setData(table->model()->index(0, InstallationTemplateModel::Column_File),
                                QString());
        QCOMPARE(media->rowCount(), 0);
    }
};

RW_TEST_GUI_MAIN(TestTemplateBuilder)
#include "tst_template_builder.moc"
