#include "project_json.h"

#include "lum_document.h"
#include "password_cipher.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QRegularExpression>

#include <climits>
#include <cmath>
#include <optional>
#include <set>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ProjectJson", text);
}

// --- Writing ----------------------------------------------------------------------

QJsonValue timeValue(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toString(Qt::ISODateWithMs)) : QJsonValue();
}

QString firmwareText(const FirmwareVersion &firmware)
{
    return QStringLiteral("%1.%2.%3").arg(firmware.major).arg(firmware.minor).arg(firmware.point);
}

QJsonObject templateJson(const ControllerTemplate &controllerTemplate)
{
    QJsonArray paths;
    for (const auto &[key, path] : controllerTemplate.mediaPaths())
        paths.append(QJsonObject{{QStringLiteral("clip"), key.first},
                                 {QStringLiteral("type"), mediaTypeName(key.second)},
                                 {QStringLiteral("path"), path}});
    QJsonArray clips;
    for (const auto &[number, clip] : controllerTemplate.fileMediaClips()) {
        QJsonArray files;
        for (const auto &[type, file] : clip.files())
            files.append(QJsonObject{{QStringLiteral("type"), mediaTypeName(type)},
                                     {QStringLiteral("path"), file.path()},
                                     {QStringLiteral("remoteName"), file.remoteNameText()}});
        clips.append(QJsonObject{{QStringLiteral("number"), number},
                                 {QStringLiteral("name"), clip.name()},
                                 {QStringLiteral("files"), files}});
    }
    const QUuid uuid = controllerTemplate.showProjectUuid();
    return QJsonObject{
        {QStringLiteral("number"), controllerTemplate.number()},
        {QStringLiteral("hardwareType"), controllerTemplate.hardwareType()},
        {QStringLiteral("name"), controllerTemplate.name()},
        {QStringLiteral("showFile"), controllerTemplate.showFile()},
        {QStringLiteral("mediaPaths"), paths},
        {QStringLiteral("minimumFirmware"), firmwareText(controllerTemplate.minimumFirmware())},
        {QStringLiteral("showDeviceType"), controllerTemplate.showDeviceType()},
        {QStringLiteral("showReadTime"), timeValue(controllerTemplate.showReadTime())},
        {QStringLiteral("showProjectUuid"),
         uuid.isNull() ? QJsonValue() : QJsonValue(uuid.toString(QUuid::WithBraces))},
        {QStringLiteral("clips"), clips}};
}

QJsonObject widthsJson(const LumDocument::ColumnWidths &widths)
{
    QJsonObject object;
    for (auto width = widths.cbegin(); width != widths.cend(); ++width)
        object.insert(QString::number(width.key()), width.value());
    return object;
}

// --- Reading ----------------------------------------------------------------------

// Reads values of the expected kinds, remembering where it is for the
// message of the first fault; after a fault every read gives its default.
class Reader
{
public:
    QString error;
    // Elements made so far: the tables' limits hold before anything is built
    // beyond them.
    qsizetype installationsMade = 0;
    qsizetype controllersMade = 0;

    bool countInstallation() { return count(installationsMade, "installations"); }
    bool countController() { return count(controllersMade, "controllers"); }

    bool failed() const { return !error.isEmpty(); }

    void fail(const QString &what)
    {
        if (error.isEmpty())
            error = (m_path.isEmpty() ? QString() : m_path + QLatin1String(": ")) + what;
    }

    // Steps into a key or an array element for as long as it lives.
    class Step
    {
    public:
        Step(Reader &reader, const QString &name) : m_reader(reader), m_size(reader.m_path.size())
        {
            if (!m_reader.m_path.isEmpty() && !name.startsWith(QLatin1Char('[')))
                m_reader.m_path += QLatin1Char('.');
            m_reader.m_path += name;
        }
        ~Step() { m_reader.m_path.truncate(m_size); }
        Step(const Step &) = delete;
        Step &operator=(const Step &) = delete;

    private:
        Reader &m_reader;
        qsizetype m_size;
    };

    static QString index(qsizetype i) { return QStringLiteral("[%1]").arg(i); }

    void allowKeys(const QJsonObject &object, const QStringList &allowed)
    {
        for (auto key = object.begin(); key != object.end(); ++key) {
            if (!allowed.contains(key.key())) {
                fail(tr("unknown key \"%1\"").arg(key.key()));
                return;
            }
        }
    }

