#include "media_clip.h"

ClipFile::ClipFile(const QString &path, const QByteArray &remoteName) : m_path(path)
{
    setRemoteName(remoteName);
}

void ClipFile::setRemoteName(const QByteArray &remoteName)
{
    QByteArray fitting = remoteName.left(RemoteNameSize);
    const qsizetype end = fitting.indexOf('\0');
    if (end >= 0)
        fitting.truncate(end);
    m_remoteName = fitting;
}

ClipFile MediaClip::file(MediaType type) const
{
    const auto found = m_files.find(type);
    return found == m_files.end() ? ClipFile() : found->second;
}
