#pragma once

#include "controller_template.h"
#include "sortvector.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QString>

#include <memory>
#include <set>

class Controller;
class Installation;
class InstallationGroup;
class MailSettings;
class UploadSchedule;

// The project file: a header (the 64-bit magic "RigWard" 0x08 and an i32
// version) and a data stream in Qt 4.8's encoding, big-endian. It writes
// version 7 and reads versions 0 to 7, whose records differ as noted at
// each reader.
//
// A project file comes from outside, so every reader checks what it is
// given: counts and identifiers beyond the tables' limits, raw values longer
// than their 16-byte fields, media types outside their enumeration and data
// that ends early mark the stream corrupt, after which the readers return
// empty results and isOk() is false. Nothing is allocated for a count before
// the data for it has been read.
//
// Writing goes to a temporary file beside the target, which replaces the
// target only at commit(); a failure or a crash half-way leaves the old file
// as it was.
class Streamer
{
public:
    enum Mode
    {
        Mode_READ = 0,
        Mode_WRITE = 1
    };

    static constexpr quint64 Magic = 0x5269675761726408ULL;
    static constexpr int CurrentVersion = 7;
    // Elements of a table, and identifiers in one list of references.
    static constexpr qint32 MaxTableCount = 1024;
    // Entries of the other maps, lists and sets.
    static constexpr qint32 MaxEntryCount = 65536;
    // A show's clips may each have a video and an audio path.
    static constexpr qint32 MaxMediaPathCount = 2 * MaxEntryCount;
    // A raw value fills at most the controller's 16-byte name field.
    static constexpr qint32 MaxRawSize = 16;
    // Files up to this size are read into memory at once, which halves the
    // time of reading a large project; larger ones, which no project made
    // by the application reaches, are read from the disk as they go.
    static constexpr qint64 DefaultInMemoryLimit = 64 * 1024 * 1024;
    // For tests of the reading from the disk.
    static void setInMemoryLimit(qint64 bytes);

    using ColumnWidths = QMap<int, int>;
    using IdSet = std::set<uint>;

    Streamer();
    ~Streamer();
    Streamer(const Streamer &) = delete;
    Streamer &operator=(const Streamer &) = delete;

    // Reading: opens the file and reads the header; false when the file
    // cannot be opened, is not a project or is of a later version.
    // Writing: opens a temporary file beside `path` and writes the header;
    // false when it cannot be opened.
    bool open(Mode mode, const QString &path);
    bool readHeader();
    void writeHeader();
    // The version read, CurrentVersion when writing, -1 before a header.
    int version() const { return m_version; }
    QDataStream &stream() { return m_stream; }

    // Whether everything so far was read or written without fault.
    bool isOk() const;
    // Why not, for the operator.
    QString errorString() const { return m_error; }
    // Marks the data read as malformed; the first reason given is kept.
    void setCorrupt(const QString &reason);

    // Writing: makes the written file the file at the path. False (the old
    // file left as it was) when anything failed.
    bool commit();
    // Closes the file; a written file that was not committed is discarded.
    void close();

    // Records, in the order and width of the current version.
    void writeGroup(const InstallationGroup &group);
    std::unique_ptr<InstallationGroup> readGroup();
    void writeInstallation(const Installation &installation);
    std::unique_ptr<Installation> readInstallation();
    void writeController(const Controller &controller);
    std::unique_ptr<Controller> readController();
    void writeControllerTemplate(const ControllerTemplate &controllerTemplate);
    ControllerTemplatePtr readControllerTemplate();
    void writeMailSettings(const MailSettings &settings);
    void readMailSettings(MailSettings &settings);
    // Version 4 and later. Earlier schedules: readOldSchedule.
    void writeSchedule(const UploadSchedule &schedule);
    void readSchedule(UploadSchedule &schedule);
    // Versions 2 and 3: one time for a set of controllers; versions 0 and 1:
    // a superseded form, read and ignored. The time and the controllers
    // (nothing for versions 0 and 1).
    std::pair<QDateTime, IdSet> readOldSchedule();
    void writeColumnWidths(const ColumnWidths &widths);
    ColumnWidths readColumnWidths();
    void writeIdSet(const IdSet &ids);
    IdSet readIdSet();

    // An i32 count of at most `maximum`; -1 (and the stream corrupt) otherwise.
    qint32 readCount(qint32 maximum, const char *what);
    void writeCount(qsizetype count, qint32 maximum, const char *what);
    // An i32 identifier as the tables pass it on.
    uint readId();

private:
    void writeIdList(const QList<uint> &ids);
    QList<uint> readIdList(const char *what);
    void writeRaw(const QByteArray &bytes);
    QByteArray readRaw();
    MediaType readMediaType();
    QString readHostname();
    MediaClip readClipFiles(MediaClip clip);

    Mode m_mode = Mode_READ;
    int m_version = -1;
    QFile m_readFile;
    QByteArray m_data;
    QBuffer m_buffer;
    QSaveFile m_writeFile;
    QDataStream m_stream;
    QString m_error;
};
