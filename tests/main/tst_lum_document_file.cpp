// Loading and saving projects: files of every version built byte by byte,
// compared field by field; files that must be refused; the table limits;
// saves that fail.

#include "lum_document.h"
#include "password_cipher.h"
#include "project_file_bytes.h"
#include "streamer.h"
#include "test_main.h"

#include <QDir>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUndoStack>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace PB = ProjectFileBytes;

namespace {

QDateTime localTime(quint32 julianDay, int msecs)
{
    return QDateTime(QDate::fromJulianDay(julianDay), QTime::fromMSecsSinceStartOfDay(msecs),
                     Qt::LocalTime);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isEmpty(const LumDocument &document)
{
    return document.groups().isEmpty() && document.installations().isEmpty() &&
           document.controllers().isEmpty() && document.uploadSchedule().isEmpty() &&
           document.masterPassword().isEmpty() && document.path().isNull() &&
           document.mailSettings() == MailSettings() && document.expandedGroups().empty();
}

// The sample's templates as the reader must rebuild them for `version`.
ControllerTemplate expectedNx(int version)
{
    ControllerTemplate nx;
    nx.setNumber(1);
    nx.setHardwareType(9);
    nx.setName(u"Stage left"_s);
    nx.restoreShowFile(u"/shows/main.wrn"_s);
    nx.setMediaPaths(
        {{{-1, MediaType_Folder}, u"/media"_s}, {{1, MediaType_Slot}, u"/media/clip01.bin"_s}});
    nx.setMinimumFirmware({2, 5, 1});
    nx.setShowDeviceType(9);
    nx.setShowReadTime(localTime(PB::day2024, 45296789));
    nx.setShowProjectUuid(QUuid(u"{00112233-4455-6677-8899-aabbccddeeff}"_s));
    // Before version 5 a clip's first file is its video, whatever it was.
    MediaClip opening(u"Opening"_s);
    opening.setFile(version >= 5 ? MediaType_Slot : MediaType_Video,
                    ClipFile(u"/m/clip01.bin"_s, "clip01.bin"));
    nx.setFileMediaClips({{1, opening}});
    return nx;
}

ControllerTemplate expectedKma()
{
    ControllerTemplate kma;
    kma.setNumber(2);
    kma.setHardwareType(3);
    kma.restoreShowFile(u""_s);
    kma.setMediaPaths(
        {{{1, MediaType_Video}, u"/m/intro.mpg"_s}, {{1, MediaType_Audio}, u"/m/intro.wav"_s}});
    kma.setShowReadTime(QDateTime(QDate::fromJulianDay(PB::day2024), QTime(0, 0), Qt::UTC));
    MediaClip intro(u"Intro"_s);
    intro.setFile(MediaType_Video, ClipFile(u"/m/intro.mpg"_s, "intro.vid"));
    intro.setFile(MediaType_Audio, ClipFile(u"/m/intro.wav"_s, "sixteen-bytes-xx"));
    MediaClip videoOnly(u"Video only"_s);
    videoOnly.setFile(MediaType_Video, ClipFile(u"/m/v.mpg"_s, "v.vid"));
    kma.setFileMediaClips({{1, intro}, {7, videoOnly}});
    return kma;
}

QList<uint> ids(const auto &table)
{
    QList<uint> result;
    for (const auto *each : table)
        result.append(each->getId());
    return result;
}

} // namespace

class TestLumDocumentFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString write(const QByteArray &bytes, const QString &name = u"p.lmp"_s)
    {
        const QString path = m_dir.filePath(name);
        PB::writeFile(path, bytes);
        return path;
    }

    void refuses(const QByteArray &bytes, const QString &reasonPart = QString())
    {
        LumDocument document;
        QString error;
        QVERIFY2(!document.load(write(bytes), &error), "the file was accepted");
        QVERIFY(!error.isEmpty());
        if (!reasonPart.isEmpty())
            QVERIFY2(error.contains(reasonPart), qPrintable(error));
        QVERIFY(isEmpty(document));
    }

private slots:
    void everyVersionIsReadFieldByField_data()
    {
        QTest::addColumn<int>("version");
        for (int version = 0; version <= 7; ++version)
            QTest::addRow("version %d", version) << version;
    }