    QJsonObject object(const QJsonValue &value)
    {
        if (value.isUndefined())
            return {};
        if (!value.isObject())
            fail(tr("must be an object"));
        return value.toObject();
    }

    QJsonArray array(const QJsonObject &object, const QString &key)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return {};
        Step step(*this, key);
        if (!value.isArray())
            fail(tr("must be a list"));
        return value.toArray();
    }

    QString text(const QJsonObject &object, const QString &key)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return QString();
        Step step(*this, key);
        if (!value.isString())
            fail(tr("must be a text"));
        return value.toString();
    }

    bool boolean(const QJsonObject &object, const QString &key)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return false;
        Step step(*this, key);
        if (!value.isBool())
            fail(tr("must be true or false"));
        return value.toBool();
    }

    qint64 integer(const QJsonObject &object, const QString &key, qint64 minimum, qint64 maximum,
                   qint64 fallback)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return fallback;
        Step step(*this, key);
        return integerValue(value, minimum, maximum);
    }

    qint64 integerValue(const QJsonValue &value, qint64 minimum, qint64 maximum)
    {
        const double number = value.toDouble(qQNaN());
        if (!value.isDouble() || number != std::floor(number) || number < double(minimum) ||
            number > double(maximum)) {
            fail(tr("must be a whole number from %1 to %2").arg(minimum).arg(maximum));
            return minimum;
        }
        return qint64(number);
    }

    // An identifier to keep, or none to let the table choose.
    std::optional<uint> id(const QJsonObject &object)
    {
        if (!object.contains(QStringLiteral("id")))
            return std::nullopt;
        return uint(integer(object, QStringLiteral("id"), 0, LumDocument::TableMaximum - 1, 0));
    }

    // The enciphered form of a password given as plain text.
    QString password(const QJsonObject &object, const QString &key)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined() || value == QJsonValue(false))
            return QString();
        Step step(*this, key);
        if (value.isString())
            return PasswordCipher::encode(value.toString());
        if (value == QJsonValue(true))
            fail(tr("the password is not given: write it as text, or false for none"));
        else
            fail(tr("must be the password as text, or false for none"));
        return QString();
    }

    QDateTime time(const QJsonObject &object, const QString &key)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined() || value.isNull())
            return QDateTime();
        Step step(*this, key);
        const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
        if (!value.isString() || !time.isValid())
            fail(tr("must be a date and time such as \"2030-05-01T20:00:00\", or null"));
        // A project file holds local and UTC times only: an offset becomes
        // the same moment in UTC.
        if (time.timeSpec() == Qt::OffsetFromUTC)
            return time.toUTC();
        return time;
    }

    MediaType mediaType(const QJsonObject &object)
    {
        Step step(*this, QStringLiteral("type"));
        const QString name = object.value(QStringLiteral("type")).toString();
        for (int type = 0; type < MediaType_MAX; ++type) {
            if (mediaTypeName(MediaType(type)) == name)
                return MediaType(type);
        }
        fail(tr("must be one of Unknown, Show, Video, Audio, Slot, Folder, Validator"));
        return MediaType_Unknown;
    }

private:
    bool count(qsizetype &made, const char *kind)
    {
        if (++made <= qsizetype(LumDocument::TableMaximum))
            return true;
        fail(tr("a project holds at most %1 %2")
                 .arg(LumDocument::TableMaximum)
                 .arg(QLatin1String(kind)));
        return false;
    }

    QString m_path;
};

struct ControllerData
{
    std::optional<uint> id;
    std::unique_ptr<Controller> controller;
    QDateTime scheduled;
};

struct InstallationData
{
    std::optional<uint> id;
    std::unique_ptr<Installation> installation;
    bool expanded = false;
    std::vector<ControllerData> controllers;
};

struct GroupData
{
    std::optional<uint> id;
    std::unique_ptr<InstallationGroup> group;
    bool expanded = false;
    std::vector<InstallationData> installations;
};

