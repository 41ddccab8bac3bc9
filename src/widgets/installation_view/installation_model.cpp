#include "installation_model.h"

#include "installation_item.h"
#include "lum_application.h"
#include "lum_assert.h"
#include "lum_document.h"
#include "media_transcoder.h"
#include "set_controller_ftp_port_command.h"
#include "set_controller_hostname_command.h"
#include "set_controller_http_port_command.h"
#include "set_installation_group_name_command.h"
#include "set_installation_name_command.h"
#include "upload_feedback.h"

#include <QBrush>
#include <QFileInfo>
#include <QUndoStack>

#include <algorithm>

namespace {
QStringList headers()
{
    return {InstallationModel::tr("Name"),
            InstallationModel::tr("Type"),
            InstallationModel::tr("Hostname"),
            InstallationModel::tr("HTTP Port"),
            InstallationModel::tr("FTP Port"),
            InstallationModel::tr("Online"),
            InstallationModel::tr("Next Upload"),
            InstallationModel::tr("Upload State"),
            QString()};
}

QString missingFile()
{
    return InstallationModel::tr("The referenced file doesn't exist");
}

bool exists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

QBrush stateColour(UploadState state)
{
    if (state == UploadState_AttemptError || state == UploadState_Error)
        return QBrush(Qt::red);
    if (state == UploadState_Complete)
        return QBrush(Qt::darkGreen);
    return {};
}

uint percent(quint64 sent, quint64 total)
{
    return uint(std::min<quint64>(100, sent * 100 / total));
}

// Column 8 read out as text: the percentage, or the message.
QVariant progressText(const QVariant &value)
{
    if (value.typeId() == QMetaType::UInt)
        return value.toUInt() == InstallationModel::NoProgress
                   ? QString()
                   : InstallationModel::tr("%1%").arg(value.toUInt());
    return value;
}
} // namespace

InstallationModel::InstallationModel(LumApplication *app, QObject *parent)
    : TreeModel(headers(), parent), m_app(app)
{
    m_progressTimer.setSingleShot(true);
    m_progressTimer.setInterval(ProgressFrameMsec);
    connect(&m_progressTimer, &QTimer::timeout, this, &InstallationModel::flushProgress);

    connect(app, &LumApplication::documentOpened, this, &InstallationModel::rebuild);
    connect(app, &LumApplication::documentClosed, this, &InstallationModel::clearRows);
    connect(app, &LumApplication::changeEvent, this, &InstallationModel::onChangeEvent);
    const UploadFeedback *feedback = document()->uploadFeedback();
    connect(feedback, qOverload<uint>(&UploadFeedback::stateChanged), this,
            qOverload<uint>(&InstallationModel::onUploadStateChanged));
    connect(feedback, &UploadFeedback::messageChanged, this,
            &InstallationModel::onUploadMessageChanged);
    connect(feedback, qOverload<uint, uint, MediaType>(&UploadFeedback::stateChanged), this,
            qOverload<uint, uint, MediaType>(&InstallationModel::onUploadStateChanged));
    connect(feedback, &UploadFeedback::progressChanged, this,
            &InstallationModel::onUploadProgressChanged);
    if (MediaTranscoder *transcoder = MediaTranscoder::instance()) {
        // A conversion that ends changes the colour and tool tip of its rows.
        connect(transcoder, &MediaTranscoder::transcodeComplete, this,
                &InstallationModel::refreshConvertedRows);
    }
}

LumDocument *InstallationModel::document() const
{
    return m_app->document();
}

quint64 InstallationModel::fileKey(uint controllerId, uint slot, MediaType mediaType)
{
    return quint64(controllerId) << 40 | quint64(slot) << 8 | quint64(mediaType & 0xff);
}

InstallationItem *InstallationModel::itemAt(const QModelIndex &index) const
{
    return static_cast<InstallationItem *>(itemFromIndex(index));
}

QModelIndex InstallationModel::groupIndex(uint groupId) const
{
    return indexFromItem(m_groups.value(groupId));
}

QModelIndex InstallationModel::installationIndex(uint installationId) const
{
    return indexFromItem(m_installations.value(installationId));
}

QModelIndex InstallationModel::controllerIndex(uint controllerId) const
{
    return indexFromItem(controllerItem(controllerId));
}

InstallationItem *InstallationModel::controllerItem(uint controllerId) const
{
    const ControllerRows *rows = controllerRows(controllerId);
    return rows ? rows->item : nullptr;
}

