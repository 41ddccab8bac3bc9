#include "test_main.h"
#include "upload_schedule.h"

#include <QDataStream>

Q_DECLARE_METATYPE(QDataStream::Status)

namespace {

using Ids = UploadSchedule::ControllerIds;

const QDateTime early(QDate(2031, 3, 14), QTime(9, 26, 53, 500));
const QDateTime late = early.addDays(1);

QByteArray bytes(const QList<quint32> &numbers)
{
    QByteArray out;
    for (quint32 number : numbers)
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char(number >> shift));
    return out;
}

// One time listing `listed`, and a lookup mapping each of `looked` to it.
// The time is `early` as a Qt 4.8 stream holds a local time: Julian day
// 2462940, 34013500 ms since midnight, and the time kind byte: 0xFF as Qt
// writes it, 0 and 1 as Qt 4 wrote standard and summer time.
QByteArray oneTime(const QList<quint32> &listed, const QList<quint32> &looked,
                   char timeSpec = char(0xFF))
{
    const QByteArray time = bytes({2462940, 34013500}) + timeSpec;
    QByteArray out = bytes({1}) + time + bytes({quint32(listed.size())}) + bytes(listed);
    out += bytes({quint32(looked.size())});
    for (quint32 id : looked)
        out += bytes({id}) + time;
    return out;
}

} // namespace

class TestUploadSchedule : public QObject
{
    Q_OBJECT

private slots:

    // A controller has one time; a time without controllers goes.
    void reschedulingMovesTheController()
    {
        UploadSchedule schedule;
        QCOMPARE(schedule.takeNext(), Ids());
        schedule.schedule(1, early);
        schedule.schedule(2, early);
        const UploadSchedule before = schedule;
        schedule.schedule(1, early);
        QCOMPARE(schedule, before);
        schedule.schedule(1, late);
        QCOMPARE(schedule.times(), (QList<QDateTime>{early, late}));
        schedule.schedule(3, late);
        schedule.schedule(2, late); // the last one leaves the early time
        QCOMPARE(schedule.times(), QList<QDateTime>{late});
        schedule.unschedule(7); // not scheduled: nothing happens
        schedule.unschedule(1);
        schedule.schedule(5, early);
        QCOMPARE(schedule.takeNext(), Ids{5});
        QCOMPARE(schedule.nextUploadTime(), late);
        QCOMPARE(schedule.takeNext(), (Ids{2, 3}));
        QVERIFY(!schedule.isScheduled(2) && schedule.scheduledTime(3).isNull());
        QVERIFY(schedule.isEmpty() && schedule.nextUploadTime().isNull());
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

    // Both maps come back as stored, whichever local time kind the writer
    // used. A damaged record is refused and changes nothing, so that a bad
    // file can never break the schedule's consistency.
    void reading_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QDataStream::Status>("status");
        const auto ok = QDataStream::Ok;
        const auto corrupt = QDataStream::ReadCorruptData;
        QTest::newRow("written by Qt 6") << oneTime({4, 9}, {4, 9}) << ok;
        QTest::newRow("Qt 4 standard time") << oneTime({4, 9}, {4, 9}, 0) << ok;
        QTest::newRow("negative count") << bytes({0xFFFFFFFF}) << corrupt;
        QTest::newRow("huge count") << bytes({0x7FFFFFFF}) << corrupt;
        QTest::newRow("lookup disagrees") << oneTime({4, 9}, {4, 5}) << corrupt;
        QTest::newRow("lookup beyond") << oneTime({4}, {4, 9}) << corrupt;
        QTest::newRow("time without controllers") << oneTime({}, {}) << corrupt;
        QTest::newRow("listed twice") << oneTime({4, 4}, {4}) << corrupt;
        QTest::newRow("truncated") << oneTime({4}, {4}).chopped(1) << QDataStream::ReadPastEnd;
        // A time that cannot exist would sort first and hold back every later
        // upload; it goes with its controllers, the rest stays.
        const QByteArray noTime = bytes({0, 0xFFFFFFFF}) + char(0xFF);
        const QByteArray time = oneTime({}, {}).mid(4, 9); // early
        QTest::newRow("a time that cannot be")
            << bytes({2}) + noTime + bytes({1, 5}) + time + bytes({2, 4, 9}) + bytes({3, 4}) +
                   time + bytes({5}) + noTime + bytes({9}) + time
            << ok;
    }
    void reading()
    {
        QFETCH(QByteArray, record);
        QFETCH(QDataStream::Status, status);
        UploadSchedule schedule;
        schedule.schedule(1, late);
        const UploadSchedule before = schedule;
        QDataStream in(record);
        in.setVersion(QDataStream::Qt_4_8);
        in >> schedule;
        QCOMPARE(in.status(), status);
        if (status != QDataStream::Ok) {
            QCOMPARE(schedule, before);
            return;
        }
        QCOMPARE(schedule.times(), QList<QDateTime>{early});
        QCOMPARE(schedule.scheduledTime(4), early);
        QCOMPARE(schedule.scheduledTime(9).timeSpec(), Qt::LocalTime);
        QVERIFY(!schedule.isScheduled(1) && !schedule.isScheduled(5));
    }
};

RW_TEST_MAIN(TestUploadSchedule)
#include "tst_upload_schedule.moc"
