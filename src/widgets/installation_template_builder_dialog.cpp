#include "installation_template_builder_dialog.h"

#include "installation_template_model.h"
#include "installation_template_table.h"
#include "media_template_model.h"
#include "media_template_table.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QVBoxLayout>

namespace {
const QString positionKey = QStringLiteral("TemplateDialog/Geometry/Position");
const QString sizeKey = QStringLiteral("TemplateDialog/Geometry/Size");
const QString splitterKey = QStringLiteral("TemplateDialog/Geometry/Splitter");
} // namespace

InstallationTemplateBuilderDialog::InstallationTemplateBuilderDialog(
    const InstallationTemplate *editing, QWidget *parent)
    : QDialog(parent),
      m_template(editing ? editing->deepCopy() : std::make_shared<InstallationTemplate>()),
      m_editMode(editing != nullptr), m_name(new QLineEdit(m_template->name(), this)),
      m_controllerModel(new InstallationTemplateModel(m_template.get(), m_editMode, this)),
      m_controllerTable(new InstallationTemplateTable(this)),
      m_mediaModel(new MediaTemplateModel(m_template.get(), this)),
      m_mediaTable(new MediaTemplateTable(this)),
      m_add(iconButton(QStringLiteral("plus"), tr("Add controller"))),
      m_moveUp(iconButton(QStringLiteral("up_arrow"), tr("Move controller up"))),
      m_moveDown(iconButton(QStringLiteral("down_arrow"), tr("Move controller down"))),
      m_delete(iconButton(QStringLiteral("minus"), tr("Delete controllers"))),
      m_splitter(new QSplitter(Qt::Vertical, this))
{
    setWindowTitle(m_editMode ? tr("Edit Project Template") : tr("New Project Template"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_controllerTable->setTemplateModel(m_controllerModel);
    m_mediaTable->setModel(m_mediaModel);

    auto *name = new QFormLayout;
    name->addRow(tr("&Name"), m_name);

    auto *controllers = new QWidget(m_splitter);
    auto *controllersLabel = new QLabel(tr("&Controllers"), controllers);
    controllersLabel->setBuddy(m_controllerTable);
    // A view takes no name from its buddy label.
    m_controllerTable->setAccessibleName(tr("Controllers"));
    m_controllerTable->setParent(controllers);
    auto *buttons = new QVBoxLayout;
    for (QPushButton *button : {m_add, m_moveUp, m_moveDown, m_delete})
        buttons->addWidget(button);
    buttons->addStretch();
    auto *table = new QHBoxLayout;
    table->addWidget(m_controllerTable);
    table->addLayout(buttons);
    auto *controllersLayout = new QVBoxLayout(controllers);
    controllersLayout->setContentsMargins(0, 0, 0, 0);
    controllersLayout->addWidget(controllersLabel);
    controllersLayout->addLayout(table);

    auto *media = new QWidget(m_splitter);
    auto *mediaLabel = new QLabel(tr("&Media Slots"), media);
    mediaLabel->setBuddy(m_mediaTable);
    m_mediaTable->setAccessibleName(tr("Media Slots"));
    m_mediaTable->setParent(media);
    auto *mediaLayout = new QVBoxLayout(media);
    mediaLayout->setContentsMargins(0, 0, 0, 0);
    mediaLayout->addWidget(mediaLabel);
    mediaLayout->addWidget(m_mediaTable);

    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = box->button(QDialogButtonBox::Ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(name);
    layout->addWidget(m_splitter, 1);
    layout->addWidget(box);

    connect(box, &QDialogButtonBox::accepted, this, &InstallationTemplateBuilderDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &InstallationTemplateBuilderDialog::reject);
    connect(m_name, &QLineEdit::editingFinished, this,
            &InstallationTemplateBuilderDialog::onNameChanged);
    connect(m_add, &QPushButton::clicked, this, &InstallationTemplateBuilderDialog::addController);
    connect(m_moveUp, &QPushButton::clicked, m_controllerTable,
            &InstallationTemplateTable::moveControllerUp);
    connect(m_moveDown, &QPushButton::clicked, m_controllerTable,
            &InstallationTemplateTable::moveControllerDown);
    connect(m_delete, &QPushButton::clicked, this,
            &InstallationTemplateBuilderDialog::deleteController);
    connect(m_controllerTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &InstallationTemplateBuilderDialog::onSelectionChanged);
    connect(m_controllerTable, &InstallationTemplateTable::filePathChanged, this,
            &InstallationTemplateBuilderDialog::onFilePathChanged);

    for (QPushButton *button : {m_moveUp, m_moveDown, m_delete})
        button->setEnabled(false);
    // Editing keeps the list of controllers: the installations built from
    // the template have one controller for each.
    m_add->setEnabled(!m_editMode);
    updateOkButton();
    restoreLayout();
    m_name->setFocus();
}

InstallationTemplateBuilderDialog::~InstallationTemplateBuilderDialog()
{
    QStringList sizes;
    for (const int size : m_splitter->sizes())
        sizes.append(QString::number(size));
    QSettings settings;
    settings.setValue(positionKey, pos());
    settings.setValue(sizeKey, size());
    settings.setValue(splitterKey, sizes.join(QLatin1Char(',')));
}

void InstallationTemplateBuilderDialog::restoreLayout()
{
    QSettings settings;
    if (settings.contains(positionKey))
        move(settings.value(positionKey).toPoint());
    if (settings.contains(sizeKey))
        resize(settings.value(sizeKey).toSize());
    else
        resize(720, 480);
    QList<int> sizes;
    for (const QString &size : settings.value(splitterKey).toString().split(QLatin1Char(','))) {
        bool ok = false;
        const int value = size.toInt(&ok);
        if (ok && value >= 0)
            sizes.append(value);
    }
    if (sizes.size() == m_splitter->count())
        m_splitter->setSizes(sizes);
}

QPushButton *InstallationTemplateBuilderDialog::iconButton(const QString &icon, const QString &name)
{
    auto *button = new QPushButton(this);
    button->setIcon(QIcon(QStringLiteral(":/icons/22x22/%1.png").arg(icon)));
    button->setToolTip(name);
    button->setAccessibleName(name);
    button->setAutoDefault(false);
    return button;
}

void InstallationTemplateBuilderDialog::onNameChanged()
{
    m_template->setName(m_name->text());
}

void InstallationTemplateBuilderDialog::addController()
{
    m_controllerTable->addController();
    updateOkButton();
}

void InstallationTemplateBuilderDialog::deleteController()
{
    m_controllerTable->deleteController();
    updateOkButton();
    onSelectionChanged();
}

void InstallationTemplateBuilderDialog::onSelectionChanged()
{
    const QList<int> rows = m_controllerTable->selectedRowNumbers();
    if (!m_editMode) {
        const bool one = rows.size() == 1;
        m_moveUp->setEnabled(one && rows.first() > 0);
        m_moveDown->setEnabled(one && rows.first() < m_controllerModel->rowCount() - 1);
        m_delete->setEnabled(!rows.isEmpty());
    }
    m_mediaModel->setControllers(rows);
}

void InstallationTemplateBuilderDialog::onFilePathChanged(uint controllerIndex)
{
    if (m_mediaModel->controllers().contains(int(controllerIndex)))
        m_mediaModel->refresh();
}

void InstallationTemplateBuilderDialog::accept()
{
    onNameChanged();
    QDialog::accept();
}

void InstallationTemplateBuilderDialog::updateOkButton()
{
    m_ok->setEnabled(!m_template->controllerTemplates().isEmpty());
}