InstallationModel::ControllerRows *InstallationModel::controllerRows(uint controllerId)
{
    return controllerId < m_controllers.size() && m_controllers[controllerId].item
               ? &m_controllers[controllerId]
               : nullptr;
}

const InstallationModel::ControllerRows *InstallationModel::controllerRows(uint controllerId) const
{
    return const_cast<InstallationModel *>(this)->controllerRows(controllerId);
}

QModelIndex InstallationModel::fileIndex(uint controllerId, uint slot, MediaType mediaType) const
{
    return indexFromItem(m_files.value(fileKey(controllerId, slot, mediaType)));
}

void InstallationModel::refresh(const TreeItem *item, int firstColumn, int lastColumn)
{
    if (item)
        emit dataChanged(indexFromItem(item, firstColumn), indexFromItem(item, lastColumn));
}

// The names of every controller's video and audio rows, one range per
// controller: a fleet shares its media, and a change per row would have the
// views look up thousands of rows one by one.
void InstallationModel::refreshConvertedRows()
{
    for (const ControllerRows &rows : std::as_const(m_controllers)) {
        const InstallationItem *controllerItem = rows.item;
        if (!controllerItem)
            continue;
        int first = -1;
        int last = -1;
        for (int row = 0; row < controllerItem->childCount(); ++row) {
            const MediaType type =
                static_cast<const InstallationItem *>(controllerItem->child(row))->mediaType();
            if (type != MediaType_Video && type != MediaType_Audio)
                continue;
            if (first < 0)
                first = row;
            last = row;
        }
        if (first >= 0)
            emit dataChanged(indexFromItem(controllerItem->child(first), Column_NAME),
                             indexFromItem(controllerItem->child(last), Column_NAME));
    }
}

// --- Building -----------------------------------------------------------------------

void InstallationModel::rebuild()
{
    beginResetModel();
    rootItem()->removeChildren(0, rootItem()->childCount());
    m_groups.clear();
    m_installations.clear();
    m_controllers.clear();
    m_files.clear();
    for (const InstallationGroup *group : document()->groups())
        rootItem()->appendChild(addGroupRows(group->getId(), false));
    endResetModel();
}

void InstallationModel::clearRows()
{
    m_progressTimer.stop();
    m_progressCells.clear();
    m_progressCellsLimit = ProgressCellsKept;
    m_groups.clear();
    m_installations.clear();
    m_controllers.clear();
    m_files.clear();
    clear();
}

// The group's row with every row below it, not yet in the tree; `announce`
// inserts it through the model.
InstallationItem *InstallationModel::addGroupRows(uint groupId, bool announce)
{
    auto *groupItem = new InstallationItem(InstallationItem::Type_GROUP, groupId);
    m_groups.insert(groupId, groupItem);
    for (const uint installationId : document()->group(groupId)->installationIds())
        addInstallationRows(groupItem, installationId, false);
    if (announce)
        appendItem(rootItem(), groupItem);
    return groupItem;
}

InstallationItem *InstallationModel::addInstallationRows(InstallationItem *groupItem,
                                                         uint installationId, bool announce)
{
    auto *installationItem =
        new InstallationItem(InstallationItem::Type_INSTALLATION, installationId);
    m_installations.insert(installationId, installationItem);
    for (const uint controllerId : document()->installation(installationId)->controllerIds())
        addControllerRows(installationItem, controllerId);
    if (announce)
        appendItem(groupItem, installationItem);
    else
        groupItem->appendChild(installationItem);
    return installationItem;
}

// The controller's row, then the show file's, then one per file of each
// media slot: video, audio and slot file, where the slot carries them.
void InstallationModel::addControllerRows(InstallationItem *installationItem, uint controllerId)
{
    auto *controllerItem = new InstallationItem(InstallationItem::Type_CONTROLLER, controllerId);
    if (controllerId >= m_controllers.size())
        m_controllers.resize(controllerId + 1);
    m_controllers[controllerId] = {controllerItem, {}};
    installationItem->appendChild(controllerItem);
    const auto addFile = [&](uint slot, MediaType mediaType) {
        auto *fileItem =
            new InstallationItem(InstallationItem::Type_FILE, controllerId, slot, mediaType);
        m_files.insert(fileKey(controllerId, slot, mediaType), fileItem);
        controllerItem->appendChild(fileItem);
    };
    addFile(InstallationItem::ShowSlot, MediaType_Show);
    const Controller *controller = document()->controller(controllerId);
    for (const auto &[number, clip] : controller->controllerTemplate()->fileMediaClips()) {
        for (const MediaType type : {MediaType_Video, MediaType_Audio, MediaType_Slot}) {
            if (clip.hasFile(type))
                addFile(uint(number), type);
        }
    }
}

