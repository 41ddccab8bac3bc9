#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// One entry of a remote directory listing: what an FTP listing line says
// about a file. Unknown values stay at their defaults (size 0, invalid time).
class UrlInfo
{
public:
    // Unix permission bits, as in a listing's "rwxr-xr-x".
    enum Permission
    {
        Permission_ReadOwner = 00400,
        Permission_WriteOwner = 00200,
        Permission_ExeOwner = 00100,
        Permission_ReadGroup = 00040,
        Permission_WriteGroup = 00020,
        Permission_ExeGroup = 00010,
        Permission_ReadOther = 00004,
        Permission_WriteOther = 00002,
        Permission_ExeOther = 00001
    };

    UrlInfo() = default;

    // An entry without a name is not an entry.
    bool isValid() const { return !m_name.isEmpty(); }

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    qint64 size() const { return m_size; }
    void setSize(qint64 size) { m_size = size; }
    bool isDir() const { return m_isDir; }
    void setDir(bool isDir) { m_isDir = isDir; }
    bool isFile() const { return m_isFile; }
    void setFile(bool isFile) { m_isFile = isFile; }
    bool isSymLink() const { return m_isSymLink; }
    void setSymLink(bool isSymLink) { m_isSymLink = isSymLink; }
    QDateTime lastModified() const { return m_lastModified; }
    void setLastModified(const QDateTime &time) { m_lastModified = time; }
    QString owner() const { return m_owner; }
    void setOwner(const QString &owner) { m_owner = owner; }
    QString group() const { return m_group; }
    void setGroup(const QString &group) { m_group = group; }
    // Permission bits; 0 when the listing did not give them.
    int permissions() const { return m_permissions; }
    void setPermissions(int permissions) { m_permissions = permissions; }

    bool operator==(const UrlInfo &other) const;

private:
    QString m_name;
    qint64 m_size = 0;
    bool m_isDir = false;
    bool m_isFile = false;
    bool m_isSymLink = false;
    QDateTime m_lastModified;
    QString m_owner;
    QString m_group;
    int m_permissions = 0;
};

Q_DECLARE_METATYPE(UrlInfo)
