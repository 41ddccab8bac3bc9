#include "test_main.h"
#include "upload_schedule.h"

#include <QDataStream>

Q_DECLARE_METATYPE(QDataStream::Status)

namespace {

using Ids = UploadSchedule::ControllerIds;

const QDateTime early(QDate(2031, 3, 14), QTime(9, 26, 53, 500));
const QDateTime late(QDate(2031, 3, 15), QTime(9, 26, 53, 500));

void be32(QByteArray &bytes, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char(value >> shift));
}

constexpr quint32 earlyDay = 2462940; // Julian day of 14 March 2031
constexpr quint32 lateDay = earlyDay + 1;

// A local date at 09:26:53.500 as a Qt 4.8 stream holds it; `spec` 0xFF is
// what Qt writes for local time, 0 and 1 what Qt 4 itself wrote (standard and
// daylight-saving time).
void timeOf(QByteArray &bytes, quint32 julianDay, char spec = char(0xFF))
{
    be32(bytes, julianDay);
    be32(bytes, 34013500);
    bytes.append(spec);
}

// Controllers 4 and 9 at the early time.
QByteArray twoAtOneTime(char spec = char(0xFF))
{
    QByteArray bytes;
    be32(bytes, 1); // times
    timeOf(bytes, earlyDay, spec);
    be32(bytes, 2); // its controllers
    be32(bytes, 4);
    be32(bytes, 9);
    be32(bytes, 2); // lookup entries
    be32(bytes, 4);
    timeOf(bytes, earlyDay, spec);
    be32(bytes, 9);
    timeOf(bytes, earlyDay, spec);
    return bytes;
}

// One time holding `listed`, and a lookup that maps each of `looked` to it.
QByteArray oneTime(const QList<quint32> &listed, const QList<quint32> &looked)
{
    QByteArray bytes;
    be32(bytes, 1);
    timeOf(bytes, earlyDay);
    be32(bytes, quint32(listed.size()));
    for (quint32 id : listed)
        be32(bytes, id);
    be32(bytes, quint32(looked.size()));
    for (quint32 id : looked) {
        be32(bytes, id);
        timeOf(bytes, earlyDay);
    }
    return bytes;
}

QByteArray written(const UploadSchedule &schedule)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_4_8);
    out << schedule;
    return bytes;
}

QDataStream::Status readInto(UploadSchedule &schedule, const QByteArray &bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_4_8);
    in >> schedule;
    return in.status();
}

} // namespace

class TestUploadSchedule : public QObject
{
    Q_OBJECT

private slots:
    void controllersShareATime()
    {
        UploadSchedule schedule;
        schedule.schedule(9, early);
        schedule.schedule(4, early);
        QCOMPARE(schedule.times(), QList<QDateTime>{early});
        QCOMPARE(schedule.scheduledTime(4), early);
        QCOMPARE(schedule.scheduledTime(9), early);
        QVERIFY(!schedule.isScheduled(5));
        QVERIFY(schedule.scheduledTime(5).isNull());
    }

    void reschedulingMovesTheController()
    {
        UploadSchedule schedule;
        schedule.schedule(1, early);
        schedule.schedule(2, early);
        const UploadSchedule before = schedule;
        schedule.schedule(1, early);
        QCOMPARE(schedule, before);

        schedule.schedule(1, late);
        QCOMPARE(schedule.times(), (QList<QDateTime>{early, late}));
        schedule.schedule(2, late); // the last one leaves the early time
        QCOMPARE(schedule.times(), QList<QDateTime>{late});
        QCOMPARE(schedule.takeNext(), (Ids{1, 2}));
    }

    void unschedulingRemovesEmptyTimes()
    {
        UploadSchedule schedule;
        schedule.unschedule(3); // not scheduled: nothing happens
        QVERIFY(schedule.isEmpty());
        schedule.schedule(3, early);
        schedule.schedule(4, late);
        schedule.unschedule(3);
        QVERIFY(!schedule.isScheduled(3));
        QCOMPARE(schedule.nextUploadTime(), late);
        schedule.clear();
        QVERIFY(schedule.isEmpty());
        QVERIFY(!schedule.isScheduled(4));
        QVERIFY(schedule.nextUploadTime().isNull());
    }

    void takeNextHandsOverTheEarliestTime()
    {
        UploadSchedule schedule;
        QCOMPARE(schedule.takeNext(), Ids());
        QVERIFY(schedule.isEmpty());

        schedule.schedule(7, late);
        schedule.schedule(2, early);
        schedule.schedule(5, early);
        QCOMPARE(schedule.nextUploadTime(), early);
        QCOMPARE(schedule.takeNext(), (Ids{2, 5}));
        QVERIFY(!schedule.isScheduled(2));
        QVERIFY(!schedule.isScheduled(5));
        QVERIFY(schedule.isScheduled(7));
        QCOMPARE(schedule.nextUploadTime(), late);
        QCOMPARE(schedule.takeNext(), Ids{7});
        QVERIFY(schedule.nextUploadTime().isNull());
    }

