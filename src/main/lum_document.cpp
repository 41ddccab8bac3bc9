#include "lum_document.h"

#include "lum_assert.h"
#include "media_transcoder.h"
#include "password_cipher.h"
#include "set_password_command.h"
#include "smtp_authenicator.h"
#include "streamer.h"
#include "unattended_prompts.h"
#include "upload_feedback.h"

#include <QFileInfo>
#include <QPointer>
#include <QUndoStack>

namespace {

const LumDocument::ColumnWidths &defaultMainWidths()
{
    static const LumDocument::ColumnWidths widths{{0, 200}, {1, 50}, {2, 80}, {3, 80},
                                                  {4, 80},  {5, 50}, {6, 200}};
    return widths;
}

const LumDocument::ColumnWidths &defaultPasswordWidths()
{
    static const LumDocument::ColumnWidths widths{{0, 200}, {1, 200}};
    return widths;
}

// An upload under way: started and not yet ended in any way.
bool isUploadActive(UploadState state)
{
    switch (state) {
    case UploadState_None:
    case UploadState_AttemptError:
    case UploadState_Error:
    case UploadState_Cancelled:
    case UploadState_Complete:
        return false;
    default:
        return true;
    }
}

UnattendedPrompts &defaultPrompts()
{
    static UnattendedPrompts prompts;
    return prompts;
}

} // namespace

LumDocument::LumDocument(QObject *parent)
    : QObject(parent), m_installationGroups(TableStep, TableMaximum),
      m_installations(TableStep, TableMaximum), m_controllers(TableStep, TableMaximum),
      m_undoStack(new QUndoStack(this)), m_uploadFeedback(new UploadFeedback(this))
{
    connect(m_undoStack, &QUndoStack::cleanChanged, this, &LumDocument::updateClean);
    reset();
}

LumDocument::~LumDocument()
{
    // Commands in the undo history may hold removed entities; they go first,
    // while the tables they would refer to still exist.
    m_undoStack->clear();
}

void LumDocument::setPrompts(DocumentPrompts *prompts)
{
    m_prompts = prompts;
}

DocumentPrompts *LumDocument::prompts() const
{
    return m_prompts ? m_prompts : &defaultPrompts();
}

// --- Access -------------------------------------------------------------------

InstallationGroup *LumDocument::group(uint id) const
{
    const Groups &installationGroups = m_installationGroups;
    LUM_ASSERT(installationGroups.exists(id));
    return installationGroups.at(id);
}

Installation *LumDocument::installation(uint id) const
{
    const Installations &installations = m_installations;
    LUM_ASSERT(installations.exists(id));
    return installations.at(id);
}

Controller *LumDocument::controller(uint id) const
{
    const Controllers &controllers = m_controllers;
    LUM_ASSERT(controllers.exists(id));
    return controllers.at(id);
}

QList<uint> LumDocument::groupControllerIds(uint groupId) const
{
    QList<uint> controllerIds;
    for (const uint installationId : group(groupId)->installationIds())
        controllerIds += installation(installationId)->controllerIds();
    return controllerIds;
}

// --- Structural operations ----------------------------------------------------------

uint LumDocument::insertGroup(std::unique_ptr<InstallationGroup> group, uint id)
{
    const Groups &installationGroups = m_installationGroups;
    LUM_ASSERT(!installationGroups.exists(id));
    const uint given = m_installationGroups.insert(std::move(group), id);
    LUM_ASSERT(given != NoId);
    return given;
}

uint LumDocument::insertInstallation(std::unique_ptr<Installation> installation, uint id)
{
    const Installations &installations = m_installations;
    LUM_ASSERT(!installations.exists(id));
    Installation *inserted = installation.get();
    const uint given = m_installations.insert(std::move(installation), id);
    LUM_ASSERT(given != NoId);
    if (groupExists(inserted->groupId()))
        group(inserted->groupId())->appendInstallationId(given);
    return given;
}

uint LumDocument::insertController(std::unique_ptr<Controller> controller, uint id)
{
    const Controllers &controllers = m_controllers;
    LUM_ASSERT(!controllers.exists(id));
    Controller *inserted = controller.get();
    const uint given = m_controllers.insert(std::move(controller), id);
    LUM_ASSERT(given != NoId);
    inserted->discover();
    return given;
}

