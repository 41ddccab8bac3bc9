#include "fatal_probe.h"
#include "sortvector.h"
#include "test_main.h"

namespace {

class Element : public sortvector_el
{
public:
    ~Element() override { ++destroyed; }
    static inline int destroyed = 0;
};

using Table = SortVector<Element>;

uint add(Table &table, uint id = Table::NoId)
{
    return table.insert(std::make_unique<Element>(), id);
}

} // namespace

// Lowest free identifiers and iteration in identifier order are the
// document's tests; here the bounds and the programming errors.
class TestSortVector : public QObject
{
    Q_OBJECT

private slots:
    void fillsToTheMaximumAndRefusesMore()
    {
        Table table(256, 1024);
        for (uint i = 0; i < 1024; ++i)
            QCOMPARE(add(table), i);
        QCOMPARE(table.slotCount(), 1024u);
        const int before = Element::destroyed;
        QCOMPARE(add(table), Table::NoId);
        QCOMPARE(Element::destroyed, before + 1); // the refused element is not leaked
        QCOMPARE(table.count(), 1024u);
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
