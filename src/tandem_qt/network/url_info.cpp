#include "url_info.h"

bool UrlInfo::operator==(const UrlInfo &other) const
{
    return m_name == other.m_name && m_size == other.m_size && m_isDir == other.m_isDir &&
           m_isFile == other.m_isFile && m_isSymLink == other.m_isSymLink &&
           m_lastModified == other.m_lastModified && m_owner == other.m_owner &&
           m_group == other.m_group && m_permissions == other.m_permissions;
}