void InstallationModel::forgetRows(const TreeItem *item)
{
    const auto *row = static_cast<const InstallationItem *>(item);
    switch (row->type()) {
    case InstallationItem::Type_GROUP:
        m_groups.remove(row->id());
        break;
    case InstallationItem::Type_INSTALLATION:
        m_installations.remove(row->id());
        break;
    case InstallationItem::Type_CONTROLLER:
        if (ControllerRows *rows = controllerRows(row->id()))
            *rows = {};
        break;
    default:
        m_files.remove(fileKey(row->id(), row->slot(), row->mediaType()));
        break;
    }
    for (int i = 0; i < item->childCount(); ++i)
        forgetRows(item->child(i));
}

void InstallationModel::removeItemRows(InstallationItem *item)
{
    if (!item)
        return;
    forgetRows(item);
    removeItem(item);
}

// --- Change events ------------------------------------------------------------------

void InstallationModel::onChangeEvent(QEvent *event)
{
    LumDocument *doc = document();
    const auto id = [event] { return static_cast<IdEvent *>(event)->id(); };
    const auto ids = [event] { return static_cast<IdSetEvent *>(event)->ids(); };
    switch (int(event->type())) {
    case Event_InstallationGroupAdded: {
        if (!doc->groupExists(id()))
            break;
        removeItemRows(m_groups.value(id()));
        const InstallationItem *added = addGroupRows(id(), true);
        if (!static_cast<InstallationGroupAddedEvent *>(event)->noSelection())
            emit selectionRequested({indexFromItem(added)});
        break;
    }
    case Event_InstallationGroupRemoved:
        removeItemRows(m_groups.value(id()));
        break;
    case Event_InstallationGroupChanged:
        refresh(m_groups.value(id()), Column_NAME, Column_NAME);
        break;
    case Event_InstallationTemplateChanged: {
        InstallationItem *groupItem = m_groups.value(id());
        if (!groupItem || !doc->groupExists(id()))
            break;
        while (groupItem->childCount() > 0)
            removeItemRows(static_cast<InstallationItem *>(groupItem->child(0)));
        for (const uint installationId : doc->group(id())->installationIds())
            addInstallationRows(groupItem, installationId, true);
        break;
    }
    case Event_InstallationAdded: {
        QModelIndexList added;
        for (const uint installationId : ids()) {
            if (!doc->installationExists(installationId))
                continue;
            InstallationItem *groupItem =
                m_groups.value(doc->installation(installationId)->groupId());
            if (!groupItem)
                continue;
            removeItemRows(m_installations.value(installationId));
            added << indexFromItem(addInstallationRows(groupItem, installationId, true));
        }
        if (!static_cast<InstallationAddedEvent *>(event)->noSelection() && !added.isEmpty())
            emit selectionRequested(added);
        break;
    }
    case Event_InstallationRemoved:
        for (const uint installationId : ids())
            removeItemRows(m_installations.value(installationId));
        break;
    case Event_InstallationChanged:
        refresh(m_installations.value(id()), Column_NAME, Column_NAME);
        break;
    case Event_ControllerChanged:
        refresh(controllerItem(id()), Column_NAME, Column_UPLOAD_STATE);
        break;
    case Event_ControllerDiscovery:
        if (doc->controllerExists(id()))
            refresh(controllerItem(id()), Column_ONLINE, Column_ONLINE);
        break;
    case Event_ScheduledUploadTimeChanged:
        for (const ControllerRows &rows : std::as_const(m_controllers))
            refresh(rows.item, Column_NEXT_UPLOAD, Column_NEXT_UPLOAD);
        break;
    default:
        break;
    }
}

// --- Upload feedback ----------------------------------------------------------------

void InstallationModel::onUploadStateChanged(uint controllerId)
{
    refresh(controllerItem(controllerId), Column_UPLOAD_STATE, Column_UPLOAD_STATE);
}

void InstallationModel::onUploadMessageChanged(uint controllerId)
{
    refresh(controllerItem(controllerId), Column_PROGRESS, Column_PROGRESS);
}

void InstallationModel::onUploadStateChanged(uint controllerId, uint mediaId, MediaType mediaType)
{
    refresh(m_files.value(fileKey(controllerId, mediaId, mediaType)), Column_UPLOAD_STATE,
            Column_UPLOAD_STATE);
}

