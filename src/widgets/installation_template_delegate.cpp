#include "installation_template_delegate.h"

#include "file_path_editor.h"
#include "installation_template_model.h"
#include "types.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include <array>

namespace {
const QString lastShowFileKey = QStringLiteral("File/LastShowFile");

// The types a new controller can be given, in the order offered.
constexpr std::array<int, 6> offeredTypes = {9, 1, 2, 4, 3, 11};
} // namespace

QStringList InstallationTemplateDelegate::showFileFilters(int hardwareType)
{
    // The first family's shows and the second's, each in the general and
    // the KMA format.
    QString first;
    switch (hardwareType) {
    case 3:
        first = tr("Lumora (*.kma)");
        break;
    case 7:
        first = tr("Pavona (*.kma)");
        break;
    case 5:
    case 6:
    case 8:
    case 10:
    case 12:
        first = tr("Pavona (*.wrn)");
        break;
    default:
        first = tr("Lumora (*.wrn)");
        break;
    }
    return {first, tr("All files (*.*)")};
}

QWidget *InstallationTemplateDelegate::createEditor(QWidget *parent,
                                                    const QStyleOptionViewItem &option,
                                                    const QModelIndex &index) const
{
    switch (index.column()) {
    case InstallationTemplateModel::Column_Number: {
        auto *spin = new QSpinBox(parent);
        spin->setRange(1, 9999);
        spin->setAccessibleName(tr("Number"));
        return spin;
    }
    case InstallationTemplateModel::Column_Type: {
        auto *combo = new QComboBox(parent);
        for (const int type : offeredTypes)
            combo->addItem(HardwareType::name(type), type);
        combo->setAccessibleName(tr("Type"));
        return combo;
    }
    case InstallationTemplateModel::Column_File: {
        auto *editor = new FilePathEditor(parent);
        editor->setDefaultDirectory(FilePathEditor::rememberedDirectory(lastShowFileKey));
        editor->setFieldName(tr("Show file"));
        connect(editor, &FilePathEditor::accepted, this,
                &InstallationTemplateDelegate::onFilePathAccepted);
        connect(editor, &FilePathEditor::rejected, this,
                &InstallationTemplateDelegate::onFilePathRejected);
        return editor;
    }
    default: {
        QWidget *editor = FileColumnDelegate::createEditor(parent, option, index);
        editor->setAccessibleName(tr("Name"));
        return editor;
    }
    }
}

void InstallationTemplateDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *pathEditor = qobject_cast<FilePathEditor *>(editor)) {
        const int type = index.siblingAtColumn(InstallationTemplateModel::Column_Type)
                             .data(Qt::EditRole)
                             .toInt();
        pathEditor->setFilters(showFileFilters(type));
        pathEditor->setPath(index.data(Qt::EditRole).toString());
    } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        combo->setCurrentIndex(combo->findData(index.data(Qt::EditRole)));
    } else {
        FileColumnDelegate::setEditorData(editor, index);
    }
}

void InstallationTemplateDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                                const QModelIndex &index) const
{
    if (auto *pathEditor = qobject_cast<FilePathEditor *>(editor)) {
        FilePathEditor::rememberDirectory(lastShowFileKey, pathEditor->path());
        model->setData(index, pathEditor->path());
    } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        if (combo->currentIndex() >= 0)
            model->setData(index, combo->currentData());
    } else {
        FileColumnDelegate::setModelData(editor, model, index);
    }
}
