#include "installation_template_model.h"

#include "lum_assert.h"

#include <QFileInfo>
#include <QIcon>

#include <algorithm>

InstallationTemplateModel::InstallationTemplateModel(InstallationTemplate *installationTemplate,
                                                     bool editMode, QObject *parent)
    : QAbstractTableModel(parent), m_template(installationTemplate), m_editMode(editMode)
{}

int InstallationTemplateModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_template->controllerTemplates().size());
}

int InstallationTemplateModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Column_MAX;
}

ControllerTemplate *InstallationTemplateModel::controllerTemplate(int row) const
{
    return m_template->controllerTemplates().at(row).get();
}

QVariant InstallationTemplateModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const ControllerTemplate *controller = controllerTemplate(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
        case Column_Number:
            return controller->number();
        case Column_Type:
            return role == Qt::EditRole ? QVariant(controller->hardwareType())
                                        : QVariant(HardwareType::name(controller->hardwareType()));
        case Column_Name:
            return controller->name();
        case Column_File:
            return controller->showFile();
        }
    }
    if (index.column() != Column_File)
        return {};
    const QString path = controller->showFile();
    const bool missing = !path.isEmpty() && !QFileInfo::exists(path);
    const bool refused = controller->loadResult() != FileLoadResult_NoError;
    if (role == Qt::DecorationRole && (missing || refused))
        return QIcon(QStringLiteral(":/icons/22x22/warning.png"));
    if (role == Qt::ToolTipRole) {
        if (missing)
            return tr("File is missing");
        if (refused)
            return controller->loadResultText();
    }
    return {};
}

bool InstallationTemplateModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    ControllerTemplate *controller = controllerTemplate(index.row());
    switch (index.column()) {
    case Column_Number:
        controller->setNumber(value.toInt());
        break;
    case Column_Type:
        if (value.toInt() == controller->hardwareType())
            return true;
        // The show is read again in the type's format.
        controller->setHardwareType(value.toInt());
        rowChanged(index.row());
        return true;
    case Column_Name:
        controller->setName(value.toString());
        break;
    case Column_File:
        controller->setShowFile(value.toString());
        rowChanged(index.row());
        return true;
    }
    emit dataChanged(index, index);
    return true;
}

void InstallationTemplateModel::rowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, Column_MAX - 1));
    emit filePathChanged(uint(row));
}

Qt::ItemFlags InstallationTemplateModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const bool locked =
        m_editMode && (index.column() == Column_Number || index.column() == Column_Type);
    return QAbstractTableModel::flags(index) | (locked ? Qt::NoItemFlags : Qt::ItemIsEditable);
}

QVariant InstallationTemplateModel::headerData(int section, Qt::Orientation orientation,
                                               int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Column_Number:
        return tr("Number");
    case Column_Type:
        return tr("Type");
    case Column_Name:
        return tr("Name");
    case Column_File:
        return tr("File");
    }
    return {};
}

int InstallationTemplateModel::appendController()
{
    LUM_ASSERT(!m_editMode);
    const int row = rowCount();
    beginInsertRows({}, row, row);
    auto controller = std::make_shared<ControllerTemplate>();
    controller->setNumber(row + 1);
    m_template->appendControllerTemplate(controller);
    endInsertRows();
    return row;
}

void InstallationTemplateModel::removeControllers(QList<int> rows)
{
    LUM_ASSERT(!m_editMode);
    // From the bottom, so that the rows above keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    InstallationTemplate::ControllerTemplates controllers = m_template->controllerTemplates();
    for (const int row : rows) {
        beginRemoveRows({}, row, row);
        controllers.removeAt(row);
        m_template->setControllerTemplates(controllers);
        endRemoveRows();
    }
}

void InstallationTemplateModel::swapWithNext(int row)
{
    LUM_ASSERT(!m_editMode);
    LUM_ASSERT(row + 1 < rowCount());
    InstallationTemplate::ControllerTemplates controllers = m_template->controllerTemplates();
    beginMoveRows({}, row + 1, row + 1, {}, row);
    controllers.swapItemsAt(row, row + 1);
    m_template->setControllerTemplates(controllers);
    endMoveRows();
}