bool LumDocument::hasRoomForGroup(QString *reason) const
{
    if (m_installationGroups.freeCount() > 0)
        return true;
    if (reason)
        *reason = tr("The project already holds %1 installation groups, the most it can hold.")
                      .arg(TableMaximum);
    return false;
}

bool LumDocument::hasRoomForInstallations(uint groupId, uint count, QString *reason) const
{
    const uint perInstallation =
        uint(group(groupId)->installationTemplate()->controllerTemplates().size());
    const quint64 controllersNeeded = quint64(perInstallation) * count;
    if (count <= m_installations.freeCount() && controllersNeeded <= m_controllers.freeCount())
        return true;
    if (reason) {
        if (count > m_installations.freeCount())
            *reason = tr("Cannot add %1 installations: the project has room for %2 more "
                         "(it holds at most %3).")
                          .arg(count)
                          .arg(m_installations.freeCount())
                          .arg(TableMaximum);
        else
            *reason = tr("Cannot add %1 installations of %2 controllers each: they need %3 "
                         "controllers but the project has room for %4 more (it holds at most %5).")
                          .arg(count)
                          .arg(perInstallation)
                          .arg(controllersNeeded)
                          .arg(m_controllers.freeCount())
                          .arg(TableMaximum);
    }
    return false;
}

uint LumDocument::addGroup(const InstallationTemplate &source)
{
    if (!hasRoomForGroup())
        return NoId;
    return m_installationGroups.insert(std::make_unique<InstallationGroup>(source));
}

uint LumDocument::addInstallation(uint groupId)
{
    if (!hasRoomForInstallations(groupId, 1))
        return NoId;
    InstallationGroup *owner = group(groupId);
    QList<uint> controllerIds;
    for (const ControllerTemplatePtr &controllerTemplate :
         owner->installationTemplate()->controllerTemplates()) {
        const uint controllerId =
            m_controllers.insert(std::make_unique<Controller>(controllerTemplate));
        LUM_ASSERT(controllerId != NoId);
        controllerIds.append(controllerId);
    }
    const uint installationId =
        m_installations.insert(std::make_unique<Installation>(controllerIds));
    LUM_ASSERT(installationId != NoId);

    installation(installationId)->setGroupId(groupId);
    owner->appendInstallationId(installationId);
    for (const uint controllerId : controllerIds)
        controller(controllerId)->setInstallationId(installationId);
    m_expandedInstallations.insert(installationId);
    return installationId;
}

std::unique_ptr<InstallationGroup> LumDocument::removeGroup(uint id)
{
    group(id);
    m_expandedGroups.erase(id);
    return m_installationGroups.remove(id);
}

std::unique_ptr<Installation> LumDocument::removeInstallation(uint id)
{
    const uint groupId = installation(id)->groupId();
    if (groupExists(groupId))
        group(groupId)->removeInstallationId(id);
    m_expandedInstallations.erase(id);
    return m_installations.remove(id);
}

std::unique_ptr<Controller> LumDocument::removeController(uint id)
{
    Controller *removed = controller(id);
    removed->cancelUpload();
    removed->undiscover();
    return m_controllers.remove(id);
}

void LumDocument::setInstallationTemplate(uint groupId,
                                          const InstallationTemplatePtr &installationTemplate)
{
    const Groups &installationGroups = m_installationGroups;
    LUM_ASSERT(installationGroups.exists(groupId));
    InstallationGroup *owner = installationGroups.at(groupId);
    owner->setInstallationTemplate(installationTemplate);
    applyTemplate(*owner, false);
    requestConversions(*installationTemplate);
}

// The i-th controller of each installation takes the i-th controller
// template. After loading the controllers only take it; after an edit they
// may have to be discovered again (another hardware type).
void LumDocument::applyTemplate(InstallationGroup &owner, bool takeOnly)
{
    const InstallationTemplate::ControllerTemplates &controllerTemplates =
        owner.installationTemplate()->controllerTemplates();
    for (const uint installationId : owner.installationIds()) {
        const QList<uint> &controllerIds = installation(installationId)->controllerIds();
        LUM_ASSERT(controllerIds.size() == controllerTemplates.size());
        for (qsizetype i = 0; i < controllerIds.size(); ++i)
            controller(controllerIds.at(i))->setTemplate(controllerTemplates.at(i), !takeOnly);
    }
}

