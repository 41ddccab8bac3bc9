#pragma once

#include "sortvector.h"

#include <QList>
#include <QString>

// One site of a group: one controller per controller template of the group's
// template, in template order.
class Installation : public sortvector_el
{
public:
    static constexpr uint NoGroup = uint(-1);

    explicit Installation(const QList<uint> &controllerIds);

    // NoGroup until the installation is placed into a group.
    uint groupId() const { return m_groupId; }
    void setGroupId(uint groupId) { m_groupId = groupId; }

    const QList<uint> &controllerIds() const { return m_controllerIds; }
    void setControllerIds(const QList<uint> &controllerIds) { m_controllerIds = controllerIds; }

    // The name, or "Unnamed Installation" when it is empty.
    QString name() const;
    // The name as the operator gave it, possibly empty.
    QString storedName() const { return m_name; }
    // Stores the name and announces the change.
    void setName(const QString &name);
    // Stores the name without announcing it: a name read from a project file.
    void restoreName(const QString &name) { m_name = name; }

    // Enciphered; empty when the installation has none.
    QString password() const { return m_password; }
    void setPassword(const QString &enciphered) { m_password = enciphered; }

private:
    uint m_groupId = NoGroup;
    QList<uint> m_controllerIds;
    QString m_name;
    QString m_password;
};
