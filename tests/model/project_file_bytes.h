#pragma once

// Project files built byte by byte, for every format version, independent of
// the streamer and of QDataStream, so that a wrong width, byte order, field
// order or version rule in the reader or writer shows. Shared by the tests
// and the fuzzers' seed corpus.

#include "show_file_bytes.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <utility>

namespace ProjectFileBytes {

// Big-endian values in the Qt 4.8 data stream encoding.
struct Out
{
    QByteArray bytes;

    Out &u(quint64 value, int size)
    {
        for (int i = size - 1; i >= 0; --i)
            bytes.append(char(value >> (8 * i)));
        return *this;
    }
    Out &i8(qint32 value) { return u(quint8(value), 1); }
    Out &i16(qint32 value) { return u(quint16(value), 2); }
    Out &i32(qint64 value) { return u(quint32(value), 4); }
    Out &boolean(bool value) { return u(value ? 1 : 0, 1); }
    // UTF-16 code units after a byte count; 0xFFFFFFFF marks a null text.
    Out &text(const QString &value)
    {
        if (value.isNull())
            return u(0xFFFFFFFFu, 4);
        u(quint32(value.size() * 2), 4);
        for (const QChar c : value)
            u(c.unicode(), 2);
        return *this;
    }
    Out &raw(const QByteArray &value)
    {
        i32(value.size());
        bytes.append(value);
        return *this;
    }
    // A count, then the values.
    Out &ids(const QList<qint32> &values)
    {
        i32(values.size());
        for (const qint32 value : values)
            i32(value);
        return *this;
    }
};

// A date-time: Julian day, milliseconds since midnight, time-kind byte
// (0 or 1 local time as Qt 4 wrote it, 2 UTC, -1 local as Qt 5 and later
// write it for this format). A null date-time is day 0 and 0xFFFFFFFF ms.
struct DateTime
{
    quint32 julianDay = 0;
    quint32 msecs = 0xFFFFFFFFu;
    qint8 spec = -1;

    void write(Out &out) const { out.u(julianDay, 4).u(msecs, 4).i8(spec); }
};

using Uuid = std::array<quint32, 4>; // 32, 16+16, then eight bytes, as words

struct ClipFile
{
    qint16 type = 2;
    QString path;
    QByteArray remoteName;
};

struct Clip
{
    qint32 number = 0;
    QString name;
    // Before version 5 exactly the first two are written, as video then audio,
    // without types (an absent one as an empty path).
    QList<ClipFile> files;
};

struct MediaPath
{
    qint32 clip = 0;
    qint16 type = 2;
    QString path;
};

struct ControllerTemplate
{
    qint32 number = 1;
    qint16 hardwareType = 9;
    QString name;
    QString showFile;
    QList<MediaPath> mediaPaths;
    std::array<quint8, 3> firmware = {255, 255, 255};
    qint16 showDeviceType = 0;
    DateTime showReadTime;
    Uuid uuid = {0, 0, 0, 0};
    QList<Clip> clips;

    void write(Out &out, int version) const
    {
        out.i32(number).i16(hardwareType).text(name).text(showFile);
        out.i32(mediaPaths.size());
        for (const MediaPath &entry : mediaPaths)
            out.i32(entry.clip).i16(entry.type).text(entry.path);
        out.u(firmware[0], 1).u(firmware[1], 1).u(firmware[2], 1).i16(showDeviceType);
        showReadTime.write(out);
        for (const quint32 word : uuid)
            out.u(word, 4);
        out.i32(clips.size());
        for (const Clip &clip : clips) {
            out.i32(clip.number).text(clip.name);
            if (version >= 5) {
                out.i32(clip.files.size());
                for (const ClipFile &file : clip.files)
                    out.i16(file.type).text(file.path).raw(file.remoteName);
            } else {
                for (int i = 0; i < 2; ++i) {
                    const ClipFile file = clip.files.value(i, {qint16(2 + i), QString(), {}});
                    out.text(file.path).raw(file.remoteName);
                }
            }
        }
    }
};

struct Group
{
    qint32 id = 0;
    QString name;
    QList<ControllerTemplate> templates;
    QList<qint32> installationIds;
    QString password;

