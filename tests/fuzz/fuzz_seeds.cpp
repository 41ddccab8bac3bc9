// Writes the seed corpus of the fuzz targets, one folder per target and one
// file per seed: the show files and project files that the unit tests build
// byte by byte, the project JSON they export, and the answers of controllers,
// FTP and mail servers and the release feed that the tests used to spell out
// case by case.
//
// Usage: fuzz_seeds CORPUS_DIR

#include "lum_document.h"
#include "project_file_bytes.h"
#include "project_json.h"
#include "reader_inputs.h"
#include "show_file_bytes.h"
#include "validator_file.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace ShowFileBytes;

// The first byte picks the format: 0 general, 1 KMA.
QList<QByteArray> showFileSeeds()
{
    QList<QByteArray> seeds;
    for (quint16 version : {quint16(299), quint16(300), quint16(305), quint16(306), quint16(315)}) {
        General general;
        general.version = version;
        general.names = {QByteArray("clip01.bin"), QByteArray("a-name-longer-than-sixteen.bin")};
        seeds << QByteArray(1, 0) + general.bytes();
    }
    for (quint32 version : {27u, 28u}) {
        Kma kma;
        kma.version = version;
        kma.clips = {
            {1, "Intro", "/m/intro.mpg", "intro.vid", "/m/intro.wav", "intro.aud"},
            {7, "Long", "/m/l.mpg", "a-name-longer-than-sixteen", QByteArray(), QByteArray()}};
        seeds << QByteArray(1, 1) + kma.bytes();
    }
    return seeds;
}

QList<QByteArray> projectFileSeeds()
{
    QList<QByteArray> seeds;
    for (int version = 0; version <= 7; ++version)
        seeds << ProjectFileBytes::sampleProject(version).bytes();
    // An empty project and one whose schedule holds a single controller.
    ProjectFileBytes::Project scheduled = ProjectFileBytes::sampleProject(7);
    scheduled.schedule = {{{ProjectFileBytes::dayFuture, 0, 2}, {9}}};
    return seeds << ProjectFileBytes::Project().bytes() << scheduled.bytes();
}

QList<QByteArray> projectJsonSeeds()
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("p.lmp"));
    QList<QByteArray> seeds;
    for (int version = 0; version <= 7; ++version) {
        LumDocument document;
        if (!ProjectFileBytes::writeFile(path, ProjectFileBytes::sampleProject(version).bytes()) ||
            !document.load(path))
            qFatal("fuzz_seeds: the sample project of version %d does not load", version);
        // An export says only that a password is set; an import wants it given.
        QByteArray json = QJsonDocument(ProjectJson::toJson(document)).toJson();
        json.replace("\"password\": true", "\"password\": \"pw\"");
        json.replace("\"masterPassword\": true", "\"masterPassword\": \"mp\"");
        seeds << json;
    }
    return seeds;
}

using ReaderInputs::statusAnswer;

QByteArray list(const char *line)
{
    return QByteArray(1, '\0') + line;
}

// Per target, its seeds.
QList<std::pair<const char *, QList<QByteArray>>> targetSeeds()
{
    const QByteArray validator = ValidatorFile::write(7, ReaderInputs::validatorFiles());
    return {
        {"controller_status",
         {ReaderInputs::fullStatusAnswer(),
          statusAnswer("<hardwareType>KMA</hardwareType><serialNumber>A</serialNumber>"
                       "<serialNumber>B</serialNumber>"),
          statusAnswer("<projectUploadDate>2013-13-45T14:03:59</projectUploadDate>"
                       "<cfCardSizeKb>big</cfCardSizeKb>")}},
        {"validator_file", {validator, validator.left(30)}},
        // The first byte: 0 for a LIST line, 1 for an MLSD line.
        {"ftp_list_line",
         {list("-rw-r--r--   1 rigward rigward     1234 Nov  5 14:03 upload.wr_"),
          list("drwxr-x--- 2 ftp ftp 4096 Jan 01  2013 my media"),
          list("lrwxrwxrwx 1 a b 7 Mar 3 2010 current -> show.wr_"),
          list("-rwxr-xr-x+ 1 owner 77 Feb 28 2012 run"),
          list("01-16-02  12:14AM       <DIR>          media files"),
          list("03-04-1999  23:59  10 a.txt"),
          "\x01type=file;size=1234;modify=20131105140359.123; _val_id",
          "\x01Type=dir;Modify=20131105140359;UNIX.mode=0755; my folder",
          "\x01type=cdir;modify=20131105140359; ."}},
        {"ftp_reply",
         {"220 ready\r\n331 password\r\n230 logged in\r\n250 ok\r\n221 bye\r\n",
          "220-welcome\r\n more\r\n220 ready\r\n230 no password needed\r\n550 no\r\n",
          "220 ready\r\n331 password\r\n530 login incorrect\r\n"}},
        {"smtp_reply",
         {"220 fake ready\r\n250-fake\r\n250 HELP\r\n250 OK\r\n250 OK\r\n550 no user\r\n"
          "354 go ahead\r\n250 queued\r\n221 bye\r\n",
          "220 fake\r\n250-fake\r\n250 AUTH LOGIN PLAIN CRAM-MD5\r\n"
          "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n235 ok\r\n",
          "220 fake\r\n250-fake\r\n250 AUTH LOGIN\r\n334 VXNlcm5hbWU6\r\n"
          "334 UGFzc3dvcmQ6\r\n235 ok\r\n250 OK\r\n251 will forward\r\n",
          "220 fake\r\n500 unrecognised\r\n250 fake\r\n250 OK\r\n"}},
        {"release_feed",
         {"<?xml version=\"1.0\"?>\n<feed><releases>"
          "<release version=\"1.0.9\"><platform os=\"linux\"><downloadpage>http://example.org/page"
          "</downloadpage><downloadfile>http://example.org/file</downloadfile></platform>"
          "<platform os=\"win32\"><downloadpage>https://example.org/w</downloadpage></platform>"
          "<notes>Fixes</notes></release>"
          "<release version=\"1.1.0 RC1\"><platform os=\"macosx\"/></release>"
          "<release version=\"2.0 BETA3\"/></releases></feed>"}},
        {"show_file", showFileSeeds()},
        {"project_file", projectFileSeeds()},
        {"project_json", projectJsonSeeds()},
    };
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds CORPUS_DIR\n");
        return 2;
    }
    for (const auto &[target, seeds] : targetSeeds()) {
        const QString dir =
            QString::fromLocal8Bit(argv[1]) + QLatin1Char('/') + QLatin1String(target);
        bool ok = QDir().mkpath(dir);
        for (int i = 0; i < seeds.size(); ++i)
            ok &= writeFile(dir + QStringLiteral("/seed_%1").arg(i), seeds.at(i));
        if (!ok) {
            std::fprintf(stderr, "fuzz_seeds: cannot write the seeds into %s\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
