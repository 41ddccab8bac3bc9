// libFuzzer target: the project file reader gets any bytes a file may hold.
// A file it accepts must also survive the writer: what is saved loads again
// and saves to the same bytes.

#include "lum_document.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace {

QString scratch(const char *name)
{
    return QDir::tempPath() +
           QStringLiteral("/fuzz_project_%1_%2.lmp").arg(::getpid()).arg(QLatin1String(name));
}

QByteArray saved(LumDocument &document, const QString &path)
{
    if (!document.saveAs(path))
        __builtin_trap();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        __builtin_trap();
    return file.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static LumDocument document;
    static const QString input = scratch("in");
    static const QString first = scratch("first");
    static const QString second = scratch("second");

    QFile file(input);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    if (!document.load(input)) {
        // A refused file leaves nothing behind.
        if (!document.groups().isEmpty() || !document.installations().isEmpty() ||
            !document.controllers().isEmpty() || !document.uploadSchedule().isEmpty())
            __builtin_trap();
        return 0;
    }
    const QByteArray once = saved(document, first);
    if (!document.load(first))
        __builtin_trap();
    if (saved(document, second) != once)
        __builtin_trap();
    return 0;
}
