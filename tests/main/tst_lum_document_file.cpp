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

// The sample as the writer must save it once read as `version`: the current
// version, every stored column width beside the defaults, and what the older
// version cannot hold at its default.
PB::Project savedSample(int version)
{
    PB::Project project = PB::sampleProject(7);
    project.mainWidths = {{0, 250}, {1, 50}, {2, 80}, {3, 90}, {4, 80}, {5, 50}, {6, 200}, {9, 40}};
    project.passwordWidths = {{0, 200}, {1, version >= 1 ? 120 : 200}};
    // Hostnames were IPv4 numbers before version 7, most significant byte first.
    if (version < 7)
        project.controllers[2].hostname = u"127.0.0.1"_s;
    if (version < 6)
        project.mail.username = project.mail.password = QString();
    // Before version 5 a clip's first file is its video, whatever it was.
    if (version < 5)
        project.groups[1].templates[0].clips[0].files[0].type = 2;
    // A time that has passed is kept: the application uploads it at once.
    if (version < 4)
        project.schedule = version >= 2 ? QList{project.oldSchedule} : QList<PB::ScheduleEntry>();
    if (version < 3)
        project.mail = PB::Mail();
    if (version < 1) {
        project.groups[1].password = project.installations[1].password = QString();
        project.controllers[0].password = project.masterPassword = QString();
    }
    return project;
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

    static void everyVersion()
    {
        QTest::addColumn<int>("version");
        for (int version = 0; version <= 7; ++version)
            QTest::addRow("version %d", version) << version;
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
    // Every version is read whole and saved as version 7: what the writer
    // produces is what the independent builder produces.
    void everyVersionIsReadAndSavedAsVersionSeven_data() { everyVersion(); }
    void everyVersionIsReadAndSavedAsVersionSeven()
    {
        QFETCH(int, version);
        LumDocument document;
        QString error;
        const QString path = write(PB::sampleProject(version).bytes());
        QVERIFY2(document.load(path, &error), qPrintable(error));
        QCOMPARE(document.path(), path);
        QVERIFY(document.isClean());
        QCOMPARE(ids(document.controllers()), (QList<uint>{1, 2, 4, 9}));
        // The i-th controller of an installation runs the i-th controller template.
        const auto &templates = document.group(3)->installationTemplate()->controllerTemplates();
        for (const auto &[controllerId, index] : {std::pair{2u, 0}, {9u, 1}, {4u, 0}, {1u, 1}})
            QCOMPARE(*document.controller(controllerId)->controllerTemplate(), *templates[index]);
        QCOMPARE(document.group(0)->name(), u"Unnamed Group"_s);

        const QString saved = m_dir.filePath(u"saved.lmp"_s);
        QVERIFY(document.saveAs(saved));
        QCOMPARE(document.path(), saved);
        QCOMPARE(readAll(saved), savedSample(version).bytes());
    }

    void devicesWithoutEndAreRefused()
    {
        LumDocument document;
        QVERIFY(!document.load(u"/dev/zero"_s));
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
        using P = PB::Project;
        // The sample changed by `change`.
        const auto add = [](const char *name, const char *reason, auto change) {
            P project = PB::sampleProject(7);
            change(project);
            QTest::newRow(name) << project.bytes() << QString::fromLatin1(reason);
        };
        add("wrong magic", "not a Rigwarden project", [](P &p) { p.magic = 0x5269675761726407; });
        add("version 8", "later version", [](P &p) { p.version = 8; });
        add("negative version", "later version", [](P &p) { p.version = -1; });
        QTest::newRow("empty file") << QByteArray() << u"not a Rigwarden project"_s;
        add("raw value of 17 bytes", "out of bounds", [](P &p) {
            p.groups[1].templates[1].clips[0].files[1].remoteName = "seventeen-bytes-x";
        });
        add("media type beyond the enumeration", "media type 7",
            [](P &p) { p.groups[1].templates[0].clips[0].files[0].type = 7; });
        add("negative media type", "media type -1",
            [](P &p) { p.groups[1].templates[0].mediaPaths[0].type = -1; });
        {
            P p = PB::sampleProject(7);
            p.mail.recipients = {};
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
        add("group lists a missing installation", "installation 7", [](P &p) {
            p.groups[1].installationIds = {5, 0, 7};
        });
        add("installation short of a controller", "has 1 controllers but",
            [](P &p) { p.installations[1].controllerIds = {4}; });
        add("installation with a controller too many", "has 3 controllers", [](P &p) {
            p.installations[0].controllerIds = {2, 9, 4};
        });
        add("controller listed by two installations", "controller 4", [](P &p) {
            p.installations[0].controllerIds = {2, 4};
        });
        add("installation in no group", "no installation group",
            [](P &p) { p.groups[1].installationIds = {5}; });
        add("installation naming another group", "installation 0",
            [](P &p) { p.installations[0].groupId = 0; });
        add("controller in no installation", "no installation", [](P &p) {
            p.controllers.append({12, 0, u"h"_s, 0, 80, 21, QString()});
        });
        // Dropped, but installation 0 lists 9.
        add("referenced controller dropped", "controller 9",
            [](P &p) { p.controllers[3].id = 1024; });
        add("duplicate identifier", "controller 2", [](P &p) { p.controllers[1].id = 1; });
        // Not "let the table choose".
        add("negative identifier", "controller 2", [](P &p) { p.controllers[1].id = -1; });
        add("schedule naming a missing controller", "controller 33", [](P &p) {
            p.schedule[1].controllerIds = {1, 9, 33};
            p.lookup = {{{1, p.schedule[1].time},
                         {4, p.schedule[0].time},
                         {9, p.schedule[1].time},
                         {33, p.schedule[1].time}}};
        });
        add("schedule maps that disagree", "schedule", [](P &p) {
            p.lookup = {{{4, p.schedule[0].time}}};
        });
        P old = PB::sampleProject(3);
        old.oldSchedule.controllerIds = {2, 40};
        QTest::newRow("old schedule naming a missing controller")
            << old.bytes() << u"controller 40"_s;
    }

    void malformedFilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        refuses(bytes, reason);
    }

    void everyTruncationIsRefusedAndLeavesTheDocumentEmpty_data() { everyVersion(); }

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
