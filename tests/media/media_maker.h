#pragma once

#include <QProcess>

// Makes small media files for the tests with the ffmpeg command-line tool and
// asks ffprobe about files. Every call waits for the tool; failures return
// false or an empty text and leave the tool's message in lastError().
namespace MediaMaker {

using namespace Qt::StringLiterals;

inline QString theLastError;

inline QString runTool(const QString &program, const QStringList &arguments, bool *ok)
{
    QProcess process;
    process.start(program, arguments);
    *ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    if (!*ok)
        theLastError = program + u' ' + arguments.join(u' ') + u": "_s +
                       QString::fromLocal8Bit(process.readAllStandardError());
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

inline bool ffmpeg(const QStringList &arguments)
{
    bool ok = false;
    runTool(u"ffmpeg"_s,
            QStringList{u"-hide_banner"_s, u"-nostdin"_s, u"-loglevel"_s, u"error"_s, u"-y"_s} +
                arguments,
            &ok);
    return ok;
}

// `seconds` of a moving test picture as an MPEG-2 elementary stream (groups
// of 12, two B pictures), or in another container when `format` names one.
inline bool makeMpeg2(const QString &path, int width, int height, const QString &rate, int seconds,
                      const QString &format = QStringLiteral("mpeg2video"))
{
    return ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s,
                   u"testsrc2=size=%1x%2:rate=%3"_s.arg(width).arg(height).arg(rate), u"-t"_s,
                   QString::number(seconds), u"-c:v"_s, u"mpeg2video"_s, u"-g"_s, u"12"_s, u"-bf"_s,
                   u"2"_s, u"-b:v"_s, u"4M"_s, u"-pix_fmt"_s, u"yuv420p"_s, u"-f"_s, format, path});
}

// `seconds` of a 440 Hz tone at 1/8 of full scale; `codecArguments` choose the
// format, e.g. {"-f", "s16le"} or {"-c:a", "libmp3lame"}.
inline bool makeTone(const QString &path, int sampleRate, int channels, double seconds,
                     const QStringList &codecArguments = {})
{
    return ffmpeg(QStringList{u"-f"_s, u"lavfi"_s, u"-i"_s,
                              u"sine=frequency=440:sample_rate=%1"_s.arg(sampleRate), u"-t"_s,
                              QString::number(seconds), u"-ac"_s, QString::number(channels)} +
                  codecArguments + QStringList{path});
}

// ffprobe's value of one entry, e.g. ("stream=width", path) gives "720".
inline QString probe(const QString &entry, const QString &path, const QStringList &extra = {})
{
    bool ok = false;
    const QString value = runTool(u"ffprobe"_s,
                                  QStringList{u"-v"_s, u"error"_s} + extra +
                                      QStringList{u"-show_entries"_s, entry, u"-of"_s,
                                                  u"default=noprint_wrappers=1:nokey=1"_s, path},
                                  &ok);
    return ok ? value : QString();
}

inline QString lastError()
{
    return theLastError;
}

} // namespace MediaMaker