    void passedTimesAreRemovedUpToTheMoment()
    {
        UploadSchedule schedule;
        schedule.schedule(1, early);
        schedule.schedule(2, late);
        schedule.schedule(3, late.addMSecs(1));
        schedule.removePassedTimes(late);
        QCOMPARE(schedule.times(), QList<QDateTime>{late.addMSecs(1)});
        QVERIFY(!schedule.isScheduled(1));
        QVERIFY(!schedule.isScheduled(2));
        QVERIFY(schedule.isScheduled(3));
    }

    void assignmentDropsPassedTimesAndCopiesDoNot()
    {
        const QDateTime now = QDateTime::currentDateTime();
        UploadSchedule source;
        source.schedule(1, now.addSecs(-3600));
        source.schedule(2, now.addSecs(3600));

        const UploadSchedule copy(source);
        QCOMPARE(copy, source);

        UploadSchedule assigned;
        assigned.schedule(9, now.addSecs(60));
        assigned = source;
        QCOMPARE(assigned.times(), QList<QDateTime>{now.addSecs(3600)});
        QVERIFY(!assigned.isScheduled(1));
        QVERIFY(assigned.isScheduled(2));
        QVERIFY(!assigned.isScheduled(9));
    }

    void recordIsWrittenByteForByte()
    {
        UploadSchedule schedule;
        schedule.schedule(9, early);
        schedule.schedule(4, early);
        QCOMPARE(written(schedule).toHex(), twoAtOneTime().toHex());
        QCOMPARE(written(UploadSchedule()).toHex(), QByteArray("0000000000000000"));
    }

    void recordIsOrderedByTimeAndIdentifier()
    {
        UploadSchedule schedule;
        schedule.schedule(300, late);
        schedule.schedule(2, early);
        schedule.schedule(70, late);
        QByteArray expected;
        be32(expected, 2);
        timeOf(expected, earlyDay);
        be32(expected, 1);
        be32(expected, 2);
        timeOf(expected, lateDay);
        be32(expected, 2);
        be32(expected, 70);
        be32(expected, 300);
        be32(expected, 3);
        be32(expected, 2);
        timeOf(expected, earlyDay);
        be32(expected, 70);
        timeOf(expected, lateDay);
        be32(expected, 300);
        timeOf(expected, lateDay);
        QCOMPARE(written(schedule).toHex(), expected.toHex());
    }

    // Both maps come back as stored, passed times included, whichever local
    // time specification the writer used.
    void readingKeepsEverything_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("written by us") << twoAtOneTime();
        QTest::newRow("Qt 4 standard time") << twoAtOneTime(0);
        QTest::newRow("Qt 4 daylight-saving time") << twoAtOneTime(1);
    }
    void readingKeepsEverything()
    {
        QFETCH(QByteArray, bytes);
        UploadSchedule schedule;
        QCOMPARE(readInto(schedule, bytes), QDataStream::Ok);
        QCOMPARE(schedule.times(), QList<QDateTime>{early});
        QCOMPARE(schedule.scheduledTime(4), early);
        QCOMPARE(schedule.scheduledTime(9), early);

        UploadSchedule passed;
        passed.schedule(1, QDateTime::currentDateTime().addDays(-2));
        passed.schedule(2, QDateTime::currentDateTime().addDays(-1));
        UploadSchedule readBack;
        QCOMPARE(readInto(readBack, written(passed)), QDataStream::Ok);
        QCOMPARE(readBack, passed);
    }

    // A damaged record is refused and changes nothing, so that a bad file can
    // never break the schedule's consistency.
    void damagedRecordsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QDataStream::Status>("status");
        const QByteArray good = twoAtOneTime();

        QByteArray negativeCount;
        be32(negativeCount, 0xFFFFFFFF);
        QByteArray hugeCount;
        be32(hugeCount, 0x7FFFFFFF);

        QTest::newRow("negative count") << negativeCount << QDataStream::ReadCorruptData;
        QTest::newRow("huge count") << hugeCount << QDataStream::ReadCorruptData;
        QTest::newRow("lookup disagrees")
            << oneTime({4, 9}, {4, 5}) << QDataStream::ReadCorruptData;
        QTest::newRow("lookup incomplete") << oneTime({4, 9}, {4}) << QDataStream::ReadCorruptData;
        QTest::newRow("lookup beyond") << oneTime({4}, {4, 9}) << QDataStream::ReadCorruptData;
        QTest::newRow("time without controllers")
            << oneTime({}, {}) << QDataStream::ReadCorruptData;
        QTest::newRow("controller listed twice")
            << oneTime({4, 4}, {4}) << QDataStream::ReadCorruptData;
        QTest::newRow("controller looked up twice")
            << oneTime({4}, {4, 4}) << QDataStream::ReadCorruptData;
        QTest::newRow("truncated") << good.chopped(1) << QDataStream::ReadPastEnd;
        QTest::newRow("empty") << QByteArray() << QDataStream::ReadPastEnd;
    }
    void damagedRecordsAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QDataStream::Status, status);
        UploadSchedule schedule;
        schedule.schedule(1, late);
        const UploadSchedule before = schedule;
        QCOMPARE(readInto(schedule, bytes), status);
        QCOMPARE(schedule, before);
    }
};

RW_TEST_MAIN(TestUploadSchedule)
#include "tst_upload_schedule.moc"