    void write(Out &out, int version) const
    {
        out.i32(id).text(name).i32(templates.size());
        for (const ControllerTemplate &each : templates)
            each.write(out, version);
        out.ids(installationIds);
        if (version >= 1)
            out.text(password);
    }
};

struct Installation
{
    qint32 id = 0;
    qint32 groupId = 0;
    QString name;
    QList<qint32> controllerIds;
    QString password;

    void write(Out &out, int version) const
    {
        out.i32(id).i32(groupId).text(name).ids(controllerIds);
        if (version >= 1)
            out.text(password);
    }
};

struct Controller
{
    qint32 id = 0;
    qint32 installationId = 0;
    QString hostname = QStringLiteral("0.0.0.0"); // version 7
    quint32 address = 0;                          // versions 0 to 6
    qint32 httpPort = 80;
    qint32 ftpPort = 21;
    QString password;

    void write(Out &out, int version) const
    {
        out.i32(id).i32(installationId);
        if (version >= 7)
            out.text(hostname);
        else
            out.u(address, 4);
        out.i32(httpPort).i32(ftpPort);
        if (version >= 1)
            out.text(password);
    }
};

struct Mail
{
    bool enabled = false;
    bool manual = false;
    QString server;
    qint16 port = 25;
    QString username; // version 6 and later
    QString password; // version 6 and later
    QList<QString> recipients;

    void write(Out &out, int version) const
    {
        out.boolean(enabled).boolean(manual).text(server).i16(port);
        if (version >= 6)
            out.text(username).text(password);
        out.i32(recipients.size());
        for (const QString &each : recipients)
            out.text(each);
    }
};

struct ScheduleEntry
{
    DateTime time;
    QList<qint32> controllerIds;
};

using WidthMap = QList<std::pair<qint32, qint32>>;

struct Project
{
    quint64 magic = 0x5269675761726408ULL;
    qint32 version = 7;
    QList<Group> groups;
    QList<Installation> installations;
    QList<Controller> controllers;
    QString masterPassword;
    // Version 4 and later: both maps as stored; the lookup, when not given,
    // is derived from the entries.
    QList<ScheduleEntry> schedule;
    std::optional<QList<std::pair<qint32, DateTime>>> lookup;
    // Versions 2 and 3: one time and its controllers.
    ScheduleEntry oldSchedule;
    // Versions 0 and 1: the superseded form's kind (1 date, 3 i32, 4 i8).
    qint16 supersededKind = 1;
    Mail mail;
    WidthMap mainWidths;
    QList<qint32> expandedGroups;
    QList<qint32> expandedInstallations;
    WidthMap passwordWidths;

    QByteArray bytes() const
    {
        Out out;
        out.u(magic, 8).i32(version);
        writeAll(out, groups);
        writeAll(out, installations);
        writeAll(out, controllers);
        if (version >= 1)
            out.text(masterPassword);
        writeSchedule(out);
        if (version >= 3)
            mail.write(out, version);
        writeWidths(out, mainWidths);
        out.ids(expandedGroups).ids(expandedInstallations);
        if (version >= 1)
            writeWidths(out, passwordWidths);
        return out.bytes;
    }

    template <typename Record>
    void writeAll(Out &out, const QList<Record> &records) const
    {
        out.i32(records.size());
        for (const Record &record : records)
            record.write(out, version);
    }

    void writeSchedule(Out &out) const
    {
        if (version >= 4) {
            out.i32(schedule.size());
            QList<std::pair<qint32, DateTime>> derived;
            for (const ScheduleEntry &entry : schedule) {
                entry.time.write(out);
                out.ids(entry.controllerIds);
                for (const qint32 id : entry.controllerIds)
                    derived.append({id, entry.time});
            }
            std::sort(derived.begin(), derived.end(),
                      [](const auto &a, const auto &b) { return a.first < b.first; });
            const auto &entries = lookup ? *lookup : derived;
            out.i32(entries.size());
            for (const auto &[id, time] : entries) {
                out.i32(id);
                time.write(out);
            }
        } else if (version >= 2) {
            oldSchedule.time.write(out);
            out.ids(oldSchedule.controllerIds);
        } else {
            // enabled, a time of day and the kind's own value
            out.boolean(true).u(3600000, 4).i16(supersededKind);
            if (supersededKind == 1)
                out.u(2460000, 4);
            else if (supersededKind == 3)
                out.i32(7);
            else if (supersededKind == 4)
                out.i8(2);
        }
    }

