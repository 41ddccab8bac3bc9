#pragma once

#include <QString>
#include <QStringList>

// Makes small media files for the tests with the ffmpeg command-line tool and
// asks ffprobe about files. Every call waits for the tool; failures return
// false or an empty text and leave the tool's message in lastError().
namespace MediaMaker {

// ffmpeg -hide_banner -loglevel error -y ARGUMENTS
bool ffmpeg(const QStringList &arguments);

// `seconds` of a moving test picture as an MPEG-2 elementary stream (groups
// of 12, two B pictures), or in another container when `format` names one.
bool makeMpeg2(const QString &path, int width, int height, const QString &rate, int seconds,
               const QString &format = QStringLiteral("mpeg2video"));

// `seconds` of a 440 Hz tone at 1/8 of full scale; `codecArguments` choose the
// format, e.g. {"-f", "s16le"} or {"-c:a", "libmp3lame"}.
bool makeTone(const QString &path, int sampleRate, int channels, double seconds,
              const QStringList &codecArguments = {});

// ffprobe's value of one entry, e.g. ("stream=width", path) gives "720".
QString probe(const QString &entry, const QString &path, const QStringList &extra = {});

QString lastError();

} // namespace MediaMaker
