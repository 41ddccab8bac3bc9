#include "upload_schedule.h"

#include "lum_assert.h"

#include <QDataStream>

namespace {

// Controller identifiers are 16-bit, so no record can list more.
constexpr qint32 maxRecordCount = 65536;

bool readCount(QDataStream &in, qint32 &count)
{
    in >> count;
    if (in.status() != QDataStream::Ok)
        return false;
    if (count < 0 || count > maxRecordCount) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    return true;
}

} // namespace

UploadSchedule &UploadSchedule::operator=(const UploadSchedule &other)
{
    m_schedule = other.m_schedule;
    m_lookup = other.m_lookup;
    removePassedTimes(QDateTime::currentDateTime());
    return *this;
}

void UploadSchedule::schedule(uint controllerId, const QDateTime &time)
{
    const auto scheduled = m_lookup.find(controllerId);
    if (scheduled != m_lookup.end()) {
        if (scheduled->second == time)
            return;
        removeFromTime(controllerId, scheduled->second);
    }
    m_schedule[time].insert(controllerId);
    m_lookup[controllerId] = time;
}

void UploadSchedule::unschedule(uint controllerId)
{
    const auto scheduled = m_lookup.find(controllerId);
    if (scheduled == m_lookup.end())
        return;
    removeFromTime(controllerId, scheduled->second);
    m_lookup.erase(scheduled);
}

void UploadSchedule::clear()
{
    m_schedule.clear();
    m_lookup.clear();
}

QDateTime UploadSchedule::scheduledTime(uint controllerId) const
{
    const auto scheduled = m_lookup.find(controllerId);
    return scheduled == m_lookup.end() ? QDateTime() : scheduled->second;
}

QDateTime UploadSchedule::nextUploadTime() const
{
    return m_schedule.empty() ? QDateTime() : m_schedule.begin()->first;
}

UploadSchedule::ControllerIds UploadSchedule::takeNext()
{
    if (m_schedule.empty())
        return {};
    const ControllerIds next = m_schedule.begin()->second;
    m_schedule.erase(m_schedule.begin());
    for (const uint controllerId : next)
        m_lookup.erase(controllerId);
    return next;
}

QList<QDateTime> UploadSchedule::times() const
{
    QList<QDateTime> result;
    result.reserve(qsizetype(m_schedule.size()));
    for (const auto &entry : m_schedule)
        result.append(entry.first);
    return result;
}

// A time that does not exist here (a damaged date, or a local time that
// falls into this machine's daylight-saving gap) can never come. Kept, it
// would sort first and hold back every later scheduled upload.
void UploadSchedule::removeInvalidTimes()
{
    for (auto entry = m_schedule.begin(); entry != m_schedule.end();) {
        if (entry->first.isValid()) {
            ++entry;
            continue;
        }
        for (const uint controllerId : entry->second)
            m_lookup.erase(controllerId);
        entry = m_schedule.erase(entry);
    }
}

void UploadSchedule::removePassedTimes(const QDateTime &now)
{
    auto entry = m_schedule.begin();
    while (entry != m_schedule.end() && entry->first <= now) {
        for (const uint controllerId : entry->second)
            m_lookup.erase(controllerId);
        entry = m_schedule.erase(entry);
    }
}

void UploadSchedule::removeFromTime(uint controllerId, const QDateTime &time)
{
    auto &schedule = m_schedule;
    const auto iSchedule = schedule.find(time);
    LUM_ASSERT(iSchedule != schedule.end());
    iSchedule->second.erase(controllerId);
    if (iSchedule->second.empty())
        schedule.erase(iSchedule);
}

bool UploadSchedule::isConsistent() const
{
    size_t listed = 0;
    for (const auto &[time, controllerIds] : m_schedule) {
        if (controllerIds.empty())
            return false;
        for (const uint controllerId : controllerIds) {
            const auto scheduled = m_lookup.find(controllerId);
            if (scheduled == m_lookup.end() || scheduled->second != time)
                return false;
        }
        listed += controllerIds.size();
    }
    return listed == m_lookup.size();
}

QDataStream &operator<<(QDataStream &out, const UploadSchedule &schedule)
{
    out << qint32(schedule.m_schedule.size());
    for (const auto &[time, controllerIds] : schedule.m_schedule) {
        out << time << qint32(controllerIds.size());
        for (const uint controllerId : controllerIds)
            out << qint32(controllerId);
    }
    out << qint32(schedule.m_lookup.size());
    for (const auto &[controllerId, time] : schedule.m_lookup)
        out << qint32(controllerId) << time;
    return out;
}

QDataStream &operator>>(QDataStream &in, UploadSchedule &schedule)
{
    // Built aside, so that a damaged record changes nothing. Both maps are
    // taken as stored; a time or controller listed twice cannot have come
    // from a schedule and marks the record corrupt.
    UploadSchedule read;
    qint32 timeCount = 0;
    if (!readCount(in, timeCount))
        return in;
    for (qint32 i = 0; i < timeCount; ++i) {
        QDateTime time;
        qint32 idCount = 0;
        in >> time;
        if (!readCount(in, idCount))
            return in;
        const auto [entry, added] = read.m_schedule.try_emplace(time);
        if (!added) {
            in.setStatus(QDataStream::ReadCorruptData);
            return in;
        }
        UploadSchedule::ControllerIds &controllerIds = entry->second;
        for (qint32 j = 0; j < idCount; ++j) {
            qint32 controllerId = 0;
            in >> controllerId;
            if (in.status() != QDataStream::Ok)
                return in;
            if (!controllerIds.insert(uint(controllerId)).second) {
                in.setStatus(QDataStream::ReadCorruptData);
                return in;
            }
        }
    }
    qint32 lookupCount = 0;
    if (!readCount(in, lookupCount))
        return in;
    for (qint32 i = 0; i < lookupCount; ++i) {
        qint32 controllerId = 0;
        QDateTime time;
        in >> controllerId >> time;
        if (in.status() != QDataStream::Ok)
            return in;
        if (!read.m_lookup.try_emplace(uint(controllerId), time).second) {
            in.setStatus(QDataStream::ReadCorruptData);
            return in;
        }
    }
    if (!read.isConsistent()) {
        in.setStatus(QDataStream::ReadCorruptData);
        return in;
    }
    read.removeInvalidTimes();
    schedule.m_schedule = std::move(read.m_schedule);
    schedule.m_lookup = std::move(read.m_lookup);
    return in;
}
