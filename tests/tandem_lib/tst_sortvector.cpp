#include "fatal_probe.h"
#include "sortvector.h"
#include "test_main.h"

#include <vector>

namespace {

class Element : public sortvector_el
{
public:
    explicit Element(int tag = 0) : tag(tag) {}
    ~Element() override { ++destroyed; }
    int tag;
    static inline int destroyed = 0;
};

using Table = SortVector<Element>;

std::vector<uint> ids(const Table &table)
{
    std::vector<uint> result;
    for (Element *element : table)
        result.push_back(element->getId());
    return result;
}

uint add(Table &table, uint id = Table::NoId, int tag = 0)
{
    return table.insert(std::make_unique<Element>(tag), id);
}

} // namespace

class TestSortVector : public QObject
{
    Q_OBJECT

private slots:
    void fillsToTheMaximumAndRefusesMore()
    {
        Table table(256, 1024);
        for (uint i = 0; i < 1024; ++i)
            QCOMPARE(add(table), i);
        QCOMPARE(table.count(), 1024u);
        QCOMPARE(table.slotCount(), 1024u);
        const int before = Element::destroyed;
        QCOMPARE(add(table), Table::NoId);
        QCOMPARE(Element::destroyed, before + 1); // the refused element is not leaked
        QCOMPARE(table.count(), 1024u);
    }

    void reusesTheLowestFreedIdentifier()
    {
        Table table(256, 1024);
        for (int i = 0; i < 10; ++i)
            add(table);
        std::unique_ptr<Element> removed = table.remove(5);
        QCOMPARE(removed->getId(), 5u);
        QVERIFY(!table.exists(5));
        QCOMPARE(table.firstFreeId(), 5u);
        QCOMPARE(add(table), 5u);
    }

    void iteratesInIdentifierOrderWhateverTheInsertionOrder()
    {
        Table table(256, 1024);
        for (uint id : {9u, 3u, 700u, 0u, 5u, 256u})
            add(table, id);
        QCOMPARE(ids(table), (std::vector<uint>{0, 3, 5, 9, 256, 700}));
        table.remove(5);
        table.remove(700);
        table.remove(0u);
        QCOMPARE(ids(table), (std::vector<uint>{3, 9, 256}));
        add(table);
        QCOMPARE(ids(table), (std::vector<uint>{0, 3, 9, 256}));
    }

    void missingIdentifiersAreProgrammingErrors()
    {
        Table table(256, 1024);
        add(table, 1);
        RW_EXPECT_FATAL(table.at(2), "Assert: 'vector[id] != NULL' is FALSE");
        RW_EXPECT_FATAL(table.at(4096), "Assert: 'vector[id] != NULL' is FALSE");
        RW_EXPECT_FATAL(table.remove(9), "Assert: 'exists(it->getId())' is FALSE");
        Element stranger;
        RW_EXPECT_FATAL(table.remove(&stranger), "Assert: 'exists(it->getId())' is FALSE");
    }
};

RW_TEST_MAIN(TestSortVector)
#include "tst_sortvector.moc"