ClipFile readClipFile(Reader &reader, const QJsonObject &object)
{
    reader.allowKeys(
        object, {QStringLiteral("type"), QStringLiteral("path"), QStringLiteral("remoteName")});
    const QString remoteName = reader.text(object, QStringLiteral("remoteName"));
    Reader::Step step(reader, QStringLiteral("remoteName"));
    const QByteArray bytes = remoteName.toLatin1();
    if (QString::fromLatin1(bytes) != remoteName || bytes.size() > ClipFile::RemoteNameSize ||
        bytes.contains('\0'))
        reader.fail(tr("must be at most %1 characters of Latin-1").arg(ClipFile::RemoteNameSize));
    return ClipFile(reader.text(object, QStringLiteral("path")), bytes);
}

MediaClips readClips(Reader &reader, const QJsonObject &object)
{
    MediaClips clips;
    const QJsonArray array = reader.array(object, QStringLiteral("clips"));
    Reader::Step inClips(reader, QStringLiteral("clips"));
    for (qsizetype i = 0; i < array.size() && !reader.failed(); ++i) {
        Reader::Step step(reader, Reader::index(i));
        const QJsonObject clipObject = reader.object(array.at(i));
        reader.allowKeys(clipObject, {QStringLiteral("number"), QStringLiteral("name"),
                                      QStringLiteral("files")});
        const int number =
            int(reader.integer(clipObject, QStringLiteral("number"), INT_MIN, INT_MAX, 0));
        MediaClip clip(reader.text(clipObject, QStringLiteral("name")));
        const QJsonArray files = reader.array(clipObject, QStringLiteral("files"));
        Reader::Step inFiles(reader, QStringLiteral("files"));
        for (qsizetype j = 0; j < files.size() && !reader.failed(); ++j) {
            Reader::Step fileStep(reader, Reader::index(j));
            const QJsonObject fileObject = reader.object(files.at(j));
            const MediaType type = reader.mediaType(fileObject);
            clip.setFile(type, readClipFile(reader, fileObject));
        }
        clips[number] = clip;
    }
    return clips;
}

FirmwareVersion readFirmware(Reader &reader, const QJsonObject &object)
{
    const QString text = reader.text(object, QStringLiteral("minimumFirmware"));
    if (text.isNull())
        return FirmwareVersion();
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})")));
    const QRegularExpressionMatch match = pattern.match(text);
    FirmwareVersion firmware;
    if (match.hasMatch() && match.captured(1).toUInt() < 256 && match.captured(2).toUInt() < 256 &&
        match.captured(3).toUInt() < 256) {
        firmware.major = quint8(match.captured(1).toUInt());
        firmware.minor = quint8(match.captured(2).toUInt());
        firmware.point = quint8(match.captured(3).toUInt());
    } else {
        Reader::Step step(reader, QStringLiteral("minimumFirmware"));
        reader.fail(tr("must be major.minor.point, each 0 to 255"));
    }
    return firmware;
}

