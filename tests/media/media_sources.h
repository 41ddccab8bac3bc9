// The conversions' sources, made once per test with the ffmpeg tool.

#pragma once

#include "media_maker.h"
#include "test_main.h"

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class MediaSources : public QObject
{
    Q_OBJECT

protected:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Raw streams: PAL (suffix in capitals), NTSC, and one of a size to re-encode.
        QVERIFY2(MediaMaker::makeMpeg2(path(u"pal.M2V"_s), 720, 576, u"25"_s, 2) &&
                     MediaMaker::makeMpeg2(path(u"ntsc.m2v"_s), 720, 480, u"30000/1001"_s, 1) &&
                     MediaMaker::makeMpeg2(path(u"small.m2v"_s), 704, 576, u"25"_s, 2),
                 qPrintable(MediaMaker::lastError()));
        // The PAL stream with zero stuffing before its second picture, whose
        // start code the analysis' 1 MiB blocks then cut after its two zeros.
        QByteArray padded = readAll(path(u"pal.M2V"_s));
        const QByteArray pictureStart = QByteArray::fromHex("00000100");
        const qsizetype second = padded.indexOf(pictureStart, padded.indexOf(pictureStart) + 4);
        padded.insert(second, QByteArray(1024 * 1024 - 3 - second, '\0'));
        QVERIFY(writeFile(path(u"padded.m2v"_s), padded));
        QVERIFY(MediaMaker::makeMpeg2(path(u"film.m2v"_s), 720, 576, u"24"_s, 1));
        QVERIFY(MediaMaker::makeMpeg2(path(u"multiplex.m2v"_s), 720, 576, u"25"_s, 1, u"vob"_s));
        QVERIFY(MediaMaker::makeTone(path(u"short.wav"_s), 48000, 2, 0.3));
        QVERIFY(MediaMaker::makeTone(path(u"short.pcm"_s), 48000, 2, 0.3, {u"-f"_s, u"s16le"_s}));
        QVERIFY(MediaMaker::makeTone(path(u"mono.wav"_s), 48000, 1, 0.2));
        QVERIFY(MediaMaker::makeTone(path(u"twenty-hertz.wav"_s), 20, 2, 102.4)); // 2048 frames
        QVERIFY(writeFile(path(u"text.m2v"_s), "just some words, no sound or video\n"));
    }
};
