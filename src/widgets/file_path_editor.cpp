#include "file_path_editor.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>

FilePathEditor::FilePathEditor(QWidget *parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_browse(new QPushButton(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit);
    layout->addWidget(m_browse);
    setFocusProxy(m_edit);
    setAutoFillBackground(true);

    m_browse->setIcon(QIcon(QStringLiteral(":/icons/22x22/folder.png")));
    setFieldName(tr("Path"));
    connect(m_edit, &QLineEdit::editingFinished, this, &FilePathEditor::onPathEdited);
    connect(m_browse, &QPushButton::clicked, this, &FilePathEditor::onBrowseClicked);
}

void FilePathEditor::setFieldName(const QString &name)
{
    m_edit->setAccessibleName(name);
    m_browse->setAccessibleName(tr("Browse for %1").arg(name));
    m_browse->setToolTip(m_browse->accessibleName());
}

QString FilePathEditor::path() const
{
    return m_edit->text();
}

void FilePathEditor::setPath(const QString &path)
{
    m_edit->setText(path);
    m_editedPath = path;
}

// Finishing an edit without changing the text (leaving the field) commits
// nothing.
void FilePathEditor::onPathEdited()
{
    if (m_edit->text() == m_editedPath)
        return;
    m_editedPath = m_edit->text();
    emit accepted();
}

void FilePathEditor::onBrowseClicked()
{
    const QString current = path();
    const QString start =
        !current.isEmpty() && QFileInfo::exists(current) ? current : m_defaultDirectory;
    // Our own dialog: the same on every desktop, and tests can answer it. The
    // file caption is spelled as the product has always shown it.
    const QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
    const QString chosen =
        m_folderMode
            ? QFileDialog::getExistingDirectory(this, tr("Select a folder"), start,
                                                options | QFileDialog::ShowDirsOnly)
            : QFileDialog::getOpenFileName(this, tr("Select an file"), start,
                                           m_filters.join(QStringLiteral(";;")), nullptr, options);
    if (chosen.isEmpty()) {
        emit rejected();
        return;
    }
    setPath(QDir::toNativeSeparators(chosen));
    emit accepted();
}

QString FilePathEditor::rememberedDirectory(const QString &settingsKey)
{
    const QString remembered = QSettings().value(settingsKey).toString();
    if (!remembered.isEmpty())
        return remembered;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void FilePathEditor::rememberDirectory(const QString &settingsKey, const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return;
    QSettings().setValue(settingsKey, info.absolutePath());
}
