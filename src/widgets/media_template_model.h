#pragma once

#include "installation_template.h"

#include <QAbstractTableModel>

// The media of the controllers selected in the template builder, one row per
// media path of each (in controller order, then by clip and type): the
// clip's name, the media type and the local file. A general show's slots
// follow its media folder, which is a row of its own.
class MediaTemplateModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        Column_Name = 0,
        Column_Type = 1,
        Column_File = 2,
        Column_MAX = 3
    };

    explicit MediaTemplateModel(InstallationTemplate *installationTemplate,
                                QObject *parent = nullptr);

    // Shows the media of the controllers at these indexes of the template.
    void setControllers(const QList<int> &controllerIndexes);
    const QList<int> &controllers() const { return m_controllers; }
    // Reads the shown controllers' media again.
    void refresh();

    MediaType mediaType(int row) const { return m_rows.at(row).key.second; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        int controller;
        MediaPathKey key;
    };

    ControllerTemplate *controllerOf(int row) const;
    void buildRows();

    InstallationTemplate *m_template;
    QList<int> m_controllers;
    QList<Row> m_rows;
};
