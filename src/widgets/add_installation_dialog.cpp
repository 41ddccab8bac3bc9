#include "add_installation_dialog.h"

#include "installation_group.h"
#include "lum_document.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr int GroupIdRole = Qt::UserRole;

// The group's name and the types of its controllers: "Foyer (NX, KMA)".
QString groupText(const InstallationGroup &group)
{
    QStringList types;
    for (const ControllerTemplatePtr &controller :
         group.installationTemplate()->controllerTemplates())
        types.append(HardwareType::name(controller->hardwareType()));
    return group.name() + QStringLiteral(" (%1)").arg(types.join(QStringLiteral(", ")));
}
} // namespace

AddInstallationDialog::AddInstallationDialog(const LumDocument *document, QWidget *parent)
    : QDialog(parent), m_groups(new QListWidget(this)), m_count(new QSpinBox(this))
{
    setWindowTitle(tr("Add Installation"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto *intro = new QLabel(tr("Choose an existing project template for an installation or "
                                "create a new project template"),
                             this);
    intro->setWordWrap(true);
    intro->setBuddy(m_groups);
    m_groups->setAccessibleName(tr("Project templates"));
    for (const InstallationGroup *group : document->groups()) {
        auto *item = new QListWidgetItem(groupText(*group), m_groups);
        item->setData(GroupIdRole, group->getId());
    }
    m_count->setRange(1, 255);
    auto *fields = new QFormLayout;
    fields->addRow(tr("&Number of installations"), m_count);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    QPushButton *create =
        buttons->addButton(tr("Create New Project Template"), QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &AddInstallationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AddInstallationDialog::reject);
    connect(create, &QPushButton::clicked, this, &AddInstallationDialog::onCreateNewTemplate);
    connect(m_groups, &QListWidget::itemSelectionChanged, this,
            &AddInstallationDialog::onSelectionChanged);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_groups);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    if (m_groups->count() > 0)
        m_groups->setCurrentRow(0);
    onSelectionChanged();
}

std::optional<uint> AddInstallationDialog::groupId() const
{
    const QList<QListWidgetItem *> selected = m_groups->selectedItems();
    if (m_newTemplate || selected.size() != 1)
        return std::nullopt;
    return selected.first()->data(GroupIdRole).toUInt();
}

uint AddInstallationDialog::count() const
{
    return uint(m_count->value());
}

void AddInstallationDialog::onCreateNewTemplate()
{
    m_newTemplate = true;
    accept();
}

void AddInstallationDialog::onSelectionChanged()
{
    m_ok->setEnabled(m_groups->selectedItems().size() == 1);
}
