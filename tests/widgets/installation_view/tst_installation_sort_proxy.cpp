// The tree's sort proxy over a small tree of named, numbered rows, checked
// by Qt's model tester after every signal it sends.

#include "installation_sort_proxy.h"
#include "test_main.h"
#include "tree_model.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

// A row with a name (column 0) and a number (column 1).
class Row : public TreeItem
{
public:
    Row(const QString &name, int number) : m_name(name), m_number(number) {}
    QVariant data(int column, int role) const override
    {
        if (role != Qt::DisplayRole)
            return TreeItem::data(column, role);
        return column == 0 ? QVariant(m_name) : QVariant(m_number);
    }
    bool setData(int column, const QVariant &value, int role) override
    {
        if (role != Qt::EditRole)
            return false;
        if (column == 0)
            m_name = value.toString();
        else
            m_number = value.toInt();
        return true;
    }

private:
    QString m_name;
    int m_number;
};

// Rows "b" 2, "a" 3, "c" 1, "a" 0 at the top, each with children "y" 1,
// "x" 2.
void fill(TreeModel &model)
{
    const std::pair<const char *, int> rows[] = {{"b", 2}, {"a", 3}, {"c", 1}, {"a", 0}};
    for (const auto &[name, number] : rows) {
        auto *row = new Row(QString::fromLatin1(name), number);
        row->appendChild(new Row(QStringLiteral("y"), 1));
        row->appendChild(new Row(QStringLiteral("x"), 2));
        model.appendItem(model.rootItem(), row);
    }
}

} // namespace

class TestInstallationSortProxy : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_model = std::make_unique<TreeModel>(QStringList{u"Name"_qs, u"Number"_qs});
        fill(*m_model);
        m_proxy = std::make_unique<InstallationSortProxy>();
        m_proxy->setSourceModel(m_model.get());
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_proxy.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    void cleanup()
    {
        m_tester.reset();
        m_proxy.reset();
        m_model.reset();
    }

    // Each level sorted by text or number, rows alike in the column in the
    // model's order; no column: the model's order again.
    void sortsEveryLevel_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("children");
        QTest::newRow("unsorted") << -1 << int(Qt::AscendingOrder) << "bacA"
                                  << "yx";
        QTest::newRow("name") << 0 << int(Qt::AscendingOrder) << "aAbc"
                              << "xy";
        QTest::newRow("name, descending") << 0 << int(Qt::DescendingOrder) << "cbaA"
                                          << "yx";
        QTest::newRow("number") << 1 << int(Qt::AscendingOrder) << "Acba"
                                << "yx";
        QTest::newRow("number, descending") << 1 << int(Qt::DescendingOrder) << "abcA"
                                            << "xy";
    }
    void sortsEveryLevel()
    {
        QFETCH(int, column);
        QFETCH(int, order);
        QFETCH(QString, top);
        QFETCH(QString, children);
        m_proxy->sort(0, Qt::DescendingOrder); // from another order first
        m_proxy->sort(column, Qt::SortOrder(order));
        QCOMPARE(shownTop(), top);
        for (int row = 0; row < 4; ++row)
            QCOMPARE(shownChildren(row), children);
    }

    // Sorted or not, rows added and removed show where they belong, changes
    // reach the rows where they are shown, and a change to the sort column
    // moves its row; persistent indexes follow (the tester checks every
    // signal on the way).
    void followsTheModel_data()
    {
        QTest::addColumn<int>("column");
        QTest::newRow("unsorted") << -1;
        QTest::newRow("by name") << 0;
    }
    void followsTheModel()
    {
        QFETCH(int, column);
        m_proxy->sort(column);
        const bool sorted = column == 0;
        TreeItem *root = m_model->rootItem();
        m_model->insertItem(root, 1, new Row(u"d"_qs, 9));
        QCOMPARE(shownTop(), sorted ? u"aAbcd"_qs : u"bdacA"_qs);
        m_model->removeItem(root->child(0)); // "b"
        QCOMPARE(shownTop(), sorted ? u"aAcd"_qs : u"dacA"_qs);

        const QModelIndex cSource = m_model->index(2, 0); // "c"
        const QPersistentModelIndex cShown = m_proxy->mapFromSource(cSource);
        QSignalSpy changes(m_proxy.get(), &QAbstractItemModel::dataChanged);
        QVERIFY(m_model->setData(cSource.siblingAtColumn(1), 5));
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].toModelIndex(), cShown.sibling(cShown.row(), 1));
        QVERIFY(m_model->setData(cSource, u"0"_qs));
        QCOMPARE(shownTop(), sorted ? u"0aAd"_qs : u"da0A"_qs);
        QCOMPARE(m_proxy->mapToSource(cShown), cSource);

        const QModelIndex child = m_proxy->index(0, 0, m_proxy->index(0, 0));
        QCOMPARE(m_proxy->mapFromSource(m_proxy->mapToSource(child)), child);
        QVERIFY(m_model->removeRows(1, 2)); // "a", "0"
        QCOMPARE(shownTop(), sorted ? u"Ad"_qs : u"dA"_qs);
        m_model->clear();
        QCOMPARE(m_proxy->rowCount(), 0);
        QCOMPARE(m_proxy->headerData(1, Qt::Horizontal).toString(), u"Number"_qs);
    }

private:
    QString textOf(const QModelIndex &index) const
    {
        const QString name = index.data().toString();
        // The second "a" (number 0) reads "A", to tell the two apart.
        return name == u"a"_qs && index.siblingAtColumn(1).data().toInt() == 0 ? u"A"_qs : name;
    }
    QString shownTop() const
    {
        QString text;
        for (int row = 0; row < m_proxy->rowCount(); ++row)
            text += textOf(m_proxy->index(row, 0));
        return text;
    }
    QString shownChildren(int topRow) const
    {
        const QModelIndex parent = m_proxy->index(topRow, 0);
        QString text;
        for (int row = 0; row < m_proxy->rowCount(parent); ++row)
            text += textOf(m_proxy->index(row, 0, parent));
        return text;
    }

    std::unique_ptr<TreeModel> m_model;
    std::unique_ptr<InstallationSortProxy> m_proxy;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

RW_TEST_MAIN(TestInstallationSortProxy)

#include "tst_installation_sort_proxy.moc"