ControllerTemplatePtr readControllerTemplate(Reader &reader, const QJsonObject &object)
{
    reader.allowKeys(object, {QStringLiteral("number"), QStringLiteral("hardwareType"),
                              QStringLiteral("name"), QStringLiteral("showFile"),
                              QStringLiteral("mediaPaths"), QStringLiteral("minimumFirmware"),
                              QStringLiteral("showDeviceType"), QStringLiteral("showReadTime"),
                              QStringLiteral("showProjectUuid"), QStringLiteral("clips")});
    auto controllerTemplate = std::make_shared<ControllerTemplate>();
    controllerTemplate->setNumber(
        int(reader.integer(object, QStringLiteral("number"), INT_MIN, INT_MAX, 1)));
    controllerTemplate->setHardwareType(int(reader.integer(
        object, QStringLiteral("hardwareType"), 0, HardwareType::Max, HardwareType::NX)));
    controllerTemplate->setName(reader.text(object, QStringLiteral("name")));

    MediaPaths paths;
    const QJsonArray pathArray = reader.array(object, QStringLiteral("mediaPaths"));
    {
        Reader::Step inPaths(reader, QStringLiteral("mediaPaths"));
        for (qsizetype i = 0; i < pathArray.size() && !reader.failed(); ++i) {
            Reader::Step step(reader, Reader::index(i));
            const QJsonObject entry = reader.object(pathArray.at(i));
            reader.allowKeys(
                entry, {QStringLiteral("clip"), QStringLiteral("type"), QStringLiteral("path")});
            const int clip =
                int(reader.integer(entry, QStringLiteral("clip"), INT_MIN, INT_MAX, 0));
            const MediaType type = reader.mediaType(entry);
            paths[{clip, type}] = reader.text(entry, QStringLiteral("path"));
        }
    }
    controllerTemplate->setMediaPaths(paths);

    const QString showFile = reader.text(object, QStringLiteral("showFile"));
    if (!object.contains(QStringLiteral("showReadTime"))) {
        // Never analysed: read the show as the template builder would.
        for (const QString &analysed :
             {QStringLiteral("minimumFirmware"), QStringLiteral("showDeviceType"),
              QStringLiteral("showProjectUuid"), QStringLiteral("clips")}) {
            if (object.contains(analysed)) {
                reader.fail(tr("\"%1\" needs \"showReadTime\"; leave both out to analyse the "
                               "show file")
                                .arg(analysed));
            }
        }
        controllerTemplate->setShowFile(showFile);
        // The paths given are the operator's choices and hold over those the
        // show records.
        MediaPaths analysed = controllerTemplate->mediaPaths();
        for (const auto &[key, path] : paths)
            analysed[key] = path;
        controllerTemplate->setMediaPaths(std::move(analysed));
        return controllerTemplate;
    }
    controllerTemplate->restoreShowFile(showFile);
    controllerTemplate->setMinimumFirmware(readFirmware(reader, object));
    controllerTemplate->setShowDeviceType(
        int(reader.integer(object, QStringLiteral("showDeviceType"), 0, 65535, 0)));
    controllerTemplate->setShowReadTime(reader.time(object, QStringLiteral("showReadTime")));
    const QJsonValue uuidValue = object.value(QStringLiteral("showProjectUuid"));
    if (!uuidValue.isUndefined() && !uuidValue.isNull()) {
        Reader::Step step(reader, QStringLiteral("showProjectUuid"));
        const QUuid uuid(uuidValue.toString());
        if (uuid.isNull())
            reader.fail(tr("must be a UUID such as \"{00112233-4455-6677-8899-aabbccddeeff}\", "
                           "or null"));
        controllerTemplate->setShowProjectUuid(uuid);
    }
    controllerTemplate->setFileMediaClips(readClips(reader, object));
    return controllerTemplate;
}

ControllerData readController(Reader &reader, const QJsonObject &object)
{
    reader.allowKeys(object, {QStringLiteral("id"), QStringLiteral("hostname"),
                              QStringLiteral("httpPort"), QStringLiteral("ftpPort"),
                              QStringLiteral("password"), QStringLiteral("scheduledUpload")});
    ControllerData data;
    data.id = reader.id(object);
    data.controller = std::make_unique<Controller>(std::make_shared<ControllerTemplate>());
    data.controller->restoreAddress(reader.text(object, QStringLiteral("hostname")),
                                    uint(reader.integer(object, QStringLiteral("httpPort"), 0,
                                                        65535, Controller::DefaultHttpPort)),
                                    uint(reader.integer(object, QStringLiteral("ftpPort"), 0, 65535,
                                                        Controller::DefaultFtpPort)));
    data.controller->setPassword(reader.password(object, QStringLiteral("password")));
    data.scheduled = reader.time(object, QStringLiteral("scheduledUpload"));
    return data;
}

InstallationData readInstallation(Reader &reader, const QJsonObject &object, qsizetype templates)
{
    reader.allowKeys(object,
                     {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("password"),
                      QStringLiteral("expanded"), QStringLiteral("controllers")});
    InstallationData data;
    data.id = reader.id(object);
    data.installation = std::make_unique<Installation>(QList<uint>());
    data.installation->restoreName(reader.text(object, QStringLiteral("name")));
    data.installation->setPassword(reader.password(object, QStringLiteral("password")));
    data.expanded = reader.boolean(object, QStringLiteral("expanded"));
    if (!object.contains(QStringLiteral("controllers"))) {
        for (qsizetype i = 0; i < templates && reader.countController(); ++i)
            data.controllers.push_back(
                {std::nullopt, std::make_unique<Controller>(std::make_shared<ControllerTemplate>()),
                 QDateTime()});
        return data;
    }
    const QJsonArray controllers = reader.array(object, QStringLiteral("controllers"));
    Reader::Step step(reader, QStringLiteral("controllers"));
    if (controllers.size() != templates) {
        reader.fail(tr("lists %1 controllers but the group's template has %2 controller "
                       "templates")
                        .arg(controllers.size())
                        .arg(templates));
        return data;
    }
    for (qsizetype i = 0; i < controllers.size() && !reader.failed() && reader.countController();
         ++i) {
        Reader::Step controllerStep(reader, Reader::index(i));
        data.controllers.push_back(readController(reader, reader.object(controllers.at(i))));
    }
    return data;
}