// Progress comes many times a second per file: the cells are noted as they
// come (a report touches only this list) and drawn once per frame.
void InstallationModel::onUploadProgressChanged(uint controllerId, uint mediaId,
                                                MediaType mediaType)
{
    m_progressCells.push_back(fileKey(controllerId, mediaId, mediaType));
    if (m_progressCells.size() >= m_progressCellsLimit) {
        // Twice what remains: a fleet's many distinct cells are not sorted
        // again at every report.
        keepEachProgressCellOnce();
        m_progressCellsLimit = std::max(ProgressCellsKept, 2 * m_progressCells.size());
    }
    if (!m_progressTimer.isActive())
        m_progressTimer.start();
}

void InstallationModel::keepEachProgressCellOnce()
{
    std::sort(m_progressCells.begin(), m_progressCells.end());
    m_progressCells.erase(std::unique(m_progressCells.begin(), m_progressCells.end()),
                          m_progressCells.end());
}

// Each changed cell once, a controller's files together and then the
// controller's own cell; neighbouring file rows of one controller as one
// range, so that the views map each controller's rows once. A controller's
// file rows are found among its few children, which lie together, rather
// than through the map of every file of the fleet.
void InstallationModel::flushProgress()
{
    m_progressTimer.stop();
    keepEachProgressCellOnce();
    std::vector<quint64> cells;
    cells.swap(m_progressCells);
    m_progressCellsLimit = ProgressCellsKept;
    for (size_t first = 0; first < cells.size();) {
        const uint controllerId = uint(cells[first] >> 40);
        size_t end = first + 1;
        while (end < cells.size() && uint(cells[end] >> 40) == controllerId)
            ++end;
        if (ControllerRows *rows = controllerRows(controllerId)) {
            refreshFileProgress(*rows, {cells.data() + first, end - first});
            refresh(rows->item, Column_PROGRESS, Column_PROGRESS);
        }
        first = end;
    }
    if (m_progressCells.empty()) { // its room is kept for the next frame
        cells.clear();
        m_progressCells.swap(cells);
    }
}

// `cells` are the controller's, in key order: that of its file rows after
// the show file's, which comes last. The rows' keys are read from their
// items once, when first needed or when the rows changed in number.
void InstallationModel::refreshFileProgress(ControllerRows &rows, std::span<const quint64> cells)
{
    const InstallationItem &controllerItem = *rows.item;
    const int rowCount = controllerItem.childCount();
    if (rowCount == 0)
        return;
    if (rows.fileKeys.size() != size_t(rowCount)) {
        rows.fileKeys.clear();
        for (int row = 0; row < rowCount; ++row) {
            const auto *item = static_cast<const InstallationItem *>(controllerItem.child(row));
            rows.fileKeys.push_back(fileKey(item->id(), item->slot(), item->mediaType()));
        }
    }
    int runFirst = -1;
    int runLast = -1;
    const auto endRun = [&] {
        if (runFirst >= 0)
            emit dataChanged(childIndex(&controllerItem, runFirst, Column_PROGRESS),
                             childIndex(&controllerItem, runLast, Column_PROGRESS));
        runFirst = runLast = -1;
    };
    int row = 0;
    for (const quint64 cell : cells) {
        const int start = row;
        do {
            if (rows.fileKeys[size_t(row)] == cell) {
                if (row != runLast + 1)
                    endRun();
                if (runFirst < 0)
                    runFirst = row;
                runLast = row;
                break;
            }
            row = (row + 1) % rowCount;
        } while (row != start);
    }
    endRun();
}

// --- Cells --------------------------------------------------------------------------

QString InstallationModel::fileProblem(const Controller &controller, uint slot, MediaType mediaType)
{
    const ControllerTemplate &controllerTemplate = *controller.controllerTemplate();
    if (mediaType == MediaType_Show)
        return exists(controllerTemplate.showFile()) ? QString() : missingFile();
    const QString path = controllerTemplate.mediaPath(int(slot), mediaType);
    if (mediaType != MediaType_Video && mediaType != MediaType_Audio)
        return exists(path) ? QString() : missingFile();
    if (path.isEmpty())
        return tr("No file is specified");
    const MediaTranscoder *transcoder = MediaTranscoder::instance();
    if (!transcoder)
        return exists(path) ? QString() : missingFile();
    return transcoder->state(path, mediaType) == MediaTranscoder::State_UNKNOWN ? missingFile()
                                                                                : QString();
}

