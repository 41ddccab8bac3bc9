#pragma once

#include <QDateTime>
#include <QList>

#include <map>
#include <set>

class QDataStream;

// Which controllers are to be uploaded at which local date and time. Several
// controllers may share a time; a controller has at most one. Two maps kept
// consistent: a controller is in the set of time T exactly when the lookup
// maps it to T, and no time holds an empty set.
class UploadSchedule
{
public:
    using ControllerIds = std::set<uint>;

    UploadSchedule() = default;
    // An exact copy, passed times included.
    UploadSchedule(const UploadSchedule &other) = default;
    // Copies both maps, then drops the times that have passed.
    UploadSchedule &operator=(const UploadSchedule &other);

    // Moves a controller that is already scheduled.
    void schedule(uint controllerId, const QDateTime &time);
    // Nothing happens for a controller that is not scheduled.
    void unschedule(uint controllerId);
    void clear();

    bool isScheduled(uint controllerId) const { return m_lookup.count(controllerId) != 0; }
    // A null date-time when the controller is not scheduled.
    QDateTime scheduledTime(uint controllerId) const;
    // The earliest time, or a null date-time when nothing is scheduled.
    QDateTime nextUploadTime() const;
    // Removes the earliest time and hands back its controllers; an empty set
    // when nothing is scheduled.
    ControllerIds takeNext();
    // Every scheduled time, earliest first.
    QList<QDateTime> times() const;
    bool isEmpty() const { return m_schedule.empty(); }

    // Drops every time that is not later than `now`, with its controllers.
    void removePassedTimes(const QDateTime &now);

    bool operator==(const UploadSchedule &other) const = default;

private:
    friend QDataStream &operator<<(QDataStream &out, const UploadSchedule &schedule);
    friend QDataStream &operator>>(QDataStream &in, UploadSchedule &schedule);

    void removeFromTime(uint controllerId, const QDateTime &time);
    void removeInvalidTimes();
    bool isConsistent() const;

    std::map<QDateTime, ControllerIds> m_schedule;
    std::map<uint, QDateTime> m_lookup;
};

// The record in a project file: every time with its controllers, then every
// controller with its time, all counts and identifiers as signed 32-bit
// numbers. Reading keeps passed times. A record that breaks the schedule's
// consistency sets the stream's status to ReadCorruptData and leaves the
// schedule as it was.
QDataStream &operator<<(QDataStream &out, const UploadSchedule &schedule);
QDataStream &operator>>(QDataStream &in, UploadSchedule &schedule);