void LumDocument::setGroupExpanded(uint id, bool expanded)
{
    if (expanded)
        m_expandedGroups.insert(id);
    else
        m_expandedGroups.erase(id);
}

bool LumDocument::isGroupExpanded(uint id) const
{
    return m_expandedGroups.count(id) != 0;
}

void LumDocument::setInstallationExpanded(uint id, bool expanded)
{
    if (expanded)
        m_expandedInstallations.insert(id);
    else
        m_expandedInstallations.erase(id);
}

bool LumDocument::isInstallationExpanded(uint id) const
{
    return m_expandedInstallations.count(id) != 0;
}

int LumDocument::columnWidth(Table table, int column) const
{
    return columnWidths(table).value(column, 0);
}

void LumDocument::setColumnWidth(Table table, int column, int width)
{
    LUM_ASSERT((table == Table_MAIN) || (table == Table_PASSWORD));
    (table == Table_MAIN ? m_mainWidths : m_passwordWidths)[column] = width;
}

const LumDocument::ColumnWidths &LumDocument::columnWidths(Table table) const
{
    LUM_ASSERT((table == Table_MAIN) || (table == Table_PASSWORD));
    return table == Table_MAIN ? m_mainWidths : m_passwordWidths;
}

// --- Checks and bulk operations ---------------------------------------------------------

bool LumDocument::isHostUnique(const QString &hostname, uint httpPort)
{
    if (hostname.isEmpty())
        return true;
    for (const Controller *other : m_controllers) {
        if (other->hostname() == hostname && other->httpPort() == httpPort) {
            prompts()->warn(
                tr("Duplicate Host"),
                tr("The host, %1:%2, is used by another controller.").arg(hostname).arg(httpPort));
            return false;
        }
    }
    return true;
}

bool LumDocument::confirmRemoval(const IdSet &installationIds)
{
    if (installationIds.empty())
        return false;
    IdSet uploading;
    for (const uint installationId : installationIds) {
        for (const uint controllerId : installation(installationId)->controllerIds()) {
            if (isUploadActive(m_uploadFeedback->state(controllerId)))
                uploading.insert(controllerId);
        }
    }
    if (uploading.empty())
        return true;
    if (!prompts()->askYesNo(tr("Cancel uploads"),
                             tr("Some of the selected controllers are currently uploading.\n"
                                "Removing them will cancel the uploads.\n"
                                "Do you wish to continue?")))
        return false;
    cancelUploads(uploading);
    return true;
}

void LumDocument::cancelUploads(const IdSet &controllerIds)
{
    if (controllerIds.empty()) {
        for (Controller *each : m_controllers)
            each->cancelUpload();
        return;
    }
    for (const uint controllerId : controllerIds)
        controller(controllerId)->cancelUpload();
}

bool LumDocument::allIdle(const IdSet &controllerIds) const
{
    if (controllerIds.empty()) {
        for (const Controller *each : m_controllers) {
            if (isUploadActive(m_uploadFeedback->state(each->getId())))
                return false;
        }
        return true;
    }
    for (const uint controllerId : controllerIds) {
        if (isUploadActive(m_uploadFeedback->state(controllerId)))
            return false;
    }
    return true;
}

void LumDocument::discoverAll()
{
    for (Controller *each : m_controllers)
        each->discover();
}

QString LumDocument::controllerPassword(uint controllerId, bool reask, bool prompt)
{
    if (!prompt && reask)
        return QString();
    Controller *target = controller(controllerId);
    QString candidate = target->password();
    if (candidate.isEmpty() && installationExists(target->installationId())) {
        const Installation *owner = installation(target->installationId());
        candidate = owner->password();
        if (candidate.isEmpty() && groupExists(owner->groupId()))
            candidate = group(owner->groupId())->password();
    }
    // A null text means "no password can be had"; an entity without a password
    // gives an empty one, which is still sent.
    if (candidate.isNull())
        candidate = QString::fromLatin1("");
    if (!reask && !candidate.isEmpty())
        return candidate;
    if (!prompt)
        return candidate;

    const QPointer<Controller> asking(target);
    const std::optional<QString> answer = prompts()->askPassword(
        tr("The controller %1 requires a password before allowing uploads").arg(target->hostname()),
        candidate);
    // The dialog runs the event loop: the controller may have gone meanwhile
    // (removed, or the project closed), and its identifier be another's.
    if (!asking || !controllerExists(controllerId) || controller(controllerId) != asking)
        return QString();
    // After a refusal, giving up must end the login: answering with the
    // refused password again would go round for ever.
    if (!answer)
        return reask ? QString() : candidate;
    if (*answer == candidate)
        return candidate;
    m_undoStack->push(
        new SetPasswordCommand(SetPasswordCommand::Kind_Controller, controllerId, *answer));
    return *answer;
}

