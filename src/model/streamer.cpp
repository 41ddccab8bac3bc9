#include "streamer.h"

#include "controller.h"
#include "installation.h"
#include "installation_group.h"
#include "lum_assert.h"
#include "mail_settings.h"
#include "upload_schedule.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Streamer", text);
}

qint64 inMemoryLimit = Streamer::DefaultInMemoryLimit;

// Stands in for a controller's template until the document hands it the one
// of its group; the file does not store it with the controller.
const ControllerTemplatePtr &placeholderTemplate()
{
    static const ControllerTemplatePtr placeholder = std::make_shared<ControllerTemplate>();
    return placeholder;
}

} // namespace

Streamer::Streamer()
{
    m_stream.setVersion(QDataStream::Qt_4_8);
    m_stream.setByteOrder(QDataStream::BigEndian);
}

Streamer::~Streamer()
{
    close();
}

bool Streamer::open(Mode mode, const QString &path)
{
    QIODevice &file = m_readFile.isOpen() ? static_cast<QIODevice &>(m_readFile)
                                          : static_cast<QIODevice &>(m_writeFile);
    LUM_TRAP(file.isOpen());
    m_mode = mode;
    m_version = -1;
    m_error.clear();
    if (mode == Mode_READ) {
        m_readFile.setFileName(path);
        if (!m_readFile.open(QIODevice::ReadOnly)) {
            m_error = m_readFile.errorString();
            return false;
        }
        // Only a file of a known size is read at once: /dev/zero never ends.
        if (!m_readFile.isSequential() && m_readFile.size() <= inMemoryLimit) {
            m_data = m_readFile.read(m_readFile.size());
            m_buffer.setBuffer(&m_data);
            m_buffer.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
            m_stream.setDevice(&m_buffer);
        } else {
            m_stream.setDevice(&m_readFile);
        }
        m_stream.resetStatus();
        if (!readHeader()) {
            close();
            return false;
        }
        return true;
    }
    // Saving replaces the target by a new file: a device or a pipe named
    // by mistake would be replaced, not written to.
    if (const QFileInfo target(path); target.exists() && !target.isFile()) {
        m_error = tr("it is not a regular file");
        return false;
    }
    m_writeFile.setFileName(path);
    // Never write into the target itself: a failure half-way would destroy
    // the only copy of the project.
    m_writeFile.setDirectWriteFallback(false);
    if (!m_writeFile.open(QIODevice::WriteOnly)) {
        m_error = m_writeFile.errorString();
        return false;
    }
    m_stream.setDevice(&m_writeFile);
    m_stream.resetStatus();
    writeHeader();
    return true;
}

bool Streamer::readHeader()
{
    const Mode mode = m_mode;
    LUM_ASSERT(mode == Mode_READ);
    quint64 magic = 0;
    qint32 version = -1;
    m_stream >> magic >> version;
    if (m_stream.status() != QDataStream::Ok || magic != Magic) {
        m_error = tr("the file is not a Rigwarden project");
        return false;
    }
    if (version < 0 || version > CurrentVersion) {
        m_error = tr("the project was saved by a later version of Rigwarden (file version %1)")
                      .arg(version);
        return false;
    }
    m_version = version;
    return true;
}

void Streamer::writeHeader()
{
    const Mode mode = m_mode;
    LUM_ASSERT(mode == Mode_WRITE);
    m_stream << quint64(Magic) << qint32(CurrentVersion);
    m_version = CurrentVersion;
}

bool Streamer::isOk() const
{
    return m_stream.status() == QDataStream::Ok && m_error.isEmpty();
}

void Streamer::setCorrupt(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
    m_stream.setStatus(QDataStream::ReadCorruptData);
}

bool Streamer::commit()
{
    LUM_ASSERT(m_mode == Mode_WRITE);
    if (!m_writeFile.isOpen())
        return false;
    // Flushed here, not left to commit(): QSaveFile renames the temporary
    // file over the target even when writing out its last buffer fails.
    if (m_stream.status() != QDataStream::Ok || !m_writeFile.flush() ||
        m_writeFile.error() != QFileDevice::NoError) {
        if (m_error.isEmpty())
            m_error = tr("writing failed: %1").arg(m_writeFile.errorString());
        m_writeFile.cancelWriting();
    }
    m_stream.setDevice(nullptr);
    if (m_writeFile.commit())
        return true;
    if (m_error.isEmpty())
        m_error = m_writeFile.errorString();
    return false;
}

void Streamer::setInMemoryLimit(qint64 bytes)
{
    inMemoryLimit = bytes;
}