GroupData readGroup(Reader &reader, const QJsonObject &object)
{
    reader.allowKeys(object,
                     {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("password"),
                      QStringLiteral("expanded"), QStringLiteral("controllerTemplates"),
                      QStringLiteral("installations")});
    GroupData data;
    data.id = reader.id(object);
    data.group = std::make_unique<InstallationGroup>();
    InstallationTemplate &installationTemplate = *data.group->installationTemplate();
    installationTemplate.setName(reader.text(object, QStringLiteral("name")));
    data.group->setPassword(reader.password(object, QStringLiteral("password")));
    data.expanded = reader.boolean(object, QStringLiteral("expanded"));

    const QJsonArray templates = reader.array(object, QStringLiteral("controllerTemplates"));
    {
        Reader::Step step(reader, QStringLiteral("controllerTemplates"));
        if (templates.size() > LumDocument::TableMaximum)
            reader.fail(tr("a template of more than %1 controllers cannot be built")
                            .arg(LumDocument::TableMaximum));
        for (qsizetype i = 0; i < templates.size() && !reader.failed(); ++i) {
            Reader::Step templateStep(reader, Reader::index(i));
            installationTemplate.appendControllerTemplate(
                readControllerTemplate(reader, reader.object(templates.at(i))));
        }
    }
    const QJsonArray installations = reader.array(object, QStringLiteral("installations"));
    Reader::Step step(reader, QStringLiteral("installations"));
    for (qsizetype i = 0;
         i < installations.size() && !reader.failed() && reader.countInstallation(); ++i) {
        Reader::Step installationStep(reader, Reader::index(i));
        data.installations.push_back(
            readInstallation(reader, reader.object(installations.at(i)), templates.size()));
    }
    return data;
}

MailSettings readMail(Reader &reader, const QJsonObject &object)
{
    reader.allowKeys(object,
                     {QStringLiteral("enabled"), QStringLiteral("sendForManualUploads"),
                      QStringLiteral("server"), QStringLiteral("port"), QStringLiteral("username"),
                      QStringLiteral("password"), QStringLiteral("recipients")});
    MailSettings mail;
    mail.enabled = reader.boolean(object, QStringLiteral("enabled"));
    mail.sendForManualUploads = reader.boolean(object, QStringLiteral("sendForManualUploads"));
    mail.server = reader.text(object, QStringLiteral("server"));
    mail.port = quint16(
        reader.integer(object, QStringLiteral("port"), 0, 65535, MailSettings::DefaultPort));
    mail.username = reader.text(object, QStringLiteral("username"));
    mail.password = reader.password(object, QStringLiteral("password"));
    const QJsonArray recipients = reader.array(object, QStringLiteral("recipients"));
    Reader::Step step(reader, QStringLiteral("recipients"));
    for (qsizetype i = 0; i < recipients.size() && !reader.failed(); ++i) {
        Reader::Step recipientStep(reader, Reader::index(i));
        if (!recipients.at(i).isString())
            reader.fail(tr("must be a text"));
        mail.recipients.append(recipients.at(i).toString());
    }
    return mail;
}

void readWidths(Reader &reader, const QJsonObject &object, LumDocument::ColumnWidths &widths)
{
    for (auto entry = object.begin(); entry != object.end() && !reader.failed(); ++entry) {
        Reader::Step step(reader, entry.key());
        bool isNumber = false;
        const int column = entry.key().toInt(&isNumber);
        if (!isNumber)
            reader.fail(tr("a column is named by its number"));
        widths[column] = int(reader.integerValue(entry.value(), INT_MIN, INT_MAX));
    }
}