void LumDocument::resetPasswords(bool includingMaster)
{
    for (InstallationGroup *each : m_installationGroups)
        each->setPassword(QString());
    for (Installation *each : m_installations)
        each->setPassword(QString());
    for (Controller *each : m_controllers)
        each->setPassword(QString());
    if (includingMaster)
        setMasterPassword(QString());
}

bool LumDocument::hasEntityPasswords() const
{
    for (const InstallationGroup *each : m_installationGroups) {
        if (!each->password().isEmpty())
            return true;
    }
    for (const Installation *each : m_installations) {
        if (!each->password().isEmpty())
            return true;
    }
    for (const Controller *each : m_controllers) {
        if (!each->password().isEmpty())
            return true;
    }
    return false;
}

IdSet LumDocument::reanalyseChangedShowFiles()
{
    return reanalyseShowFiles(false);
}

IdSet LumDocument::reanalyseIdleChangedShowFiles()
{
    return reanalyseShowFiles(true);
}

bool LumDocument::anyUploadUnderWay(const InstallationGroup &group, qsizetype templateIndex) const
{
    for (const uint installationId : group.installationIds()) {
        const uint controllerId = installation(installationId)->controllerIds().at(templateIndex);
        if (controller(controllerId)->isUploadUnderWay())
            return true;
    }
    return false;
}

IdSet LumDocument::reanalyseShowFiles(bool skipBusy)
{
    IdSet affected;
    for (InstallationGroup *each : m_installationGroups) {
        const InstallationTemplate::ControllerTemplates &controllerTemplates =
            each->installationTemplate()->controllerTemplates();
        for (qsizetype i = 0; i < controllerTemplates.size(); ++i) {
            ControllerTemplate &controllerTemplate = *controllerTemplates.at(i);
            const QString showFile = controllerTemplate.showFile();
            const bool missing = !showFile.isEmpty() && !QFileInfo::exists(showFile);
            if (!missing && !controllerTemplate.showFileModified())
                continue;
            if (skipBusy && anyUploadUnderWay(*each, i))
                continue;
            if (!missing) {
                // The show may name media that nothing has converted yet.
                controllerTemplate.analyseShowFile();
                requestConversions(controllerTemplate);
            }
            for (const uint installationId : each->installationIds()) {
                const uint controllerId = installation(installationId)->controllerIds().at(i);
                if (missing) {
                    controller(controllerId)->rebuildFilesToUpload();
                } else {
                    controller(controllerId)->setTemplate(controllerTemplates.at(i), false);
                    affected.insert(controllerId);
                }
            }
        }
    }
    return affected;
}

void LumDocument::requestMediaConversions()
{
    for (const InstallationGroup *each : m_installationGroups)
        requestConversions(*each->installationTemplate());
}

void LumDocument::requestConversions(const InstallationTemplate &installationTemplate) const
{
    for (const ControllerTemplatePtr &controllerTemplate :
         installationTemplate.controllerTemplates())
        requestConversions(*controllerTemplate);
}

void LumDocument::requestConversions(const ControllerTemplate &controllerTemplate) const
{
    MediaTranscoder *transcoder = MediaTranscoder::instance();
    if (!transcoder)
        return;
    for (const auto &[number, clip] : controllerTemplate.fileMediaClips()) {
        for (const MediaType type : {MediaType_Video, MediaType_Audio}) {
            if (!clip.hasFile(type))
                continue;
            const QString source = controllerTemplate.mediaPath(number, type);
            if (!source.isEmpty())
                transcoder->transcode(source, type);
        }
    }
}

// --- Settings ---------------------------------------------------------------------------

void LumDocument::setMasterPassword(const QString &enciphered)
{
    if (enciphered == m_masterPassword)
        return;
    m_masterPassword = enciphered;
    m_masterPasswordChanged = true;
    updateClean();
}

bool LumDocument::isClean() const
{
    return m_undoStack->isClean() && !m_masterPasswordChanged;
}

