#include "installation_template_table.h"

#include "installation_template_delegate.h"
#include "installation_template_model.h"
#include "lum_assert.h"

#include <QItemSelectionModel>

InstallationTemplateTable::InstallationTemplateTable(QWidget *parent)
    : FileColumnTable(InstallationTemplateModel::Column_File, parent)
{
    setItemDelegate(new InstallationTemplateDelegate(this));
}

void InstallationTemplateTable::setTemplateModel(InstallationTemplateModel *model)
{
    m_model = model;
    setModel(model);
    connect(model, &InstallationTemplateModel::filePathChanged, this,
            &InstallationTemplateTable::filePathChanged);
}

void InstallationTemplateTable::addController()
{
    makeCurrentRow(m_model->appendController());
}

void InstallationTemplateTable::moveControllerUp()
{
    const int row = singleSelectedRow();
    m_model->swapWithNext(row - 1);
    makeCurrentRow(row - 1);
}

void InstallationTemplateTable::moveControllerDown()
{
    const int row = singleSelectedRow();
    m_model->swapWithNext(row);
    makeCurrentRow(row + 1);
}

void InstallationTemplateTable::deleteController()
{
    m_model->removeControllers(selectedRowNumbers());
}

int InstallationTemplateTable::singleSelectedRow() const
{
    const QList<int> selection = selectedRowNumbers();
    LUM_ASSERT(selection.size() == 1);
    return selection.first();
}

void InstallationTemplateTable::makeCurrentRow(int row)
{
    selectionModel()->setCurrentIndex(m_model->index(row, InstallationTemplateModel::Column_Name),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
}