    void everyVersionIsReadFieldByField()
    {
        QFETCH(int, version);
        LumDocument document;
        QString error;
        const QString path = write(PB::sampleProject(version).bytes());
        QVERIFY2(document.load(path, &error), qPrintable(error));
        QCOMPARE(document.path(), path);
        QVERIFY(document.isClean());

        // Identifiers with their gaps.
        QCOMPARE(ids(document.groups()), (QList<uint>{0, 3}));
        QCOMPARE(ids(document.installations()), (QList<uint>{0, 5}));
        QCOMPARE(ids(document.controllers()), (QList<uint>{1, 2, 4, 9}));

        const InstallationGroup *empty = document.group(0);
        QVERIFY(!empty->installationTemplate()->name().isNull());
        QCOMPARE(empty->name(), u"Unnamed Group"_s);
        QVERIFY(empty->installationTemplate()->controllerTemplates().isEmpty());

        const InstallationGroup *main = document.group(3);
        QCOMPARE(main->name(), u"Main stage"_s);
        QCOMPARE(main->installationIds(), (QList<uint>{5, 0}));
        QCOMPARE(main->password(), version >= 1 ? u"g\u00e9p"_s : QString());
        const auto &templates = main->installationTemplate()->controllerTemplates();
        QCOMPARE(templates.size(), 2);
        QCOMPARE(*templates[0], expectedNx(version));
        QCOMPARE(*templates[1], expectedKma());
        QVERIFY(templates[1]->name().isNull());
        QVERIFY(!templates[1]->showFile().isNull());

        const Installation *front = document.installation(0);
        QCOMPARE(front->groupId(), 3u);
        QCOMPARE(front->storedName(), u"Front"_s);
        QCOMPARE(front->controllerIds(), (QList<uint>{2, 9}));
        const Installation *back = document.installation(5);
        QVERIFY(back->storedName().isNull());
        QCOMPARE(back->controllerIds(), (QList<uint>{4, 1}));
        QCOMPARE(back->password(), version >= 1 ? u"ip"_s : QString());

        // Hostnames were IPv4 numbers before version 7, most significant byte first.
        QStringList hosts;
        for (const uint id : {1, 2, 4, 9})
            hosts << document.controller(id)->hostname();
        QCOMPARE(hosts,
                 (QStringList{u"10.0.0.12"_s, u"192.168.0.1"_s,
                              version >= 7 ? u"stage-4.local"_s : u"127.0.0.1"_s, u"0.0.0.0"_s}));
        const Controller *first = document.controller(1);
        QCOMPARE(first->installationId(), 5u);
        QCOMPARE(first->httpPort(), 8080u);
        QCOMPARE(first->ftpPort(), 2121u);
        QCOMPARE(first->password(), version >= 1 ? u"cp"_s : QString());

        // The i-th controller of an installation runs the i-th controller template.
        QCOMPARE(*document.controller(2)->controllerTemplate(), *templates[0]);
        QCOMPARE(*document.controller(9)->controllerTemplate(), *templates[1]);
        QCOMPARE(*document.controller(4)->controllerTemplate(), *templates[0]);
        QCOMPARE(*document.controller(1)->controllerTemplate(), *templates[1]);

        QCOMPARE(document.masterPassword(), version >= 1 ? u"mp"_s : QString());

        const UploadSchedule &schedule = document.uploadSchedule();
        const QDateTime future = localTime(PB::dayFuture, 36000000);
        if (version >= 4) {
            // A time that has passed is kept: the application uploads it at once.
            QCOMPARE(schedule.times(), (QList<QDateTime>{localTime(PB::day2024, 0), future}));
            QCOMPARE(schedule.scheduledTime(4), localTime(PB::day2024, 0));
            QCOMPARE(schedule.scheduledTime(1), future);
            QCOMPARE(schedule.scheduledTime(9), future);
        } else if (version >= 2) {
            QCOMPARE(schedule.times(), QList<QDateTime>{future});
            QCOMPARE(schedule.scheduledTime(2), future);
            QCOMPARE(schedule.scheduledTime(4), future);
        } else {
            QVERIFY(schedule.isEmpty());
        }

        MailSettings mail;
        if (version >= 3) {
            mail.enabled = true;
            mail.server = u"mail.example.com"_s;
            mail.port = 587;
            mail.recipients = {u"a@example.com"_s, u"b@example.org"_s};
        }
        if (version >= 6) {
            mail.username = u"ops"_s;
            mail.password = u"sp"_s;
        }
        QCOMPARE(document.mailSettings(), mail);

        // A stored width replaces only the default of its own column.
        QCOMPARE(document.columnWidths(LumDocument::Table_MAIN),
                 (LumDocument::ColumnWidths{
                     {0, 250}, {1, 50}, {2, 80}, {3, 90}, {4, 80}, {5, 50}, {6, 200}, {9, 40}}));
        QCOMPARE(document.columnWidths(LumDocument::Table_PASSWORD),
                 version >= 1 ? (LumDocument::ColumnWidths{{0, 200}, {1, 120}})
                              : (LumDocument::ColumnWidths{{0, 200}, {1, 200}}));
        QCOMPARE(document.expandedGroups(), (IdSet{3}));
        QCOMPARE(document.expandedInstallations(), (IdSet{0, 5}));
    }