// Identifiers given must be distinct: the tables cannot hold two elements
// under one identifier.
template <typename Data>
bool checkIds(Reader &reader, const std::vector<Data *> &all, const char *kind)
{
    std::set<uint> seen;
    for (const Data *each : all) {
        if (each->id && !seen.insert(*each->id).second) {
            reader.fail(
                tr("the %1 identifier %2 is given twice").arg(QLatin1String(kind)).arg(*each->id));
            return false;
        }
    }
    if (all.size() > LumDocument::TableMaximum) {
        reader.fail(tr("a project holds at most %1 %2s, this one %3")
                        .arg(LumDocument::TableMaximum)
                        .arg(QLatin1String(kind))
                        .arg(all.size()));
        return false;
    }
    return true;
}

// Puts the elements into the table: those with identifiers first, so that
// a chosen identifier never takes one that is given later.
template <typename T, typename Data, typename Take>
void insertAll(SortVector<T> &table, const std::vector<Data *> &all, Take take)
{
    for (const bool withId : {true, false}) {
        for (Data *each : all) {
            if (each->id.has_value() == withId) {
                const uint given =
                    table.insert(take(*each), each->id.value_or(SortVectorBase::NoId));
                LUM_ASSERT(given != SortVectorBase::NoId);
                each->id = given;
            }
        }
    }
}

} // namespace

QJsonObject ProjectJson::toJson(const LumDocument &document)
{
    const UploadSchedule &schedule = document.uploadSchedule();
    QJsonArray groups;
    for (const InstallationGroup *group : document.groups()) {
        QJsonArray templates;
        for (const ControllerTemplatePtr &controllerTemplate :
             group->installationTemplate()->controllerTemplates())
            templates.append(templateJson(*controllerTemplate));
        QJsonArray installations;
        for (const uint installationId : group->installationIds()) {
            const Installation *installation = document.installation(installationId);
            QJsonArray controllers;
            for (const uint controllerId : installation->controllerIds()) {
                const Controller *controller = document.controller(controllerId);
                QJsonObject controllerObject{
                    {QStringLiteral("id"), int(controllerId)},
                    {QStringLiteral("hostname"), controller->hostname()},
                    {QStringLiteral("httpPort"), qint64(controller->httpPort())},
                    {QStringLiteral("ftpPort"), qint64(controller->ftpPort())},
                    {QStringLiteral("password"), !controller->password().isEmpty()}};
                if (schedule.isScheduled(controllerId))
                    controllerObject.insert(QStringLiteral("scheduledUpload"),
                                            timeValue(schedule.scheduledTime(controllerId)));
                controllers.append(controllerObject);
            }
            installations.append(QJsonObject{
                {QStringLiteral("id"), int(installationId)},
                {QStringLiteral("name"), installation->storedName()},
                {QStringLiteral("password"), !installation->password().isEmpty()},
                {QStringLiteral("expanded"), document.isInstallationExpanded(installationId)},
                {QStringLiteral("controllers"), controllers}});
        }
        groups.append(
            QJsonObject{{QStringLiteral("id"), int(group->getId())},
                        {QStringLiteral("name"), group->installationTemplate()->name()},
                        {QStringLiteral("password"), !group->password().isEmpty()},
                        {QStringLiteral("expanded"), document.isGroupExpanded(group->getId())},
                        {QStringLiteral("controllerTemplates"), templates},
                        {QStringLiteral("installations"), installations}});
    }
    const MailSettings &mail = document.mailSettings();
    return QJsonObject{
        {QStringLiteral("rigwardenProject"), FormatVersion},
        {QStringLiteral("masterPassword"), !document.masterPassword().isEmpty()},
        {QStringLiteral("groups"), groups},
        {QStringLiteral("mail"),
         QJsonObject{{QStringLiteral("enabled"), mail.enabled},
                     {QStringLiteral("sendForManualUploads"), mail.sendForManualUploads},
                     {QStringLiteral("server"), mail.server},
                     {QStringLiteral("port"), mail.port},
                     {QStringLiteral("username"), mail.username},
                     {QStringLiteral("password"), !mail.password.isEmpty()},
                     {QStringLiteral("recipients"), QJsonArray::fromStringList(mail.recipients)}}},
        {QStringLiteral("columnWidths"),
         QJsonObject{
             {QStringLiteral("main"), widthsJson(document.columnWidths(LumDocument::Table_MAIN))},
             {QStringLiteral("password"),
              widthsJson(document.columnWidths(LumDocument::Table_PASSWORD))}}}};
}