bool InstallationModel::hasValidFiles(const Controller &controller)
{
    if (!fileProblem(controller, InstallationItem::ShowSlot, MediaType_Show).isEmpty())
        return false;
    for (const auto &[number, clip] : controller.controllerTemplate()->fileMediaClips()) {
        for (const auto &[type, file] : clip.files()) {
            if (!fileProblem(controller, uint(number), type).isEmpty())
                return false;
        }
    }
    return true;
}

QVariant InstallationModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const InstallationItem &item = *itemAt(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ForegroundRole:
    case Qt::ToolTipRole:
        break;
    case Qt::AccessibleTextRole:
        if (index.column() == Column_PROGRESS)
            return progressText(data(index, Qt::DisplayRole));
        return {};
    default:
        // The view asks for many roles per cell as it paints: those the
        // rows do not answer cost nothing.
        return role == Qt::UserRole || role >= InstallationItem::Role_ID
                   ? item.data(index.column(), role)
                   : QVariant();
    }
    switch (item.type()) {
    case InstallationItem::Type_GROUP:
    case InstallationItem::Type_INSTALLATION:
        return groupData(item, index.column(), role);
    case InstallationItem::Type_CONTROLLER:
        return controllerData(item, index.column(), role);
    default:
        return fileData(item, index.column(), role);
    }
}

