#include "installation_item.h"

InstallationItem::InstallationItem(Type type, uint id, uint slot, MediaType mediaType)
    : TreeItem(type), m_id(id), m_slot(slot), m_mediaType(mediaType)
{}

QVariant InstallationItem::data(int column, int role) const
{
    switch (role) {
    case Role_ID:
        return m_id;
    case Role_SLOT:
        return m_slot;
    case Role_MEDIA_TYPE:
        return uint(m_mediaType);
    default:
        return TreeItem::data(column, role);
    }
}

bool InstallationItem::setData(int column, const QVariant &value, int role)
{
    switch (role) {
    case Role_ID:
        m_id = value.toUInt();
        return true;
    case Role_SLOT:
        m_slot = value.toUInt();
        return true;
    case Role_MEDIA_TYPE:
        m_mediaType = MediaType(value.toUInt());
        return true;
    default:
        return TreeItem::setData(column, value, role);
    }
}

TreeItem *InstallationItem::clone() const
{
    return new InstallationItem(Type(type()), m_id, m_slot, m_mediaType);
}