void LumDocument::updateClean()
{
    const bool clean = isClean();
    if (clean == m_lastClean)
        return;
    m_lastClean = clean;
    emit cleanChanged(clean);
}

void LumDocument::handleSmtpAuthenticationRequest(SmtpAuthenicator *authenticator)
{
    authenticator->setUsername(m_mailSettings.username);
    authenticator->setPassword(PasswordCipher::decode(m_mailSettings.password));
}

// --- The project file -----------------------------------------------------------------

bool LumDocument::save(QString *errorText)
{
    const QString &path = m_path;
    LUM_ASSERT(!path.isNull());
    Streamer streamer;
    if (!streamer.open(Streamer::Mode_WRITE, path)) {
        if (errorText)
            *errorText = streamer.errorString();
        return false;
    }
    writeSections(streamer);
    if (!streamer.commit()) {
        if (errorText)
            *errorText = streamer.errorString();
        return false;
    }
    m_masterPasswordChanged = false;
    m_undoStack->setClean();
    updateClean();
    return true;
}

bool LumDocument::saveAs(const QString &path, QString *errorText)
{
    const QString previous = m_path;
    m_path = path;
    if (save(errorText))
        return true;
    m_path = previous;
    return false;
}

bool LumDocument::load(const QString &path, QString *errorText)
{
    reset();
    Streamer streamer;
    QString reason;
    if (!streamer.open(Streamer::Mode_READ, path))
        reason = streamer.errorString();
    else if (!readSections(streamer))
        reason = streamer.errorString().isEmpty()
                     ? tr("the file ends before the project is complete")
                     : streamer.errorString();
    if (!reason.isEmpty()) {
        reset();
        if (errorText)
            *errorText = reason;
        return false;
    }
    m_path = path;
    requestMediaConversions();
    return true;
}

void LumDocument::writeSections(Streamer &streamer) const
{
    streamer.stream() << qint32(m_installationGroups.count());
    for (const InstallationGroup *each : m_installationGroups) {
        streamer.stream() << qint32(each->getId());
        streamer.writeGroup(*each);
    }
    streamer.stream() << qint32(m_installations.count());
    for (const Installation *each : m_installations) {
        streamer.stream() << qint32(each->getId());
        streamer.writeInstallation(*each);
    }
    streamer.stream() << qint32(m_controllers.count());
    for (const Controller *each : m_controllers) {
        streamer.stream() << qint32(each->getId());
        streamer.writeController(*each);
    }
    streamer.stream() << m_masterPassword;
    streamer.writeSchedule(m_uploadSchedule);
    streamer.writeMailSettings(m_mailSettings);
    streamer.writeColumnWidths(m_mainWidths);
    streamer.writeIdSet(m_expandedGroups);
    streamer.writeIdSet(m_expandedInstallations);
    streamer.writeColumnWidths(m_passwordWidths);
}

namespace {

// Puts an element read from a file into its table under its stored
// identifier. One the table cannot take (beyond the table's identifiers, or
// already taken) is dropped; the reference check then decides whether the
// project holds together without it.
template <typename T>
void insertRead(SortVector<T> &table, std::unique_ptr<T> element, uint id)
{
    if (element && id < LumDocument::TableMaximum)
        table.insert(std::move(element), id);
}

template <typename T, typename Read>
void readTable(Streamer &streamer, SortVector<T> &table, const char *what, Read read)
{
    const qint32 count = streamer.readCount(Streamer::MaxTableCount, what);
    for (qint32 i = 0; i < count && streamer.isOk(); ++i) {
        const uint id = streamer.readId();
        insertRead(table, read(), id);
    }
}

} // namespace

bool LumDocument::readSections(Streamer &streamer)
{
    const int version = streamer.version();
    readTable(streamer, m_installationGroups, "installation group",
              [&streamer] { return streamer.readGroup(); });
    readTable(streamer, m_installations, "installation",
              [&streamer] { return streamer.readInstallation(); });
    readTable(streamer, m_controllers, "controller",
              [&streamer] { return streamer.readController(); });
    if (version >= 1)
        streamer.stream() >> m_masterPassword;
    if (!streamer.isOk())
        return false;
    const QString broken = brokenReference();
    if (!broken.isEmpty()) {
        streamer.setCorrupt(broken);
        return false;
    }
    for (InstallationGroup *each : m_installationGroups)
        applyTemplate(*each, true);

    if (!readScheduleSection(streamer))
        return false;
    if (version >= 3)
        streamer.readMailSettings(m_mailSettings);
    const Streamer::ColumnWidths mainWidths = streamer.readColumnWidths();
    m_expandedGroups = streamer.readIdSet();
    m_expandedInstallations = streamer.readIdSet();
    const Streamer::ColumnWidths passwordWidths =
        version >= 1 ? streamer.readColumnWidths() : Streamer::ColumnWidths();
    // A stored map replaces the defaults only for the columns it lists.
    m_mainWidths.insert(mainWidths);
    m_passwordWidths.insert(passwordWidths);
    return streamer.isOk();
}

