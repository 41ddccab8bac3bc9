#include "password_manager_item.h"

#include "lum_document.h"
#include "password_cipher.h"

#include <QCoreApplication>

PasswordManagerItem::PasswordManagerItem(Type type, uint id, const LumDocument *document)
    : TreeItem(type), m_id(id), m_document(document)
{}

bool PasswordManagerItem::exists() const
{
    switch (type()) {
    case Type_GROUP:
        return m_document->groupExists(m_id);
    case Type_INSTALLATION:
        return m_document->installationExists(m_id);
    case Type_CONTROLLER:
        return m_document->controllerExists(m_id);
    default:
        return false;
    }
}

QString PasswordManagerItem::name() const
{
    if (!exists())
        return QString();
    switch (type()) {
    case Type_GROUP:
        return m_document->group(m_id)->name();
    case Type_INSTALLATION:
        return m_document->installation(m_id)->name();
    default: {
        const auto controllerTemplate = m_document->controller(m_id)->controllerTemplate();
        if (!controllerTemplate)
            return QString();
        if (!controllerTemplate->name().isEmpty())
            return controllerTemplate->name();
        return QCoreApplication::translate("PasswordManagerItem", "Controller %1")
            .arg(controllerTemplate->number());
    }
    }
}

QString PasswordManagerItem::storedPassword() const
{
    if (!exists())
        return QString();
    switch (type()) {
    case Type_GROUP:
        return m_document->group(m_id)->password();
    case Type_INSTALLATION:
        return m_document->installation(m_id)->password();
    default:
        return m_document->controller(m_id)->password();
    }
}

QString PasswordManagerItem::password() const
{
    return m_pending ? *m_pending : storedPassword();
}

QString PasswordManagerItem::displayedPassword(bool visible) const
{
    const QString enciphered = password();
    if (enciphered.isEmpty())
        return QCoreApplication::translate("PasswordManagerItem", "Inherit");
    // The enciphered text has one character per character of the plain one.
    return visible ? PasswordCipher::decode(enciphered) : QString(enciphered.size(), QChar(0x2022));
}

QVariant PasswordManagerItem::data(int column, int role) const
{
    if (column == Column_NAME && role == Qt::DisplayRole)
        return name();
    if (column == Column_PASSWORD && role == Qt::EditRole)
        return password();
    return TreeItem::data(column, role);
}

bool PasswordManagerItem::setData(int column, const QVariant &value, int role)
{
    if (column != Column_PASSWORD || role != Qt::EditRole)
        return TreeItem::setData(column, value, role);
    m_pending = value.toString();
    return true;
}

Qt::ItemFlags PasswordManagerItem::flags(int column) const
{
    const Qt::ItemFlags flags = TreeItem::flags(column);
    return column == Column_PASSWORD ? flags | Qt::ItemIsEditable : flags;
}

TreeItem *PasswordManagerItem::clone() const
{
    auto *copy = new PasswordManagerItem(Type(type()), m_id, m_document);
    copy->m_pending = m_pending;
    return copy;
}