    void devicesWithoutEndAreRefused()
    {
        LumDocument document;
        QVERIFY(!document.load(u"/dev/zero"_s));
    }

    // Every version is saved as version 7; what the writer produces for the
    // sample is what the independent builder produces.
    void everyVersionIsSavedAsVersionSeven_data() { everyVersionIsReadFieldByField_data(); }

    void everyVersionIsSavedAsVersionSeven()
    {
        QFETCH(int, version);
        LumDocument document;
        QVERIFY(document.load(write(PB::sampleProject(version).bytes())));
        const QString saved = m_dir.filePath(u"saved.lmp"_s);
        QVERIFY(document.saveAs(saved));
        QCOMPARE(document.path(), saved);
        const QByteArray bytes = readAll(saved);
        if (version == 7) {
            PB::Project project = PB::sampleProject(7);
            project.mainWidths = {{0, 250}, {1, 50}, {2, 80},  {3, 90},
                                  {4, 80},  {5, 50}, {6, 200}, {9, 40}};
            project.passwordWidths = {{0, 200}, {1, 120}};
            QCOMPARE(bytes, project.bytes());
            return;
        }
        QCOMPARE(bytes.mid(8, 4), QByteArray::fromHex("00000007"));
        LumDocument again;
        QVERIFY(again.load(saved));
        QCOMPARE(ids(again.controllers()), ids(document.controllers()));
        QCOMPARE(*again.group(3)->installationTemplate()->controllerTemplates()[0],
                 *document.group(3)->installationTemplate()->controllerTemplates()[0]);
        QCOMPARE(again.uploadSchedule(), document.uploadSchedule());
        QCOMPARE(again.mailSettings(), document.mailSettings());
        QVERIFY(again.saveAs(m_dir.filePath(u"twice.lmp"_s)));
        QCOMPARE(readAll(m_dir.filePath(u"twice.lmp"_s)), bytes);
    }

    void timeSpecificationsOfQt4AreUnderstood_data()
    {
        QTest::addColumn<int>("spec");
        QTest::addColumn<int>("expected");
        // The sample holds the unknown (-1) and UTC (2) already.
        QTest::newRow("local standard") << 0 << int(Qt::LocalTime);
        QTest::newRow("local daylight") << 1 << int(Qt::LocalTime);
    }

