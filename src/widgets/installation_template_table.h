#pragma once

#include "file_column_table.h"

class InstallationTemplateModel;

// The controllers of the template being built. Adding, moving and deleting
// act on the selection; a new controller becomes the selected row.
class InstallationTemplateTable : public FileColumnTable
{
    Q_OBJECT

public:
    explicit InstallationTemplateTable(QWidget *parent = nullptr);

    void setTemplateModel(InstallationTemplateModel *model);
    InstallationTemplateModel *templateModel() const { return m_model; }

public slots:
    void addController();
    void moveControllerUp();
    void moveControllerDown();
    void deleteController();

signals:
    void filePathChanged(uint controllerIndex);

private:
    int singleSelectedRow() const;
    void makeCurrentRow(int row);

    InstallationTemplateModel *m_model = nullptr;
};