void Streamer::close()
{
    m_stream.setDevice(nullptr);
    if (m_buffer.isOpen())
        m_buffer.close();
    m_data = QByteArray();
    if (m_readFile.isOpen())
        m_readFile.close();
    if (m_writeFile.isOpen()) {
        // Not committed: the target keeps its old content.
        m_writeFile.cancelWriting();
        m_writeFile.commit();
    }
}

// --- Counts, identifiers, raw values ---------------------------------------------

qint32 Streamer::readCount(qint32 maximum, const char *what)
{
    qint32 count = -1;
    m_stream >> count;
    if (m_stream.status() != QDataStream::Ok)
        return -1;
    if (count < 0 || count > maximum) {
        setCorrupt(tr("%1 count %2 is out of bounds (at most %3)")
                       .arg(QLatin1String(what))
                       .arg(count)
                       .arg(maximum));
        return -1;
    }
    return count;
}

// What the reader would refuse is never written: the save fails instead,
// and the file on the disk stays as it was.
void Streamer::writeCount(qsizetype count, qint32 maximum, const char *what)
{
    if (count > maximum && m_error.isEmpty()) {
        m_error = tr("the project has %1 entries of one %2 list, more than a project file holds "
                     "(at most %3)")
                      .arg(count)
                      .arg(QLatin1String(what))
                      .arg(maximum);
        m_stream.setStatus(QDataStream::WriteFailed);
    }
    m_stream << qint32(count);
}

uint Streamer::readId()
{
    qint32 id = -1;
    m_stream >> id;
    return uint(id);
}

void Streamer::writeIdList(const QList<uint> &ids)
{
    writeCount(ids.size(), MaxTableCount, "identifier");
    for (const uint id : ids)
        m_stream << qint32(id);
}

QList<uint> Streamer::readIdList(const char *what)
{
    QList<uint> ids;
    const qint32 count = readCount(MaxTableCount, what);
    for (qint32 i = 0; i < count && isOk(); ++i)
        ids.append(readId());
    return ids;
}

void Streamer::writeRaw(const QByteArray &bytes)
{
    m_stream << qint32(bytes.size());
    m_stream.writeRawData(bytes.constData(), int(bytes.size()));
}

QByteArray Streamer::readRaw()
{
    const qint32 size = readCount(MaxRawSize, "raw value byte");
    if (size <= 0)
        return QByteArray();
    QByteArray bytes(size, '\0');
    if (m_stream.readRawData(bytes.data(), size) != size) {
        m_stream.setStatus(QDataStream::ReadPastEnd);
        return QByteArray();
    }
    return bytes;
}

MediaType Streamer::readMediaType()
{
    qint16 type = 0;
    m_stream >> type;
    if (type < 0 || type >= MediaType_MAX) {
        setCorrupt(tr("media type %1 is unknown").arg(type));
        return MediaType_Unknown;
    }
    return MediaType(type);
}

// --- Controller templates -----------------------------------------------------------

void Streamer::writeControllerTemplate(const ControllerTemplate &controllerTemplate)
{
    m_stream << qint32(controllerTemplate.number()) << qint16(controllerTemplate.hardwareType())
             << controllerTemplate.name() << controllerTemplate.showFile();

    const MediaPaths &paths = controllerTemplate.mediaPaths();
    writeCount(qsizetype(paths.size()), MaxMediaPathCount, "media path");
    for (const auto &[key, path] : paths)
        m_stream << qint32(key.first) << qint16(key.second) << path;

    const FirmwareVersion firmware = controllerTemplate.minimumFirmware();
    m_stream << quint8(firmware.major) << quint8(firmware.minor) << quint8(firmware.point);
    m_stream << qint16(controllerTemplate.showDeviceType()) << controllerTemplate.showReadTime()
             << controllerTemplate.showProjectUuid();

    const MediaClips &clips = controllerTemplate.fileMediaClips();
    writeCount(qsizetype(clips.size()), MaxEntryCount, "media clip");
    for (const auto &[number, clip] : clips) {
        m_stream << qint32(number) << clip.name() << qint32(clip.files().size());
        for (const auto &[type, file] : clip.files()) {
            m_stream << qint16(type) << file.path();
            writeRaw(file.remoteName());
        }
    }
}