QVariant InstallationModel::groupData(const InstallationItem &item, int column, int role) const
{
    if (column != Column_NAME || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return item.type() == InstallationItem::Type_GROUP
               ? document()->group(item.id())->name()
               : document()->installation(item.id())->name();
}

QVariant InstallationModel::controllerData(const InstallationItem &item, int column, int role) const
{
    const Controller &controller = *document()->controller(item.id());
    const UploadFeedback *feedback = document()->uploadFeedback();
    if (role == Qt::ForegroundRole) {
        if (column == Column_HOSTNAME && !controller.isAddressValid())
            return QBrush(Qt::red);
        if (column == Column_ONLINE && controller.discoveryState() != Discovery_Found)
            return QBrush(Qt::red);
        if (column == Column_UPLOAD_STATE)
            return stateColour(feedback->state(item.id()));
        return {};
    }
    if (role == Qt::ToolTipRole) {
        if (column == Column_ONLINE && controller.discoveryState() == Discovery_WrongType)
            return tr("The discovered controller has a different type to that defined in the "
                      "project template");
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const ControllerTemplate &controllerTemplate = *controller.controllerTemplate();
    switch (column) {
    case Column_NAME:
        return controllerTemplate.name().isEmpty()
                   ? tr("Controller %1").arg(controllerTemplate.number())
                   : controllerTemplate.name();
    case Column_TYPE:
        return HardwareType::name(controllerTemplate.hardwareType());
    case Column_HOSTNAME:
        return controller.hostname();
    case Column_HTTP_PORT:
        return controller.httpPort();
    case Column_FTP_PORT:
        return controller.ftpPort();
    case Column_ONLINE:
        switch (controller.discoveryState()) {
        case Discovery_Found:
            return tr("Yes");
        case Discovery_WrongType:
            return tr("Error");
        default:
            return tr("No");
        }
    case Column_NEXT_UPLOAD: {
        const QDateTime time = document()->uploadSchedule().scheduledTime(item.id());
        return time.isValid() ? time.toString(Qt::TextDate) : QString();
    }
    case Column_UPLOAD_STATE:
        return uploadStateName(feedback->state(item.id()));
    case Column_PROGRESS:
        return controllerProgress(controller);
    default:
        return {};
    }
}

// Bytes sent over bytes to send across the files that show progress; the
// upload's message while none does.
QVariant InstallationModel::controllerProgress(const Controller &controller) const
{
    const UploadFeedback *feedback = document()->uploadFeedback();
    quint64 sent = 0;
    quint64 total = 0;
    for (const FileToUpload &file : controller.filesToUpload()) {
        const auto record = feedback->file(controller.getId(), file.mediaId(), file.mediaType);
        if (record && record->bytesSent != UploadFeedback::NoProgress) {
            sent += record->bytesSent;
            total += record->totalBytes;
        }
    }
    if (total > 0)
        return percent(sent, total);
    return feedback->message(controller.getId());
}

QVariant InstallationModel::fileData(const InstallationItem &item, int column, int role) const
{
    const Controller &controller = *document()->controller(item.id());
    const auto record =
        document()->uploadFeedback()->file(item.id(), item.slot(), item.mediaType());
    const UploadState state = record ? record->state : UploadState_None;
    if (role == Qt::ForegroundRole) {
        if (column == Column_NAME &&
            !fileProblem(controller, item.slot(), item.mediaType()).isEmpty())
            return QBrush(Qt::red);
        return column == Column_UPLOAD_STATE ? QVariant(stateColour(state)) : QVariant();
    }
    if (role == Qt::ToolTipRole && column == Column_NAME) {
        const QString problem = fileProblem(controller, item.slot(), item.mediaType());
        if (!problem.isEmpty())
            return problem;
        const MediaTranscoder *transcoder = MediaTranscoder::instance();
        const QString path =
            controller.controllerTemplate()->mediaPath(int(item.slot()), item.mediaType());
        if (transcoder &&
            (item.mediaType() == MediaType_Video || item.mediaType() == MediaType_Audio) &&
            transcoder->state(path, item.mediaType()) == MediaTranscoder::State_TRANSCODING)
            return tr("The referenced file is being transcoded");
        return {};
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case Column_NAME: {
        if (item.mediaType() == MediaType_Show)
            return tr("Show");
        const MediaClips &clips = controller.controllerTemplate()->fileMediaClips();
        const auto clip = clips.find(int(item.slot()));
        const QString name = clip == clips.end() ? QString() : clip->second.name();
        return name.isEmpty() ? tr("Media %1").arg(item.slot()) : name;
    }
    case Column_TYPE:
        return item.mediaType() == MediaType_Show ? QString() : mediaTypeName(item.mediaType());
    case Column_UPLOAD_STATE:
        return uploadStateName(state);
    case Column_PROGRESS:
        if (record && record->bytesSent != UploadFeedback::NoProgress && record->totalBytes > 0)
            return percent(record->bytesSent, record->totalBytes);
        return record ? record->message : QString();
    default:
        return {};
    }
}

// --- Editing ------------------------------------------------------------------------

Qt::ItemFlags InstallationModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags plain = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const int type = itemAt(index)->type();
    const int column = index.column();
    const bool editable =
        ((type == InstallationItem::Type_GROUP || type == InstallationItem::Type_INSTALLATION) &&
         column == Column_NAME) ||
        (type == InstallationItem::Type_CONTROLLER && column >= Column_HOSTNAME &&
         column <= Column_FTP_PORT);
    return editable ? plain | Qt::ItemIsEditable : plain;
}

bool InstallationModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const InstallationItem &item = *itemAt(index);
    if (index.column() == Column_NAME) {
        const QString name = value.toString();
        QUndoStack *stack = document()->undoStack();
        if (item.type() == InstallationItem::Type_GROUP) {
            if (name == document()->group(item.id())->name())
                return false;
            stack->push(new SetInstallationGroupNameCommand(item.id(), name));
            return true;
        }
        if (item.type() == InstallationItem::Type_INSTALLATION) {
            if (name == document()->installation(item.id())->name())
                return false;
            stack->push(new SetInstallationNameCommand(item.id(), name));
            return true;
        }
        return false;
    }
    if (index.column() < Column_HOSTNAME || index.column() > Column_FTP_PORT)
        return false;
    const int itemType = item.type();
    constexpr int Type_CONTROLLER = InstallationItem::Type_CONTROLLER;
    LUM_ASSERT(itemType == Type_CONTROLLER);
    return setControllerData(item, index.column(), value);
}

// A refused hostname or port keeps the cell as it was: the row is redrawn
// from the document, which did not change.
bool InstallationModel::setControllerData(const InstallationItem &item, int column,
                                          const QVariant &value)
{
    LumDocument *doc = document();
    Controller &controller = *doc->controller(item.id());
    QUndoStack *stack = doc->undoStack();
    bool changed = false;
    if (column == Column_HOSTNAME) {
        const QString hostname = value.toString();
        if (hostname != controller.hostname() &&
            doc->isHostUnique(hostname, controller.httpPort())) {
            stack->push(new SetControllerHostnameCommand(item.id(), hostname));
            changed = true;
        }
    } else if (column == Column_HTTP_PORT) {
        const uint port = value.toUInt();
        if (port != controller.httpPort() && doc->isHostUnique(controller.hostname(), port)) {
            stack->push(new SetControllerHttpPortCommand(item.id(), port));
            changed = true;
        }
    } else {
        const uint port = value.toUInt();
        if (port != controller.ftpPort()) {
            stack->push(new SetControllerFtpPortCommand(item.id(), port));
            changed = true;
        }
    }
    if (!changed)
        refresh(&item, column, column);
    return changed;
}
