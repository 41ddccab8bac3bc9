#include "show_file_reader.h"

#include "types.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>

#include <algorithm>

namespace {

constexpr quint16 generalMarker = 0xFF33;
constexpr quint32 generalSignature = 0x00005678;
constexpr quint32 generalDeviceTypeVersion = 300;
constexpr quint32 generalUuidVersion = 306;
constexpr quint32 generalClipsVersion = 315;

constexpr quint32 kmaSignature = 0xA58100FF;
constexpr quint32 kmaFirstReadableVersion = 28;

// The fields of a show file header in the file's byte order. A read past the
// end of the data marks the stream failed; every later read then yields
// nothing, so callers check ok() once after a group of fields.
class HeaderStream
{
public:
    HeaderStream(QIODevice &device, QDataStream::ByteOrder order) : m_in(&device)
    {
        m_in.setByteOrder(order);
    }

    bool ok() const { return m_in.status() == QDataStream::Ok; }
    void fail() { m_in.setStatus(QDataStream::ReadCorruptData); }

    template <typename T>
    T number()
    {
        T value = 0;
        m_in >> value;
        return value;
    }

    FirmwareVersion firmware()
    {
        FirmwareVersion version;
        m_in >> version.major >> version.minor >> version.point;
        return version;
    }

    // Four 32-bit numbers u1 to u4: u1 is the first field, u2 holds the second
    // and third, u3 and u4 give the last eight bytes, most significant first.
    QUuid uuid()
    {
        const quint32 u1 = number<quint32>();
        const quint32 u2 = number<quint32>();
        const quint32 u3 = number<quint32>();
        const quint32 u4 = number<quint32>();
        return QUuid(u1, quint16(u2 >> 16), quint16(u2), uchar(u3 >> 24), uchar(u3 >> 16),
                     uchar(u3 >> 8), uchar(u3), uchar(u4 >> 24), uchar(u4 >> 16), uchar(u4 >> 8),
                     uchar(u4));
    }

    // A 16-bit byte count, then that many bytes of UTF-8.
    QString text()
    {
        const quint16 length = number<quint16>();
        if (!ok())
            return {};
        if (length > m_textBudget) {
            fail();
            return {};
        }
        m_textBudget -= length;
        QByteArray bytes(length, Qt::Uninitialized);
        if (m_in.readRawData(bytes.data(), length) != length)
            return {};
        return QString::fromUtf8(bytes);
    }

    // A remote name of `length` bytes: the controller's field holds 16, so
    // only those are kept and the rest of a longer name is skipped, leaving
    // the stream at the next field.
    QByteArray remoteName(quint16 length)
    {
        const int kept = std::min<int>(length, ClipFile::RemoteNameSize);
        QByteArray name(kept, Qt::Uninitialized);
        if (m_in.readRawData(name.data(), kept) != kept)
            return {};
        const int rest = length - kept;
        if (rest > 0 && m_in.skipRawData(rest) != rest)
            return {};
        return name;
    }

private:
    QDataStream m_in;
    qint64 m_textBudget = ShowFileReader::MaxTextBytes;
};

ShowFileInfo withStatus(ShowFileInfo::Status status)
{
    ShowFileInfo info;
    info.status = status;
    return info;
}

} // namespace

ShowFileReader::Format ShowFileReader::formatFor(int hardwareType)
{
    if (HardwareType::compatible(hardwareType, 1))
        return Format_General;
    if (HardwareType::compatible(hardwareType, 3))
        return Format_Kma;
    return Format_None;
}

ShowFileInfo ShowFileReader::read(QIODevice &device, Format format)
{
    switch (format) {
    case Format_General:
        return readGeneral(device);
    case Format_Kma:
        return readKma(device);
    case Format_None:
        break;
    }
    return withStatus(ShowFileInfo::Status_WrongSignature);
}

ShowFileInfo ShowFileReader::read(const QByteArray &data, Format format)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, format);
}

ShowFileInfo ShowFileReader::readGeneral(QIODevice &device)
{
    HeaderStream in(device, QDataStream::BigEndian);
    const quint16 marker = in.number<quint16>();
    const quint32 signature = in.number<quint32>();
    const quint16 repeatedMarker = in.number<quint16>();
    if (!in.ok() || marker != generalMarker || repeatedMarker != generalMarker ||
        signature != generalSignature)
        return withStatus(ShowFileInfo::Status_WrongSignature);

    ShowFileInfo info;
    info.version = in.number<quint16>();
    info.minimumFirmware = in.firmware();
    if (info.version >= generalDeviceTypeVersion)
        info.deviceType = in.number<quint16>();
    if (info.version >= generalUuidVersion)
        info.projectUuid = in.uuid();
    if (info.version >= generalClipsVersion) {
        const quint16 count = in.number<quint16>();
        for (int index = 0; index < count && in.ok(); ++index) {
            const QByteArray name = in.remoteName(in.number<quint16>());
            MediaClip clip(QCoreApplication::translate("ShowFileReader", "Slot %1").arg(index + 1));
            clip.setFile(MediaType_Slot, ClipFile(QString(), name));
            info.clips[index] = clip;
        }
    }
    if (!in.ok())
        return withStatus(ShowFileInfo::Status_Damaged);
    return info;
}

ShowFileInfo ShowFileReader::readKma(QIODevice &device)
{
    HeaderStream in(device, QDataStream::LittleEndian);
    const quint32 signature = in.number<quint32>();
    if (!in.ok() || signature != kmaSignature)
        return withStatus(ShowFileInfo::Status_WrongSignature);

    ShowFileInfo info;
    info.version = in.number<quint32>();
    if (!in.ok())
        return withStatus(ShowFileInfo::Status_Damaged);
    if (info.version < kmaFirstReadableVersion)
        return info;

    info.minimumFirmware = in.firmware();
    info.projectUuid = in.uuid();
    const quint32 count = in.number<quint32>();
    if (count > MaxClipCount)
        in.fail();
    for (quint32 index = 0; index < count && in.ok(); ++index) {
        const qint32 number = in.number<qint32>();
        MediaClip clip(in.text());
        const QString videoPath = in.text();
        const QByteArray videoName = in.remoteName(in.number<quint16>());
        const QString audioPath = in.text();
        const QByteArray audioName = in.remoteName(in.number<quint16>());
        if (!videoPath.isEmpty())
            clip.setFile(MediaType_Video, ClipFile(videoPath, videoName));
        if (!audioPath.isEmpty())
            clip.setFile(MediaType_Audio, ClipFile(audioPath, audioName));
        info.clips[number] = clip;
    }
    if (!in.ok())
        return withStatus(ShowFileInfo::Status_Damaged);
    return info;
}