ControllerTemplatePtr Streamer::readControllerTemplate()
{
    auto controllerTemplate = std::make_shared<ControllerTemplate>();
    qint32 number = 0;
    qint16 hardwareType = 0;
    QString name;
    QString showFile;
    m_stream >> number >> hardwareType >> name >> showFile;
    controllerTemplate->setNumber(number);
    // Set before the show file, so that naming the file analyses nothing:
    // the file holds what was analysed when it was saved.
    controllerTemplate->setHardwareType(hardwareType);
    controllerTemplate->setName(name);
    controllerTemplate->restoreShowFile(showFile);

    MediaPaths paths;
    const qint32 pathCount = readCount(MaxMediaPathCount, "media path");
    for (qint32 i = 0; i < pathCount && isOk(); ++i) {
        qint32 clipNumber = 0;
        m_stream >> clipNumber;
        const MediaType type = readMediaType();
        QString path;
        m_stream >> path;
        paths[{clipNumber, type}] = path;
    }
    controllerTemplate->setMediaPaths(std::move(paths));

    FirmwareVersion firmware;
    qint16 showDeviceType = 0;
    QDateTime readTime;
    QUuid uuid;
    m_stream >> firmware.major >> firmware.minor >> firmware.point >> showDeviceType >> readTime >>
        uuid;
    controllerTemplate->setMinimumFirmware(firmware);
    controllerTemplate->setShowDeviceType(quint16(showDeviceType));
    controllerTemplate->setShowReadTime(readTime);
    controllerTemplate->setShowProjectUuid(uuid);

    MediaClips clips;
    const qint32 clipCount = readCount(MaxEntryCount, "media clip");
    for (qint32 i = 0; i < clipCount && isOk(); ++i) {
        qint32 clipNumber = 0;
        QString clipName;
        m_stream >> clipNumber >> clipName;
        clips[clipNumber] = readClipFiles(MediaClip(clipName));
    }
    controllerTemplate->setFileMediaClips(std::move(clips));
    return isOk() ? controllerTemplate : nullptr;
}

// From version 5 a counted list of typed files; before, exactly a video and
// an audio file, each dropped when its path is empty.
MediaClip Streamer::readClipFiles(MediaClip clip)
{
    if (m_version >= 5) {
        const qint32 fileCount = readCount(MediaType_MAX, "clip file");
        for (qint32 i = 0; i < fileCount && isOk(); ++i) {
            const MediaType type = readMediaType();
            QString path;
            m_stream >> path;
            const QByteArray remoteName = readRaw();
            clip.setFile(type, ClipFile(path, remoteName));
        }
        return clip;
    }
    for (const MediaType type : {MediaType_Video, MediaType_Audio}) {
        QString path;
        m_stream >> path;
        const QByteArray remoteName = readRaw();
        if (!path.isEmpty())
            clip.setFile(type, ClipFile(path, remoteName));
    }
    return clip;
}

// --- Entities ---------------------------------------------------------------------

void Streamer::writeGroup(const InstallationGroup &group)
{
    const InstallationTemplate &installationTemplate = *group.installationTemplate();
    m_stream << installationTemplate.name();
    m_stream << qint32(installationTemplate.controllerTemplates().size());
    for (const ControllerTemplatePtr &controllerTemplate :
         installationTemplate.controllerTemplates())
        writeControllerTemplate(*controllerTemplate);
    writeIdList(group.installationIds());
    m_stream << group.password();
}

std::unique_ptr<InstallationGroup> Streamer::readGroup()
{
    auto group = std::make_unique<InstallationGroup>();
    QString name;
    m_stream >> name;
    group->installationTemplate()->setName(name);
    const qint32 templateCount = readCount(MaxTableCount, "controller template");
    for (qint32 i = 0; i < templateCount && isOk(); ++i) {
        if (ControllerTemplatePtr controllerTemplate = readControllerTemplate())
            group->installationTemplate()->appendControllerTemplate(controllerTemplate);
    }
    group->setInstallationIds(readIdList("group installation"));
    if (m_version >= 1) {
        QString password;
        m_stream >> password;
        group->setPassword(password);
    }
    return isOk() ? std::move(group) : nullptr;
}

void Streamer::writeInstallation(const Installation &installation)
{
    m_stream << qint32(installation.groupId()) << installation.storedName();
    writeIdList(installation.controllerIds());
    m_stream << installation.password();
}

std::unique_ptr<Installation> Streamer::readInstallation()
{
    const uint groupId = readId();
    QString name;
    m_stream >> name;
    auto installation = std::make_unique<Installation>(readIdList("installation controller"));
    installation->setGroupId(groupId);
    // Stored directly: a name read is no edit to announce.
    installation->restoreName(name);
    if (m_version >= 1) {
        QString password;
        m_stream >> password;
        installation->setPassword(password);
    }
    return isOk() ? std::move(installation) : nullptr;
}

