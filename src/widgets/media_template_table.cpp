#include "media_template_table.h"

#include "media_template_delegate.h"
#include "media_template_model.h"

MediaTemplateTable::MediaTemplateTable(QWidget *parent)
    : FileColumnTable(MediaTemplateModel::Column_File, parent)
{
    setItemDelegate(new MediaTemplateDelegate(this));
}