// Version 4 and later store the schedule itself; versions 2 and 3 one time
// for a set of controllers, taken only while that time is still ahead;
// versions 0 and 1 a superseded form that is ignored.
bool LumDocument::readScheduleSection(Streamer &streamer)
{
    // Read into the document's own schedule: assigning one would drop the
    // times that have passed, which the application still has to upload.
    if (streamer.version() >= 4) {
        streamer.readSchedule(m_uploadSchedule);
    } else {
        const auto [time, controllerIds] = streamer.readOldSchedule();
        if (time.isValid() && time > QDateTime::currentDateTime()) {
            for (const uint controllerId : controllerIds)
                m_uploadSchedule.schedule(controllerId, time);
        }
    }
    if (!streamer.isOk())
        return false;
    // An upload of a controller that does not exist could never start.
    UploadSchedule remaining(m_uploadSchedule);
    while (!remaining.isEmpty()) {
        for (const uint controllerId : remaining.takeNext()) {
            if (!controllerExists(controllerId)) {
                streamer.setCorrupt(
                    tr("the upload schedule names controller %1, which the file does not hold")
                        .arg(controllerId));
                return false;
            }
        }
    }
    return true;
}

// Why the tables do not hold together, or an empty text when they do:
// every installation is listed by exactly the group it names, every
// controller by exactly the installation it names, and each installation has
// one controller per controller template of its group.
QString LumDocument::brokenReference() const
{
    IdSet listedInstallations;
    for (const InstallationGroup *each : m_installationGroups) {
        const uint groupId = each->getId();
        const qsizetype templateCount = each->installationTemplate()->controllerTemplates().size();
        for (const uint installationId : each->installationIds()) {
            if (!installationExists(installationId))
                return tr("installation group %1 lists installation %2, which the file does "
                          "not hold")
                    .arg(groupId)
                    .arg(installationId);
            const Installation *member = installation(installationId);
            if (member->groupId() != groupId || !listedInstallations.insert(installationId).second)
                return tr("installation %1 is not listed by its group alone").arg(installationId);
            if (member->controllerIds().size() != templateCount)
                return tr("installation %1 has %2 controllers but the template of its group "
                          "has %3")
                    .arg(installationId)
                    .arg(member->controllerIds().size())
                    .arg(templateCount);
        }
    }
    if (listedInstallations.size() != m_installations.count())
        return tr("an installation belongs to no installation group");

    IdSet listedControllers;
    for (const Installation *each : m_installations) {
        for (const uint controllerId : each->controllerIds()) {
            if (!controllerExists(controllerId))
                return tr("installation %1 lists controller %2, which the file does not hold")
                    .arg(each->getId())
                    .arg(controllerId);
            if (controller(controllerId)->installationId() != each->getId() ||
                !listedControllers.insert(controllerId).second)
                return tr("controller %1 is not listed by its installation alone")
                    .arg(controllerId);
        }
    }
    if (listedControllers.size() != m_controllers.count())
        return tr("a controller belongs to no installation");
    return QString();
}

void LumDocument::reset()
{
    emit aboutToReset();
    // The history first: its commands may hold entities removed from the tables.
    m_undoStack->clear();
    m_controllers.clear();
    m_installations.clear();
    m_installationGroups.clear();
    m_masterPassword.clear();
    m_uploadSchedule.clear();
    m_mailSettings = MailSettings();
    m_expandedGroups.clear();
    m_expandedInstallations.clear();
    m_mainWidths = defaultMainWidths();
    m_passwordWidths = defaultPasswordWidths();
    m_masterPasswordChanged = false;
    m_path = QString();
    m_uploadFeedback->clear();
    updateClean();
}