bool ProjectJson::fromJson(const QJsonObject &json, LumDocument &document, QString *errorText)
{
    document.reset();
    Reader reader;
    reader.allowKeys(json, {QStringLiteral("rigwardenProject"), QStringLiteral("masterPassword"),
                            QStringLiteral("groups"), QStringLiteral("mail"),
                            QStringLiteral("columnWidths")});
    if (json.value(QStringLiteral("rigwardenProject")) != QJsonValue(FormatVersion))
        reader.fail(tr("not a Rigwarden project description (\"rigwardenProject\": %1 is missing)")
                        .arg(FormatVersion));

    std::vector<GroupData> groups;
    const QJsonArray groupArray = reader.array(json, QStringLiteral("groups"));
    {
        Reader::Step step(reader, QStringLiteral("groups"));
        for (qsizetype i = 0; i < groupArray.size() && !reader.failed(); ++i) {
            if (i >= qsizetype(LumDocument::TableMaximum)) {
                reader.fail(tr("a project holds at most %1 installation groups")
                                .arg(LumDocument::TableMaximum));
                break;
            }
            Reader::Step groupStep(reader, Reader::index(i));
            groups.push_back(readGroup(reader, reader.object(groupArray.at(i))));
        }
    }
    const QString masterPassword = reader.password(json, QStringLiteral("masterPassword"));
    MailSettings mail;
    LumDocument::ColumnWidths mainWidths;
    LumDocument::ColumnWidths passwordWidths;
    {
        Reader::Step step(reader, QStringLiteral("mail"));
        mail = readMail(reader, reader.object(json.value(QStringLiteral("mail"))));
    }
    {
        Reader::Step step(reader, QStringLiteral("columnWidths"));
        const QJsonObject widths = reader.object(json.value(QStringLiteral("columnWidths")));
        reader.allowKeys(widths, {QStringLiteral("main"), QStringLiteral("password")});
        {
            Reader::Step mainStep(reader, QStringLiteral("main"));
            readWidths(reader, reader.object(widths.value(QStringLiteral("main"))), mainWidths);
        }
        Reader::Step passwordStep(reader, QStringLiteral("password"));
        readWidths(reader, reader.object(widths.value(QStringLiteral("password"))), passwordWidths);
    }

    std::vector<GroupData *> allGroups;
    std::vector<InstallationData *> allInstallations;
    std::vector<ControllerData *> allControllers;
    for (GroupData &group : groups) {
        allGroups.push_back(&group);
        for (InstallationData &installation : group.installations) {
            allInstallations.push_back(&installation);
            for (ControllerData &controller : installation.controllers)
                allControllers.push_back(&controller);
        }
    }
    if (reader.failed() || !checkIds(reader, allGroups, "installation group") ||
        !checkIds(reader, allInstallations, "installation") ||
        !checkIds(reader, allControllers, "controller")) {
        if (errorText)
            *errorText = reader.error;
        return false;
    }

    // Into the tables, then the references between them.
    insertAll(document.m_installationGroups, allGroups,
              [](GroupData &data) { return std::move(data.group); });
    insertAll(document.m_installations, allInstallations,
              [](InstallationData &data) { return std::move(data.installation); });
    insertAll(document.m_controllers, allControllers,
              [](ControllerData &data) { return std::move(data.controller); });
    for (const GroupData &group : groups) {
        QList<uint> installationIds;
        for (const InstallationData &installation : group.installations) {
            QList<uint> controllerIds;
            for (const ControllerData &controller : installation.controllers) {
                controllerIds.append(*controller.id);
                document.controller(*controller.id)->setInstallationId(*installation.id);
                if (controller.scheduled.isValid())
                    document.m_uploadSchedule.schedule(*controller.id, controller.scheduled);
            }
            Installation *target = document.installation(*installation.id);
            target->setGroupId(*group.id);
            target->setControllerIds(controllerIds);
            installationIds.append(*installation.id);
            if (installation.expanded)
                document.m_expandedInstallations.insert(*installation.id);
        }
        document.group(*group.id)->setInstallationIds(installationIds);
        if (group.expanded)
            document.m_expandedGroups.insert(*group.id);
    }
    for (InstallationGroup *group : document.m_installationGroups)
        document.applyTemplate(*group, true);
    document.m_masterPassword = masterPassword;
    document.m_mailSettings = mail;
    document.m_mainWidths.insert(mainWidths);
    document.m_passwordWidths.insert(passwordWidths);
    return true;
}
