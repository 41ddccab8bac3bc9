#pragma once

#include "tree_item.h"
#include "types.h"

// A row of the installation tree: a group, an installation, a controller or
// one file a controller receives, named by the entity's identifier (and, for
// a file, its media slot and type). What the row shows is read live from the
// project by the model.
class InstallationItem : public TreeItem
{
public:
    enum Type
    {
        Type_GROUP = 1,
        Type_INSTALLATION = 2,
        Type_CONTROLLER = 3,
        Type_FILE = 4
    };
    enum Role
    {
        Role_ID = 160,
        Role_SLOT = 161,
        Role_MEDIA_TYPE = 162
    };
    // The media slot of the show-file row.
    static constexpr uint ShowSlot = 0xFFFFFFFF;

    InstallationItem(Type type, uint id, uint slot = ShowSlot,
                     MediaType mediaType = MediaType_Unknown);

    uint id() const { return m_id; }
    uint slot() const { return m_slot; }
    MediaType mediaType() const { return m_mediaType; }

    QVariant data(int column, int role) const override;
    bool setData(int column, const QVariant &value, int role) override;
    TreeItem *clone() const override;

private:
    uint m_id;
    uint m_slot;
    MediaType m_mediaType;
};
