#include "test_main.h"
#include "upload_schedule.h"

#include <QDataStream>

Q_DECLARE_METATYPE(QDataStream::Status)

namespace {

using Ids = UploadSchedule::ControllerIds;

const QDateTime early(QDate(2031, 3, 14), QTime(9, 26, 53, 500));
const QDateTime late = early.addDays(1);

// Integers as the stream holds them, then `early` as a Qt 4.8 stream holds a
// local time: Julian day 2462940, 34013500 ms since midnight, and the time
// kind byte: 0xFF as Qt writes it, 0 and 1 as Qt 4 wrote standard and summer time.
QByteArray bytes(const QList<quint32> &numbers)
{
    QByteArray out;
    for (quint32 number : numbers)
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char(number >> shift));
    return out;
}

QByteArray earlyBytes(char timeSpec = char(0xFF))
{
    return bytes({2462940, 34013500}) + timeSpec;
}

// One time listing `listed`, and a lookup mapping each of `looked` to it.
QByteArray oneTime(const QList<quint32> &listed, const QList<quint32> &looked,
                   char timeSpec = char(0xFF))
{
    QByteArray out =
        bytes({1}) + earlyBytes(timeSpec) + bytes({quint32(listed.size())}) + bytes(listed);
    out += bytes({quint32(looked.size())});
    for (quint32 id : looked)
        out += bytes({id}) + earlyBytes(timeSpec);
    return out;
}

QDataStream::Status readInto(UploadSchedule &schedule, const QByteArray &record)
{
    QDataStream in(record);
    in.setVersion(QDataStream::Qt_4_8);
    in >> schedule;
    return in.status();
}

} // namespace

class TestUploadSchedule : public QObject
{
    Q_OBJECT

private slots:
    void controllersShareATimeAndAreWrittenByteForByte()
    {
        UploadSchedule schedule;
        schedule.schedule(9, early);
        schedule.schedule(4, early);
        QCOMPARE(schedule.times(), QList<QDateTime>{early});
        QCOMPARE(schedule.scheduledTime(4), early);
        QVERIFY(schedule.scheduledTime(5).isNull());

        QByteArray record;
        QDataStream out(&record, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_4_8);
        out << schedule;
        QCOMPARE(record.toHex(), oneTime({4, 9}, {4, 9}).toHex());
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
        schedule.unschedule(7); // not scheduled: nothing happens
        schedule.unschedule(1);
        QCOMPARE(schedule.takeNext(), Ids{2});
    }

    void takeNextHandsOverTheEarliestTime()
    {
        UploadSchedule schedule;
        QCOMPARE(schedule.takeNext(), Ids());
        QVERIFY(schedule.isEmpty());
        schedule.schedule(7, late);
        schedule.schedule(2, early);
        schedule.schedule(5, early);
        QCOMPARE(schedule.takeNext(), (Ids{2, 5}));
        QVERIFY(!schedule.isScheduled(2) && !schedule.isScheduled(5));
        QCOMPARE(schedule.nextUploadTime(), late);
        QCOMPARE(schedule.takeNext(), Ids{7});
        QVERIFY(schedule.nextUploadTime().isNull());
    }

    void passedTimesGoOnAssignmentButNotOnCopy()
    {
        UploadSchedule schedule;
        schedule.schedule(1, early);
        schedule.schedule(2, late);
        schedule.schedule(3, late.addMSecs(1));
        schedule.removePassedTimes(late);
        QCOMPARE(schedule.times(), QList<QDateTime>{late.addMSecs(1)});
        QVERIFY(!schedule.isScheduled(1) && !schedule.isScheduled(2));

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
        QVERIFY(!assigned.isScheduled(1) && !assigned.isScheduled(9));
    }

    // Both maps come back as stored, passed times included, whichever local
    // time kind the writer used.
    void readingKeepsEverything_data()
    {
        QTest::addColumn<char>("timeSpec");
        QTest::newRow("written by Qt 6") << char(0xFF);
        QTest::newRow("Qt 4 standard time") << char(0);
        QTest::newRow("Qt 4 summer time") << char(1);
    }
    void readingKeepsEverything()
    {
        QFETCH(char, timeSpec);
        UploadSchedule schedule;
        QCOMPARE(readInto(schedule, oneTime({4, 9}, {4, 9}, timeSpec)), QDataStream::Ok);
        QCOMPARE(schedule.times(), QList<QDateTime>{early});
        QCOMPARE(schedule.scheduledTime(9), early);
        QCOMPARE(schedule.scheduledTime(9).timeSpec(), Qt::LocalTime);
    }

    // A damaged record is refused and changes nothing, so that a bad file can
    // never break the schedule's consistency.
    void damagedRecordsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QDataStream::Status>("status");
        const auto corrupt = QDataStream::ReadCorruptData;
        QTest::newRow("negative count") << bytes({0xFFFFFFFF}) << corrupt;
        QTest::newRow("huge count") << bytes({0x7FFFFFFF}) << corrupt;
        QTest::newRow("lookup disagrees") << oneTime({4, 9}, {4, 5}) << corrupt;
        QTest::newRow("lookup incomplete") << oneTime({4, 9}, {4}) << corrupt;
        QTest::newRow("lookup beyond") << oneTime({4}, {4, 9}) << corrupt;
        QTest::newRow("time without controllers") << oneTime({}, {}) << corrupt;
        QTest::newRow("listed twice") << oneTime({4, 4}, {4}) << corrupt;
        QTest::newRow("looked up twice") << oneTime({4}, {4, 4}) << corrupt;
        QTest::newRow("truncated") << oneTime({4}, {4}).chopped(1) << QDataStream::ReadPastEnd;
    }
    void damagedRecordsAreRefused()
    {
        QFETCH(QByteArray, record);
        QFETCH(QDataStream::Status, status);
        UploadSchedule schedule;
        schedule.schedule(1, late);
        const UploadSchedule before = schedule;
        QCOMPARE(readInto(schedule, record), status);
        QCOMPARE(schedule, before);
    }
};

RW_TEST_MAIN(TestUploadSchedule)
#include "tst_upload_schedule.moc"
