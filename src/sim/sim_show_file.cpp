#include "sim_show_file.h"

#include "show_file_reader.h"

#include <QFile>

SimShowFile::Layout SimShowFile::layoutOfName(const QString &remoteName)
{
    return remoteName.endsWith(QLatin1String(".kma"), Qt::CaseInsensitive) ? Layout_Kma
                                                                           : Layout_General;
}

QUuid SimShowFile::projectUuid(const QString &path, Layout layout)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QUuid();
    const ShowFileInfo info = ShowFileReader::read(
        file, layout == Layout_Kma ? ShowFileReader::Format_Kma : ShowFileReader::Format_General);
    if (info.status != ShowFileInfo::Status_Ok || !info.projectUuid)
        return QUuid();
    return *info.projectUuid;
}
