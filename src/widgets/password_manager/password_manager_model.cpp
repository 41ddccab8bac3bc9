#include "password_manager_model.h"

#include "lum_document.h"
#include "password_manager_item.h"
#include "set_password_command.h"

#include <QColor>

PasswordManagerModel::PasswordManagerModel(LumDocument *document, QObject *parent)
    : TreeModel({tr("Name"), tr("Password")}, parent), m_document(document)
{
    build();
}

void PasswordManagerModel::build()
{
    for (const InstallationGroup *group : m_document->groups()) {
        auto *groupItem =
            new PasswordManagerItem(PasswordManagerItem::Type_GROUP, group->getId(), m_document);
        appendItem(rootItem(), groupItem);
        for (const uint installationId : group->installationIds()) {
            auto *installationItem = new PasswordManagerItem(PasswordManagerItem::Type_INSTALLATION,
                                                             installationId, m_document);
            appendItem(groupItem, installationItem);
            for (const uint controllerId :
                 m_document->installation(installationId)->controllerIds())
                appendItem(installationItem,
                           new PasswordManagerItem(PasswordManagerItem::Type_CONTROLLER,
                                                   controllerId, m_document));
        }
    }
}

void PasswordManagerModel::forEachItem(
    const std::function<void(PasswordManagerItem *)> &action) const
{
    const std::function<void(TreeItem *)> visit = [&](TreeItem *parent) {
        for (int row = 0; row < parent->childCount(); ++row) {
            action(static_cast<PasswordManagerItem *>(parent->child(row)));
            visit(parent->child(row));
        }
    };
    visit(rootItem());
}

void PasswordManagerModel::passwordsChanged()
{
    forEachItem([this](PasswordManagerItem *item) {
        const QModelIndex cell = indexFromItem(item, PasswordManagerItem::Column_PASSWORD);
        emit dataChanged(cell, cell);
    });
}

void PasswordManagerModel::setPasswordsVisible(bool visible)
{
    if (visible == m_passwordsVisible)
        return;
    m_passwordsVisible = visible;
    passwordsChanged();
}

void PasswordManagerModel::clearAll()
{
    forEachItem([](PasswordManagerItem *item) { item->setPendingPassword(QString()); });
    passwordsChanged();
}

QUndoCommand *PasswordManagerModel::takeChanges() const
{
    auto *step = new QUndoCommand(tr("Set Passwords"));
    forEachItem([step](PasswordManagerItem *item) {
        // The command kinds count from 0 where the row types count from 1.
        if (item->exists() && item->hasPendingPassword() &&
            item->password() != item->storedPassword())
            new SetPasswordCommand(item->type() - 1, item->id(), item->password(), step);
    });
    if (step->childCount() == 0) {
        delete step;
        return nullptr;
    }
    return step;
}

QVariant PasswordManagerModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() != PasswordManagerItem::Column_PASSWORD)
        return TreeModel::data(index, role);
    const auto *item = static_cast<const PasswordManagerItem *>(itemFromIndex(index));
    switch (role) {
    case Qt::DisplayRole:
        return item->displayedPassword(m_passwordsVisible);
    case Qt::ForegroundRole:
        return item->password().isEmpty() ? QVariant(QColor(Qt::gray)) : QVariant();
    default:
        return TreeModel::data(index, role);
    }
}
