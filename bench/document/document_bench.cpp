// rw_document_bench: saving and loading a project of the maximum size (1024
// groups, installations and controllers, every controller template with 32
// clips), timed against writing and reading the same bytes with a plain
// file in the same process; memory against the size of the project.
//
//   build/bin/rw_document_bench [ROUNDS]

#include "lum_document.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int ClipsPerTemplate = 32;

// Heap in use, in bytes.
long heapBytes()
{
    return long(mallinfo2().uordblks);
}

InstallationTemplatePtr templateWithClips(int index)
{
    auto rig = std::make_shared<InstallationTemplate>(QStringLiteral("Group %1").arg(index));
    auto controllerTemplate = std::make_shared<ControllerTemplate>();
    controllerTemplate->setName(QStringLiteral("Controller %1").arg(index));
    controllerTemplate->restoreShowFile(QStringLiteral("/shows/site-%1/show.wrn").arg(index));
    controllerTemplate->setShowReadTime(QDateTime::currentDateTime());
    controllerTemplate->setShowProjectUuid(QUuid::createUuid());
    MediaClips clips;
    for (int clip = 1; clip <= ClipsPerTemplate; ++clip) {
        MediaClip mediaClip(QStringLiteral("Clip %1").arg(clip));
        const QString video = QStringLiteral("/media/site-%1/clip%2.mpg").arg(index).arg(clip);
        const QString audio = QStringLiteral("/media/site-%1/clip%2.wav").arg(index).arg(clip);
        mediaClip.setFile(MediaType_Video,
                          ClipFile(video, QByteArray("clip-video-") + QByteArray::number(clip)));
        mediaClip.setFile(MediaType_Audio,
                          ClipFile(audio, QByteArray("clip-audio-") + QByteArray::number(clip)));
        clips[clip] = mediaClip;
        controllerTemplate->setMediaPath(clip, MediaType_Video, video);
        controllerTemplate->setMediaPath(clip, MediaType_Audio, audio);
    }
    controllerTemplate->setFileMediaClips(clips);
    rig->appendControllerTemplate(controllerTemplate);
    return rig;
}

// `size` groups of one installation of one controller each.
void build(LumDocument &document, int size)
{
    for (int i = 0; i < size; ++i) {
        const uint groupId = document.addGroup(*templateWithClips(i));
        const uint installationId = document.addInstallation(groupId);
        const uint controllerId = document.installation(installationId)->controllerIds().first();
        document.controller(controllerId)
            ->restoreAddress(QStringLiteral("10.0.%1.%2").arg(i / 256).arg(i % 256), 80, 21);
        if (i % 8 == 0)
            document.uploadSchedule().schedule(controllerId,
                                               QDateTime::currentDateTime().addDays(1 + i % 5));
    }
}

double milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The heap a document of `size` controllers holds, built and after a save
// and a load, measured in a child process so that each size starts from the
// same heap.
struct Memory
{
    long built = -1;
    long loaded = -1;
};

Memory documentMemory(int size, const QString &path)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        Memory memory;
        const long before = heapBytes();
        {
            LumDocument document;
            build(document, size);
            memory.built = heapBytes() - before;
            document.saveAs(path);
        }
        LumDocument document;
        document.load(path);
        memory.loaded = heapBytes() - before;
        (void)!::write(pipeFds[1], &memory, sizeof memory);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    Memory memory;
    (void)!::read(pipeFds[0], &memory, sizeof memory);
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    return memory;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("maximum.lmp"));
    const QString plain = dir.filePath(QStringLiteral("plain.bin"));

    LumDocument document;
    build(document, int(LumDocument::TableMaximum));
    if (!document.saveAs(project)) {
        std::fprintf(stderr, "cannot save %s\n", qPrintable(project));
        return 1;
    }
    QFile saved(project);
    saved.open(QIODevice::ReadOnly);
    const QByteArray bytes = saved.readAll();

    // Best of the rounds: the figures are about the code, not the machine's noise.
    double save = 1e9, load = 1e9, write = 1e9, read = 1e9, reset = 1e9;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        document.save();
        save = std::min(save, milliseconds(timer));

        timer.restart();
        QFile out(plain);
        out.open(QIODevice::WriteOnly);
        out.write(bytes);
        out.close();
        write = std::min(write, milliseconds(timer));

        timer.restart();
        document.reset();
        reset = std::min(reset, milliseconds(timer));
        timer.restart();
        if (!document.load(project)) {
            std::fprintf(stderr, "cannot load %s\n", qPrintable(project));
            return 1;
        }
        load = std::min(load, milliseconds(timer));

        timer.restart();
        QFile in(plain);
        in.open(QIODevice::ReadOnly);
        const QByteArray back = in.readAll();
        read = std::min(read, milliseconds(timer));
        if (back.size() != bytes.size())
            return 1;
    }

    std::printf("project: %u groups, %u installations, %u controllers, %d clips per template, "
                "file %.2f MB\n",
                document.groups().count(), document.installations().count(),
                document.controllers().count(), ClipsPerTemplate, double(bytes.size()) / 1e6);
    std::printf("save  %7.2f ms   plain write of the same bytes %6.2f ms   ratio %.1f\n", save,
                write, save / write);
    std::printf("load  %7.2f ms   plain read of the same bytes  %6.2f ms   ratio %.1f\n", load,
                read, load / read);
    std::printf("      (closing the loaded project before: %.2f ms more)\n", reset);

    // Memory: in proportion to the project, and a fraction of it to the file.
    long previous = 0;
    for (const int size : {256, 512, 1024}) {
        const Memory memory = documentMemory(size, dir.filePath(QStringLiteral("m.lmp")));
        const qint64 fileSize = QFileInfo(dir.filePath(QStringLiteral("m.lmp"))).size();
        std::printf("memory, %4d controllers: built %6.2f MB, loaded %6.2f MB = %4.1f kB per "
                    "controller, %.1f x the file%s\n",
                    size, double(memory.built) / 1e6, double(memory.loaded) / 1e6,
                    double(memory.loaded) / 1e3 / size, double(memory.loaded) / double(fileSize),
                    previous
                        ? qPrintable(QStringLiteral(", %1 x the half size")
                                         .arg(double(memory.loaded) / double(previous), 0, 'f', 2))
                        : "");
        previous = memory.loaded;
    }
    return 0;
}
