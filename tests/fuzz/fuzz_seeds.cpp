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

#include <QDataStream>
#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>

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

bool projectJsonSeeds(const QString &dir)
{
    QTemporaryDir scratch;
    bool ok = scratch.isValid();
    for (int version = 0; version <= 7; ++version) {
        const QString path = scratch.filePath(QStringLiteral("p.lmp"));
        LumDocument document;
        ok &= ProjectFileBytes::writeFile(path, ProjectFileBytes::sampleProject(version).bytes()) &&
              document.load(path);
        // An export says only that a password is set; an import wants it given.
        QByteArray json = QJsonDocument(ProjectJson::toJson(document)).toJson();
        json.replace("\"password\": true", "\"password\": \"pw\"");
        json.replace("\"masterPassword\": true", "\"masterPassword\": \"mp\"");
        ok &= writeFile(dir + QStringLiteral("/sample_%1").arg(version), json);
    }
    return ok;
}

QByteArray validatorSeed()
{
    return ValidatorFile::write(7, ReaderInputs::validatorFiles());
}

using ReaderInputs::statusAnswer;

const char *const ReleaseFeed =
    "<?xml version=\"1.0\"?>\n<feed><releases>"
    "<release version=\"1.0.9\"><platform os=\"linux\"><downloadpage>http://example.org/page"
    "</downloadpage><downloadfile>http://example.org/file</downloadfile></platform>"
    "<platform os=\"win32\"><downloadpage>https://example.org/w</downloadpage></platform>"
    "<notes>Fixes</notes></release>"
    "<release version=\"1.1.0 RC1\"><platform os=\"macosx\"/></release>"
    "<release version=\"2.0 BETA3\"/></releases></feed>";

QByteArray list(const char *line)
{
    return QByteArray(1, '\0') + line;
}

// Per target, its seeds.
const QList<std::pair<const char *, QList<QByteArray>>> &textSeeds()
{
    static const QList<std::pair<const char *, QList<QByteArray>>> seeds{
        {"controller_status",
         {ReaderInputs::fullStatusAnswer(),
          statusAnswer("<hardwareType>KMA</hardwareType><serialNumber>A</serialNumber>"
                       "<serialNumber>B</serialNumber>"),
          statusAnswer("<projectUploadDate>2013-13-45T14:03:59</projectUploadDate>"
                       "<cfCardSizeKb>big</cfCardSizeKb>")}},
        {"validator_file", {validatorSeed(), validatorSeed().left(30)}},
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
        {"release_feed", {ReleaseFeed}},
    };
    return seeds;
}

bool textSeedsInto(const QString &root)
{
    bool ok = true;
    for (const auto &[target, seeds] : textSeeds()) {
        const QString dir = root + QLatin1Char('/') + QLatin1String(target);
        ok &= QDir().mkpath(dir);
        for (int i = 0; i < seeds.size(); ++i)
            ok &= writeFile(dir + QStringLiteral("/seed_%1").arg(i), seeds.at(i));
    }
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
    const QString jsonDir = root + QLatin1String("/project_json");
    if (!QDir().mkpath(showDir) || !showFileSeeds(showDir) || !QDir().mkpath(projectDir) ||
        !projectFileSeeds(projectDir) || !QDir().mkpath(jsonDir) || !projectJsonSeeds(jsonDir) ||
        !textSeedsInto(root)) {
        std::fprintf(stderr, "fuzz_seeds: cannot write the seeds into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
