#pragma once

#include "installation_template.h"

#include <QAbstractTableModel>

// The controller templates of a template being built, one row each:
// number, hardware type, name and show file. In edit mode the list of
// controllers is fixed, so number and type are read-only.
class InstallationTemplateModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        Column_Number = 0,
        Column_Type = 1,
        Column_Name = 2,
        Column_File = 3,
        Column_MAX = 4
    };

    InstallationTemplateModel(InstallationTemplate *installationTemplate, bool editMode,
                              QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    ControllerTemplate *controllerTemplate(int row) const;
    // Appends a controller numbered after its position; its row.
    int appendController();
    void removeControllers(QList<int> rows);
    // Exchanges the controller at `row` with the one below it.
    void swapWithNext(int row);

signals:
    // The show file of the controller at that index changed, or was read
    // again: its media may differ.
    void filePathChanged(uint controllerIndex);

private:
    void rowChanged(int row);

    InstallationTemplate *m_template;
    bool m_editMode;
};
