// Writes the seed corpus of the fuzz targets: the show files and project
// files that the unit tests build byte by byte, one file per seed.
//
// Usage: fuzz_seeds CORPUS_DIR   (makes CORPUS_DIR/show_file, CORPUS_DIR/project_file)

#include "project_file_bytes.h"
#include "show_file_bytes.h"

#include <QDir>

#include <cstdio>

namespace {

using namespace ShowFileBytes;

bool writeSeed(const QString &dir, const QString &name, char format, const QByteArray &bytes)
{
    return writeFile(dir + QLatin1Char('/') + name, QByteArray(1, format) + bytes);
}

bool showFileSeeds(const QString &dir)
{
    bool ok = true;
    for (quint16 version : {quint16(299), quint16(300), quint16(305), quint16(306), quint16(315)}) {
        General general;
        general.version = version;
        general.names = {QByteArray("clip01.bin"), QByteArray("a-name-longer-than-sixteen.bin")};
        ok &= writeSeed(dir, QStringLiteral("general_%1").arg(version), 0, general.bytes());
    }
    for (quint32 version : {27u, 28u}) {
        Kma kma;
        kma.version = version;
        kma.clips = {
            {1, "Intro", "/m/intro.mpg", "intro.vid", "/m/intro.wav", "intro.aud"},
            {7, "Long", "/m/l.mpg", "a-name-longer-than-sixteen", QByteArray(), QByteArray()}};
        ok &= writeSeed(dir, QStringLiteral("kma_%1").arg(version), 1, kma.bytes());
    }
    return ok;
}

bool projectFileSeeds(const QString &dir)
{
    bool ok = true;
    for (int version = 0; version <= 7; ++version) {
        const QByteArray bytes = ProjectFileBytes::sampleProject(version).bytes();
        ok &= ProjectFileBytes::writeFile(dir + QStringLiteral("/sample_%1").arg(version), bytes);
    }
    // An empty project and one whose schedule holds a single controller.
    ProjectFileBytes::Project empty;
    ok &= ProjectFileBytes::writeFile(dir + QStringLiteral("/empty"), empty.bytes());
    ProjectFileBytes::Project scheduled = ProjectFileBytes::sampleProject(7);
    scheduled.schedule = {{{ProjectFileBytes::dayFuture, 0, 2}, {9}}};
    ok &= ProjectFileBytes::writeFile(dir + QStringLiteral("/scheduled"), scheduled.bytes());
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds CORPUS_DIR\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString showDir = root + QLatin1String("/show_file");
    const QString projectDir = root + QLatin1String("/project_file");
    if (!QDir().mkpath(showDir) || !showFileSeeds(showDir) || !QDir().mkpath(projectDir) ||
        !projectFileSeeds(projectDir)) {
        std::fprintf(stderr, "fuzz_seeds: cannot write the seeds into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