    void timeSpecificationsOfQt4AreUnderstood()
    {
        QFETCH(int, spec);
        QFETCH(int, expected);
        PB::Project project = PB::sampleProject(7);
        project.groups[1].templates[0].showReadTime = {PB::day2024, 1000, qint8(spec)};
        LumDocument document;
        QVERIFY(document.load(write(project.bytes()), nullptr));
        const QDateTime time =
            document.group(3)->installationTemplate()->controllerTemplates()[0]->showReadTime();
        QCOMPARE(int(time.timeSpec()), expected);
        QCOMPARE(time.date(), QDate::fromJulianDay(PB::day2024));
        QCOMPARE(time.time(), QTime(0, 0, 1));
    }

    void oldSchedulesInThePastScheduleNothing()
    {
        PB::Project project = PB::sampleProject(3);
        project.oldSchedule.time = {PB::day2024, 0, -1};
        LumDocument document;
        QVERIFY(document.load(write(project.bytes()), nullptr));
        QVERIFY(document.uploadSchedule().isEmpty());
    }

    void supersededSchedulesOfEveryKindAreSkipped_data()
    {
        QTest::addColumn<int>("kind");
        for (const int kind : {0, 1, 2, 3, 4, 5})
            QTest::addRow("kind %d", kind) << kind;
    }

    void supersededSchedulesOfEveryKindAreSkipped()
    {
        QFETCH(int, kind);
        PB::Project project = PB::sampleProject(1);
        project.supersededKind = qint16(kind);
        LumDocument document;
        QString error;
        QVERIFY2(document.load(write(project.bytes()), &error), qPrintable(error));
        QCOMPARE(document.expandedInstallations(), (IdSet{0, 5}));
    }

    void malformedFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        auto add = [](const char *name, const PB::Project &project, const char *reason) {
            QTest::newRow(name) << project.bytes() << QString::fromLatin1(reason);
        };
        PB::Project p = PB::sampleProject(7);
        p.magic = 0x5269675761726407ULL;
        add("wrong magic", p, "not a Rigwarden project");
        p = PB::sampleProject(7);
        p.version = 8;
        add("version 8", p, "later version");
        p.version = -1;
        add("negative version", p, "later version");
        QTest::newRow("empty file") << QByteArray() << u"not a Rigwarden project"_s;

        p = PB::sampleProject(7);
        p.groups[1].templates[1].clips[0].files[1].remoteName = "seventeen-bytes-x";
        add("raw value of 17 bytes", p, "out of bounds");
        p = PB::sampleProject(7);
        p.groups[1].templates[0].clips[0].files[0].type = 7;
        add("media type beyond the enumeration", p, "media type 7");
        p = PB::sampleProject(7);
        p.groups[1].templates[0].mediaPaths[0].type = -1;
        add("negative media type", p, "media type -1");
        p = PB::sampleProject(7);
        p.mail.recipients = {};
        {
            QByteArray bytes = p.bytes();
            // The recipients' count follows the mail password; make it huge.
            PB::Out tail;
            tail.text(u"sp"_s).i32(0);
            const qsizetype at = bytes.lastIndexOf(tail.bytes);
            QVERIFY(at > 0);
            bytes.replace(at + tail.bytes.size() - 4, 4, QByteArray::fromHex("7fffffff"));
            QTest::newRow("recipient count beyond bounds") << bytes << u"out of bounds"_s;
        }

