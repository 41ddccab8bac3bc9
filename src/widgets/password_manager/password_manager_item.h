#pragma once

#include "tree_item.h"

#include <QString>

#include <optional>

class LumDocument;

// A row of the password tree: a group, an installation or a controller,
// named by identifier, with the password the operator has set in the dialog
// and not yet applied (enciphered). Name and stored password are read from
// the document when asked.
class PasswordManagerItem : public TreeItem
{
public:
    enum Type
    {
        Type_GROUP = 1,
        Type_INSTALLATION = 2,
        Type_CONTROLLER = 3
    };
    enum Column
    {
        Column_NAME = 0,
        Column_PASSWORD = 1
    };

    PasswordManagerItem(Type type, uint id, const LumDocument *document);

    uint id() const { return m_id; }
    // False once the entity has left the document.
    bool exists() const;
    QString name() const;
    QString storedPassword() const;
    bool hasPendingPassword() const { return m_pending.has_value(); }
    void setPendingPassword(const QString &enciphered) { m_pending = enciphered; }
    // The pending password if any, else the stored one.
    QString password() const;
    // What the password cell shows: "Inherit" when empty, else the plain
    // text when visible, else one bullet per character.
    QString displayedPassword(bool visible) const;

    QVariant data(int column, int role) const override;
    bool setData(int column, const QVariant &value, int role) override;
    Qt::ItemFlags flags(int column) const override;
    TreeItem *clone() const override;

private:
    uint m_id;
    const LumDocument *m_document;
    std::optional<QString> m_pending;
};
