#include "media_template_model.h"

#include <QFileInfo>
#include <QIcon>

MediaTemplateModel::MediaTemplateModel(InstallationTemplate *installationTemplate, QObject *parent)
    : QAbstractTableModel(parent), m_template(installationTemplate)
{}

void MediaTemplateModel::setControllers(const QList<int> &controllerIndexes)
{
    m_controllers = controllerIndexes;
    refresh();
}

void MediaTemplateModel::refresh()
{
    beginResetModel();
    buildRows();
    endResetModel();
}

void MediaTemplateModel::buildRows()
{
    m_rows.clear();
    const qsizetype count = m_template->controllerTemplates().size();
    for (const int controller : std::as_const(m_controllers)) {
        if (controller >= count)
            continue;
        for (const auto &entry : m_template->controllerTemplates().at(controller)->mediaPaths())
            m_rows.append({controller, entry.first});
    }
}

ControllerTemplate *MediaTemplateModel::controllerOf(int row) const
{
    return m_template->controllerTemplates().at(m_rows.at(row).controller).get();
}

int MediaTemplateModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int MediaTemplateModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Column_MAX;
}

QVariant MediaTemplateModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const ControllerTemplate *controller = controllerOf(index.row());
    const auto [clipNumber, type] = m_rows.at(index.row()).key;
    const QString path = controller->mediaPath(clipNumber, type);
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
        case Column_Name: {
            const auto clip = controller->fileMediaClips().find(clipNumber);
            if (clip != controller->fileMediaClips().end())
                return clip->second.name();
            return type == MediaType_Folder ? tr("Media folder") : QString();
        }
        case Column_Type:
            return mediaTypeName(type);
        case Column_File:
            return path;
        }
    }
    const bool missing = !path.isEmpty() && !QFileInfo::exists(path);
    if (index.column() == Column_File && missing) {
        if (role == Qt::DecorationRole)
            return QIcon(QStringLiteral(":/icons/22x22/warning.png"));
        if (role == Qt::ToolTipRole)
            return tr("File is missing");
    }
    return {};
}

bool MediaTemplateModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    ControllerTemplate *controller = controllerOf(index.row());
    const auto [clipNumber, type] = m_rows.at(index.row()).key;
    if (index.column() == Column_Name) {
        MediaClips clips = controller->fileMediaClips();
        clips[clipNumber].setName(value.toString());
        controller->setFileMediaClips(std::move(clips));
    } else if (type == MediaType_Folder) {
        // The slots' files are looked for again in the new folder.
        controller->setMediaFolder(value.toString());
        refresh();
        return true;
    } else {
        controller->setMediaPath(clipNumber, type, value.toString());
    }
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags MediaTemplateModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    bool editable = index.column() == Column_File;
    if (index.column() == Column_Name) {
        const auto &clips = controllerOf(index.row())->fileMediaClips();
        editable = clips.count(m_rows.at(index.row()).key.first) != 0;
    }
    return QAbstractTableModel::flags(index) | (editable ? Qt::ItemIsEditable : Qt::NoItemFlags);
}

QVariant MediaTemplateModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Column_Name:
        return tr("Name");
    case Column_Type:
        return tr("Type");
    case Column_File:
        return tr("File");
    }
    return {};
}