        // References between the tables.
        p = PB::sampleProject(7);
        p.groups[1].installationIds = {5, 0, 7};
        add("group lists a missing installation", p, "installation 7");
        p = PB::sampleProject(7);
        p.installations[1].controllerIds = {4};
        add("installation short of a controller", p, "has 1 controllers but");
        p = PB::sampleProject(7);
        p.installations[0].controllerIds = {2, 9, 4};
        add("installation with a controller too many", p, "has 3 controllers");
        p = PB::sampleProject(7);
        p.installations[0].controllerIds = {2, 4};
        add("controller listed by two installations", p, "controller 4");
        p = PB::sampleProject(7);
        p.groups[1].installationIds = {5};
        add("installation in no group", p, "no installation group");
        p = PB::sampleProject(7);
        p.installations[0].groupId = 0;
        add("installation naming another group", p, "installation 0");
        p = PB::sampleProject(7);
        p.controllers.append({12, 0, u"h"_s, 0, 80, 21, QString()});
        add("controller in no installation", p, "no installation");
        p = PB::sampleProject(7);
        p.controllers[3].id = 1024; // dropped, but installation 0 lists 9
        add("referenced controller dropped", p, "controller 9");
        p = PB::sampleProject(7);
        p.controllers[1].id = 1; // a second 1: dropped
        add("duplicate identifier", p, "controller 2");
        p = PB::sampleProject(7);
        p.controllers[1].id = -1; // not "let the table choose"
        add("negative identifier", p, "controller 2");
        p = PB::sampleProject(7);
        p.schedule[1].controllerIds = {1, 9, 33};
        p.lookup = {{{1, p.schedule[1].time},
                     {4, p.schedule[0].time},
                     {9, p.schedule[1].time},
                     {33, p.schedule[1].time}}};
        add("schedule naming a missing controller", p, "controller 33");
        p = PB::sampleProject(7);
        p.lookup = {{{4, p.schedule[0].time}}};
        add("schedule maps that disagree", p, "schedule");
        p = PB::sampleProject(3);
        p.oldSchedule.controllerIds = {2, 40};
        add("old schedule naming a missing controller", p, "controller 40");
    }

    void malformedFilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        refuses(bytes, reason);
    }

    void everyTruncationIsRefusedAndLeavesTheDocumentEmpty_data()
    {
        everyVersionIsReadFieldByField_data();
    }

    // Also when the file is beyond the in-memory limit and read from the disk
    // as it goes.
    void everyTruncationIsRefusedAndLeavesTheDocumentEmpty()
    {
        QFETCH(int, version);
        const QByteArray bytes = PB::sampleProject(version).bytes();
        const QString path = m_dir.filePath(u"cut.lmp"_s);
        const auto restoreLimit =
            qScopeGuard([] { Streamer::setInMemoryLimit(Streamer::DefaultInMemoryLimit); });
        const QString whole = write(bytes, u"whole.lmp"_s);
        LumDocument document;
        for (const qint64 limit : {Streamer::DefaultInMemoryLimit, qint64(0)}) {
            Streamer::setInMemoryLimit(limit);
            for (qsizetype size = 0; size < bytes.size(); ++size) {
                QVERIFY(PB::writeFile(path, bytes.left(size)));
                // A document with content first, so that "left empty" means something.
                QVERIFY(document.load(whole));
                QVERIFY2(!document.load(path),
                         qPrintable(u"accepted %1 of %2 bytes"_s.arg(size).arg(bytes.size())));
                QVERIFY(isEmpty(document));
            }
        }
    }

    void tablesHoldTheirMaximumAndNoMore()
    {
        // 1024 empty groups with the highest identifiers in use, then 1025.
        PB::Project project = PB::sampleProject(7);
        project.groups.clear();
        project.installations.clear();
        project.controllers.clear();
        project.schedule.clear();
        for (qint32 id = 0; id < 1024; ++id)
            project.groups.append({id, u"g%1"_s.arg(id), {}, {}, QString()});
        LumDocument document;
        QVERIFY(document.load(write(project.bytes()), nullptr));
        QCOMPARE(document.groups().count(), 1024u);
        QVERIFY(document.groupExists(1023));
        QString reason;
        QVERIFY(!document.hasRoomForGroup(&reason));
        QVERIFY(reason.contains(u"1024"_s));

        project.groups.append({1024, QString(), {}, {}, QString()});
        refuses(project.bytes(), u"count 1025"_s);
    }

    void unreferencedElementsBeyondTheTablesAreDropped()
    {
        PB::Project project = PB::sampleProject(7);
        project.groups.append({1024, u"beyond"_s, {}, {}, QString()});
        LumDocument document;
        QString error;
        QVERIFY2(document.load(write(project.bytes()), &error), qPrintable(error));
        QCOMPARE(ids(document.groups()), (QList<uint>{0, 3}));
    }

    // Saving marks the document clean, but not when the save fails.
    void aSaveThatFailsHalfWayLeavesTheOldFile()
    {
        const QString path = write(PB::sampleProject(7).bytes(), u"keep.lmp"_s);
        const QByteArray before = readAll(path);
        LumDocument document;
        QVERIFY(document.load(path));
        QSignalSpy clean(&document, &LumDocument::cleanChanged);
        document.setMasterPassword(u"changed"_s);
        QVERIFY(document.undoStack()->isClean()); // not an undoable edit, yet a change
        QCOMPARE(clean.size(), 1);

        // Files may grow to 100 bytes only: the write fails part of the way.
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 100;
        setrlimit(RLIMIT_FSIZE, &small);
        QString error;
        const bool saved1 = document.save(&error);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!saved1);
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(path), before);
        QVERIFY(!document.isClean()); // still to be saved
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(u"keep"_s),
                 QStringList{u"keep.lmp"_s});

        QVERIFY(document.save(&error));
        QVERIFY(document.isClean());
        QVERIFY(!document.isMasterPasswordChanged());
        QCOMPARE(clean.size(), 2);
        QCOMPARE(clean.last().first().toBool(), true);
        QVERIFY(readAll(path) != before);
    }

    // What the reader would refuse is not written: the save fails with the
    // reason and the old file stays. A show's clips may each have a video
    // and an audio path, which a file holds.
    void aSaveNeverWritesWhatCannotBeRead()
    {
        const QString path = write(PB::sampleProject(7).bytes(), u"bounds.lmp"_s);
        const QByteArray before = readAll(path);
        LumDocument document;
        QVERIFY(document.load(path));
        // A group that has a controller template.
        InstallationTemplate *withTemplate = nullptr;
        for (const InstallationGroup *group : document.groups()) {
            if (!group->installationTemplate()->controllerTemplates().isEmpty())
                withTemplate = group->installationTemplate().get();
        }
        QVERIFY(withTemplate);
        ControllerTemplate &first = *withTemplate->controllerTemplates()[0];
        MediaPaths paths;
        for (int clip = 0; clip < Streamer::MaxEntryCount; ++clip) {
            paths[{clip, MediaType_Video}] = u"v"_s;
            paths[{clip, MediaType_Audio}] = u"a"_s;
        }
        first.setMediaPaths(paths);
        MailSettings mail = document.mailSettings();
        mail.recipients = QStringList(Streamer::MaxEntryCount + 1, u"ops@example.com"_s);
        document.setMailSettings(mail);
        QString error;
        QVERIFY(!document.save(&error));
        QVERIFY2(error.contains(u"65537 entries of one mail recipient list"_s), qPrintable(error));
        QCOMPARE(readAll(path), before);

        mail.recipients.removeLast();
        document.setMailSettings(mail);
        QVERIFY2(document.save(&error), qPrintable(error));
        LumDocument reopened;
        QVERIFY(reopened.load(path, &error));
        bool found = false;
        for (const InstallationGroup *group : reopened.groups()) {
            for (const ControllerTemplatePtr &each :
                 group->installationTemplate()->controllerTemplates())
                found = found || each->mediaPaths() == paths;
        }
        QVERIFY(found);
    }

    void aFailedSaveAsKeepsThePath()
    {
        LumDocument document;
        QVERIFY(document.load(write(PB::sampleProject(7).bytes())));
        const QString previous = document.path();
        const QString target = m_dir.filePath(u"no-such-folder/x.lmp"_s);
        QString error;
        QVERIFY(!document.saveAs(target, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(document.path(), previous);
        QVERIFY(!QFile::exists(target));
    }
};

RW_TEST_MAIN(TestLumDocumentFile)
#include "tst_lum_document_file.moc"
