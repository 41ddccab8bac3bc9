#pragma once

#include "file_column_table.h"

// The media of the controllers selected in the template builder.
class MediaTemplateTable : public FileColumnTable
{
    Q_OBJECT

public:
    explicit MediaTemplateTable(QWidget *parent = nullptr);
};