void Streamer::writeController(const Controller &controller)
{
    m_stream << qint32(controller.installationId()) << controller.hostname()
             << qint32(controller.httpPort()) << qint32(controller.ftpPort())
             << controller.password();
}

std::unique_ptr<Controller> Streamer::readController()
{
    auto controller = std::make_unique<Controller>(placeholderTemplate());
    controller->setInstallationId(readId());
    const QString hostname = readHostname();
    qint32 httpPort = 0;
    qint32 ftpPort = 0;
    m_stream >> httpPort >> ftpPort;
    controller->restoreAddress(hostname, uint(httpPort), uint(ftpPort));
    if (m_version >= 1) {
        QString password;
        m_stream >> password;
        controller->setPassword(password);
    }
    return isOk() ? std::move(controller) : nullptr;
}

// Before version 7 controllers were addressed by an IPv4 number.
QString Streamer::readHostname()
{
    if (m_version >= 7) {
        QString hostname;
        m_stream >> hostname;
        return hostname;
    }
    quint32 address = 0;
    m_stream >> address;
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

// --- Settings -----------------------------------------------------------------------

void Streamer::writeMailSettings(const MailSettings &settings)
{
    m_stream << settings.enabled << settings.sendForManualUploads << settings.server
             << qint16(settings.port) << settings.username << settings.password;
    writeCount(settings.recipients.size(), MaxEntryCount, "mail recipient");
    for (const QString &recipient : settings.recipients)
        m_stream << recipient;
}

// Versions 3 to 5 have no user name and password.
void Streamer::readMailSettings(MailSettings &settings)
{
    MailSettings read;
    qint16 port = 0;
    m_stream >> read.enabled >> read.sendForManualUploads >> read.server >> port;
    read.port = quint16(port);
    if (m_version >= 6)
        m_stream >> read.username >> read.password;
    // Read one by one: the list's own reader reserves what the count says.
    const qint32 count = readCount(MaxEntryCount, "mail recipient");
    for (qint32 i = 0; i < count && isOk(); ++i) {
        QString recipient;
        m_stream >> recipient;
        read.recipients.append(recipient);
    }
    if (isOk())
        settings = read;
}

void Streamer::writeSchedule(const UploadSchedule &schedule)
{
    m_stream << schedule;
}

void Streamer::readSchedule(UploadSchedule &schedule)
{
    m_stream >> schedule;
    if (m_stream.status() == QDataStream::ReadCorruptData)
        setCorrupt(tr("the upload schedule is inconsistent"));
}

std::pair<QDateTime, Streamer::IdSet> Streamer::readOldSchedule()
{
    if (m_version >= 2) {
        QDateTime time;
        m_stream >> time;
        IdSet controllerIds = readIdSet();
        return {time, controllerIds};
    }
    bool enabled = false;
    QTime timeOfDay;
    qint16 kind = 0;
    m_stream >> enabled >> timeOfDay >> kind;
    if (kind == 1) {
        QDate date;
        m_stream >> date;
    } else if (kind == 3) {
        qint32 value = 0;
        m_stream >> value;
    } else if (kind == 4) {
        qint8 value = 0;
        m_stream >> value;
    }
    return {};
}

void Streamer::writeColumnWidths(const ColumnWidths &widths)
{
    writeCount(widths.size(), MaxEntryCount, "column width");
    for (auto width = widths.cbegin(); width != widths.cend(); ++width)
        m_stream << qint32(width.key()) << qint32(width.value());
}

Streamer::ColumnWidths Streamer::readColumnWidths()
{
    ColumnWidths widths;
    const qint32 count = readCount(MaxEntryCount, "column width");
    for (qint32 i = 0; i < count && isOk(); ++i) {
        qint32 column = 0;
        qint32 width = 0;
        m_stream >> column >> width;
        widths[column] = width;
    }
    return isOk() ? widths : ColumnWidths();
}

void Streamer::writeIdSet(const IdSet &ids)
{
    writeCount(qsizetype(ids.size()), MaxEntryCount, "identifier set");
    for (const uint id : ids)
        m_stream << qint32(id);
}

Streamer::IdSet Streamer::readIdSet()
{
    IdSet ids;
    const qint32 count = readCount(MaxEntryCount, "identifier set");
    for (qint32 i = 0; i < count && isOk(); ++i)
        ids.insert(readId());
    return isOk() ? ids : IdSet();
}