    static void writeWidths(Out &out, const WidthMap &widths)
    {
        out.i32(widths.size());
        for (const auto &[column, width] : widths)
            out.i32(column).i32(width);
    }
};

// Julian day of 2 January 2024, and of a day far ahead.
constexpr quint32 day2024 = 2460312;
constexpr quint32 dayFuture = 2488070; // 2100-01-01

// A project with two groups (one empty), identifier gaps, passwords, clips
// of several kinds, a schedule and mail settings, written as `version`.
inline Project sampleProject(int version)
{
    Project project;
    project.version = version;

    ControllerTemplate nx; // number 1, hardware type 9
    nx.name = QStringLiteral("Stage left");
    nx.showFile = QStringLiteral("/shows/main.wrn");
    nx.mediaPaths = {{-1, 5, QStringLiteral("/media")},
                     {1, 4, QStringLiteral("/media/clip01.bin")}};
    nx.firmware = {2, 5, 1};
    nx.showDeviceType = 9;
    nx.showReadTime = {day2024, 45296789, -1};
    nx.uuid = {0x00112233, 0x44556677, 0x8899AABB, 0xCCDDEEFF};
    nx.clips = {
        {1, QStringLiteral("Opening"), {{4, QStringLiteral("/m/clip01.bin"), "clip01.bin"}}}};

    ControllerTemplate kma;
    kma.number = 2;
    kma.hardwareType = 3;
    kma.name = QString();              // null
    kma.showFile = QStringLiteral(""); // empty
    kma.mediaPaths = {{1, 2, QStringLiteral("/m/intro.mpg")},
                      {1, 3, QStringLiteral("/m/intro.wav")}};
    kma.showReadTime = {day2024, 0, 2};
    kma.clips = {{1,
                  QStringLiteral("Intro"),
                  {{2, QStringLiteral("/m/intro.mpg"), "intro.vid"},
                   {3, QStringLiteral("/m/intro.wav"), "sixteen-bytes-xx"}}},
                 {7, QStringLiteral("Video only"), {{2, QStringLiteral("/m/v.mpg"), "v.vid"}}}};

    Group main{3, QStringLiteral("Main stage"), {nx, kma}, {5, 0}, QStringLiteral("g\u00e9p")};
    Group empty{0, QStringLiteral(""), {}, {}, QString()};
    project.groups = {empty, main};

    project.installations = {{0, 3, QStringLiteral("Front"), {2, 9}, QString()},
                             {5, 3, QString(), {4, 1}, QStringLiteral("ip")}};

    Controller c1{1, 5, QStringLiteral("10.0.0.12"), 0x0A00000C, 8080, 2121, QStringLiteral("cp")};
    Controller c2{2, 0, QStringLiteral("192.168.0.1"), 0xC0A80001, 80, 21, QString()};
    Controller c4{4, 5, QStringLiteral("stage-4.local"), 0x7F000001, 80, 21, QString()};
    Controller c9{9, 0, QStringLiteral("0.0.0.0"), 0, 80, 21, QString()};
    project.controllers = {c1, c2, c4, c9};

    project.masterPassword = QStringLiteral("mp");
    // One time has passed: a project keeps it for the application to upload.
    project.schedule = {{{day2024, 0, -1}, {4}}, {{dayFuture, 36000000, -1}, {1, 9}}};
    project.oldSchedule = {{dayFuture, 36000000, -1}, {2, 4}};
    project.mail = {true,
                    false,
                    QStringLiteral("mail.example.com"),
                    587,
                    QStringLiteral("ops"),
                    QStringLiteral("sp"),
                    {QStringLiteral("a@example.com"), QStringLiteral("b@example.org")}};
    project.mainWidths = {{0, 250}, {3, 90}, {9, 40}};
    project.expandedGroups = {3};
    project.expandedInstallations = {0, 5};
    project.passwordWidths = {{1, 120}};
    return project;
}

using ShowFileBytes::writeFile;

} // namespace ProjectFileBytes
