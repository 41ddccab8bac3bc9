#include "sim_show_file.h"

#include <QDataStream>
#include <QFile>

namespace {

QUuid uuidFromWords(quint32 u1, quint32 u2, quint32 u3, quint32 u4)
{
    return QUuid(u1, static_cast<ushort>(u2 >> 16), static_cast<ushort>(u2 & 0xFFFF),
                 static_cast<uchar>(u3 >> 24), static_cast<uchar>(u3 >> 16),
                 static_cast<uchar>(u3 >> 8), static_cast<uchar>(u3), static_cast<uchar>(u4 >> 24),
                 static_cast<uchar>(u4 >> 16), static_cast<uchar>(u4 >> 8), static_cast<uchar>(u4));
}

QUuid readUuid(QDataStream &stream)
{
    quint32 words[4];
    for (quint32 &word : words)
        stream >> word;
    if (stream.status() != QDataStream::Ok)
        return QUuid();
    return uuidFromWords(words[0], words[1], words[2], words[3]);
}

QUuid readGeneral(QDataStream &stream)
{
    quint16 marker = 0;
    quint32 signature = 0;
    quint16 markerAgain = 0;
    quint16 version = 0;
    quint8 firmware[3];
    stream >> marker >> signature >> markerAgain >> version;
    if (marker != 0xFF33 || signature != 0x00005678 || markerAgain != 0xFF33)
        return QUuid();
    for (quint8 &part : firmware)
        stream >> part;
    if (version < 306)
        return QUuid(); // the UUID came with version 306
    quint16 deviceType = 0;
    stream >> deviceType;
    return readUuid(stream);
}

QUuid readKma(QDataStream &stream)
{
    quint32 signature = 0;
    quint32 version = 0;
    quint8 firmware[3];
    stream >> signature >> version;
    if (signature != 0xA58100FF || version < 28)
        return QUuid();
    for (quint8 &part : firmware)
        stream >> part;
    return readUuid(stream);
}

} // namespace

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
    QDataStream stream(&file);
    stream.setByteOrder(layout == Layout_Kma ? QDataStream::LittleEndian : QDataStream::BigEndian);
    const QUuid uuid = layout == Layout_Kma ? readKma(stream) : readGeneral(stream);
    return stream.status() == QDataStream::Ok ? uuid : QUuid();
}
