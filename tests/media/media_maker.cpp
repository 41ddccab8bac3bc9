#include "media_maker.h"

#include <QProcess>

namespace MediaMaker {

namespace {
QString theLastError;

QString runTool(const QString &program, const QStringList &arguments, bool *ok)
{
    QProcess process;
    process.start(program, arguments);
    *ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    if (!*ok)
        theLastError = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')) +
                       QLatin1String(": ") + QString::fromLocal8Bit(process.readAllStandardError());
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}
} // namespace

bool ffmpeg(const QStringList &arguments)
{
    bool ok = false;
    runTool(QStringLiteral("ffmpeg"),
            QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),
                        QStringLiteral("-loglevel"), QStringLiteral("error"),
                        QStringLiteral("-y")} +
                arguments,
            &ok);
    return ok;
}

bool makeMpeg2(const QString &path, int width, int height, const QString &rate, int seconds,
               const QString &format)
{
    const QString source =
        QStringLiteral("testsrc2=size=%1x%2:rate=%3").arg(width).arg(height).arg(rate);
    return ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), source,
                   QStringLiteral("-t"), QString::number(seconds), QStringLiteral("-c:v"),
                   QStringLiteral("mpeg2video"), QStringLiteral("-g"), QStringLiteral("12"),
                   QStringLiteral("-bf"), QStringLiteral("2"), QStringLiteral("-b:v"),
                   QStringLiteral("4M"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                   QStringLiteral("-f"), format, path});
}

bool makeTone(const QString &path, int sampleRate, int channels, double seconds,
              const QStringList &codecArguments)
{
    const QString source = QStringLiteral("sine=frequency=440:sample_rate=%1").arg(sampleRate);
    return ffmpeg(QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                              source, QStringLiteral("-t"), QString::number(seconds),
                              QStringLiteral("-ac"), QString::number(channels)} +
                  codecArguments + QStringList{path});
}

QString probe(const QString &entry, const QString &path, const QStringList &extra)
{
    bool ok = false;
    const QString value =
        runTool(QStringLiteral("ffprobe"),
                QStringList{QStringLiteral("-v"), QStringLiteral("error")} + extra +
                    QStringList{QStringLiteral("-show_entries"), entry, QStringLiteral("-of"),
                                QStringLiteral("default=noprint_wrappers=1:nokey=1"), path},
                &ok);
    return ok ? value : QString();
}

QString lastError()
{
    return theLastError;
}

} // namespace MediaMaker
