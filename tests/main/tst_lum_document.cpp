#include "document_prompts.h"
#include "lum_application.h"
#include "lum_document.h"
#include "media_transcoder.h"
#include "project_file_bytes.h"
#include "recording_controller.h"
#include "show_file_bytes.h"
#include "streamer.h"
#include "test_main.h"
#include "upload_feedback.h"

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

// Records the questions and answers them as told.
struct ScriptedPrompts : DocumentPrompts
{
    QStringList asked;
    bool answer = true;
    std::optional<QString> password;

    void warn(const QString &title, const QString &text) override { asked << title + u'|' + text; }
    bool askYesNo(const QString &title, const QString &text) override
    {
        asked << title + u'|' + text;
        return answer;
    }
    std::optional<QString> askPassword(const QString &label, const QString &previous) override
    {
        asked << label + u'|' + previous;
        return password;
    }
};

InstallationTemplatePtr templateOf(int controllers)
{
    auto result = std::make_shared<InstallationTemplate>(u"Rig"_s);
    for (int i = 0; i < controllers; ++i) {
        auto controllerTemplate = std::make_shared<ControllerTemplate>();
        controllerTemplate->setNumber(i + 1);
        result->appendControllerTemplate(controllerTemplate);
    }
    return result;
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

} // namespace

class TestLumDocument : public QObject
{
    Q_OBJECT

private:
    ScriptedPrompts m_prompts;
    QTemporaryDir m_dir;

    LumDocument &document() { return *LumApplication::instance()->document(); }

    // A group of `controllers` per installation with `installations` of them.
    uint addGroup(int controllers, int installations)
    {
        const uint groupId = document().addGroup(*templateOf(controllers));
        for (int i = 0; i < installations; ++i)
            document().addInstallation(groupId);
        return groupId;
    }

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

    void refuses(const QByteArray &bytes, const QString &reasonPart)
    {
        LumDocument document;
        QString error;
        QVERIFY2(!document.load(write(bytes), &error), "the file was accepted");
        QVERIFY2(error.contains(reasonPart), qPrintable(error));
        QVERIFY(isEmpty(document));
    }

private slots:
    void initTestCase() { LumApplication::create(this); }

    void init()
    {
        document().reset();
        document().setPrompts(&m_prompts);
        m_prompts = ScriptedPrompts();
    }

    void addingAnInstallationTakesTheLowestFreeIdentifiers()
    {
        const uint groupId = addGroup(1, 2); // controllers 0 and 1
        document().removeController(0);      // leaves a gap at 0
        document().installation(0)->setControllerIds({});
        const uint rigId = document().addGroup(*templateOf(3));
        const uint installationId = document().addInstallation(rigId);
        QCOMPARE(installationId, 2u);
        const Installation *installation = document().installation(installationId);
        QCOMPARE(installation->controllerIds(), (QList<uint>{0, 2, 3}));
        QCOMPARE(installation->groupId(), rigId);
        QCOMPARE(document().group(rigId)->installationIds(), (QList<uint>{2}));
        QVERIFY(document().isInstallationExpanded(installationId));
        // The i-th controller is built from the i-th controller template.
        for (int i = 0; i < 3; ++i) {
            const Controller *controller = document().controller(installation->controllerIds()[i]);
            QCOMPARE(controller->installationId(), installationId);
            QCOMPARE(controller->controllerTemplate()->number(), i + 1);
        }
        QCOMPARE(document().groupControllerIds(groupId), (QList<uint>{1}));
        // A template without controllers gives installations without any.
        const uint bare = document().addInstallation(document().addGroup(*templateOf(0)));
        QVERIFY(document().installation(bare)->controllerIds().isEmpty());
    }

    // 255 installations of five controllers need 1275 controllers.
    void additionsBeyondTheTablesAreRefusedWhole()
    {
        const uint groupId = addGroup(5, 0);
        QString reason;
        QVERIFY(!document().hasRoomForInstallations(groupId, 255, &reason));
        QVERIFY2(reason.contains(u"1275"_s), qPrintable(reason));
        QVERIFY(document().hasRoomForInstallations(groupId, 204));
        for (int i = 0; i < 204; ++i)
            QVERIFY(document().addInstallation(groupId) != LumDocument::NoId);
        QCOMPARE(document().addInstallation(groupId), LumDocument::NoId);
        QCOMPARE(document().controllers().count(), 1020u);
    }

    void isHostUniqueWarnsOfTheSameHostAndPort()
    {
        addGroup(2, 1);
        document().controller(0)->setHostname(u"stage.local"_s);
        QVERIFY(document().isHostUnique(QString(), 80));
        QVERIFY(document().isHostUnique(u"stage.local"_s, 8080));
        QVERIFY(document().isHostUnique(u"Stage.local"_s, 80));
        QVERIFY(m_prompts.asked.isEmpty());
        QVERIFY(!document().isHostUnique(u"stage.local"_s, 80));
        QCOMPARE(m_prompts.asked,
                 QStringList{
                     u"Duplicate Host|The host, stage.local:80, is used by another controller."_s});
    }

    void confirmRemovalAsksOnlyForUploadingControllers()
    {
        QStringList calls;
        const uint groupId = document().addGroup(*templateOf(2));
        auto installation = std::make_unique<Installation>(QList<uint>{5, 6});
        installation->setGroupId(groupId);
        const uint installationId = document().insertInstallation(std::move(installation), 3);
        document().insertController(std::make_unique<RecordingController>(&calls), 5);
        document().insertController(std::make_unique<RecordingController>(&calls), 6);
        QCOMPARE(calls, (QStringList{u"discover 5"_s, u"discover 6"_s}));
        calls.clear();

        QVERIFY(!document().confirmRemoval({}));
        QVERIFY(document().confirmRemoval({installationId}));
        QVERIFY(m_prompts.asked.isEmpty());

        document().uploadFeedback()->setState(6, UploadState_Uploading, QString());
        document().uploadFeedback()->setState(5, UploadState_Complete, QString());
        m_prompts.answer = false;
        QVERIFY(!document().confirmRemoval({installationId}));
        QCOMPARE(m_prompts.asked.size(), 1);
        QVERIFY(m_prompts.asked.first().startsWith(u"Cancel uploads|"_s));
        QVERIFY(calls.isEmpty());
        m_prompts.answer = true;
        QVERIFY(document().confirmRemoval({installationId}));
        QCOMPARE(calls, QStringList{u"cancel 6"_s});
    }

    void passwordsFallBackFromControllerToInstallationToGroupOrAreAsked()
    {
        addGroup(1, 1);
        // No password anywhere: an empty one, which is still sent (null would
        // mean that the login is given up).
        const QString none = document().controllerPassword(0, false, false);
        QVERIFY(none.isEmpty() && !none.isNull());
        document().group(0)->setPassword(u"g"_s);
        QCOMPARE(document().controllerPassword(0, false, false), u"g"_s);
        document().installation(0)->setPassword(u"i"_s);
        QCOMPARE(document().controllerPassword(0, false, false), u"i"_s);
        document().controller(0)->setPassword(u"c"_s);
        QCOMPARE(document().controllerPassword(0, false, false), u"c"_s);
        // A refused password is not offered again without asking.
        QVERIFY(document().controllerPassword(0, true, false).isNull());
        QVERIFY(m_prompts.asked.isEmpty());

        document().resetPasswords(false);
        QVERIFY(!document().hasEntityPasswords());

        // Asked for, a new answer is stored undoably.
        document().controller(0)->setHostname(u"10.1.1.1"_s);
        document().group(0)->setPassword(u"old"_s);

        // Giving up after a refusal ends the login instead of offering the
        // refused password again.
        m_prompts.password = std::nullopt;
        QVERIFY(document().controllerPassword(0, true, true).isNull());
        QCOMPARE(m_prompts.asked,
                 QStringList{
                     u"The controller 10.1.1.1 requires a password before allowing uploads|old"_s});
        QCOMPARE(document().undoStack()->count(), 0);

        m_prompts.password = u"old"_s; // the same again
        QCOMPARE(document().controllerPassword(0, true, true), u"old"_s);
        QCOMPARE(document().undoStack()->count(), 0);

        m_prompts.password = u"new"_s;
        QCOMPARE(document().controllerPassword(0, true, true), u"new"_s);
        QCOMPARE(document().controller(0)->password(), u"new"_s);
        QCOMPARE(document().undoStack()->text(0), u"Set Controller Password"_s);
        document().undoStack()->undo();
        QCOMPARE(document().controller(0)->password(), QString());

        // Without the re-ask flag a stored password is used without asking.
        m_prompts.asked.clear();
        QCOMPARE(document().controllerPassword(0, false, true), u"old"_s);
        QVERIFY(m_prompts.asked.isEmpty());
    }

    void conversionsAreRequestedOnlyWhereATranscoderExists()
    {
        InstallationTemplatePtr withMedia = templateOf(1);
        ControllerTemplate &kma = *withMedia->controllerTemplates()[0];
        MediaClip clip(u"Intro"_s);
        clip.setFile(MediaType_Video, ClipFile(u"/recorded.mpg"_s, "intro.vid"));
        clip.setFile(MediaType_Slot, ClipFile(u"/slot.bin"_s, "slot.bin"));
        kma.setFileMediaClips({{1, clip}});
        const QString chosen = m_dir.filePath(u"chosen.mpg"_s);
        QVERIFY(ShowFileBytes::writeFile(chosen, "not a video"));
        kma.setMediaPath(1, MediaType_Video, chosen);
        const uint groupId = addGroup(1, 1);

        QVERIFY(!MediaTranscoder::instance());
        document().setInstallationTemplate(groupId, withMedia); // nothing to ask

        MediaTranscoder *transcoder = LumApplication::instance()->createMediaTranscoder();
        QSignalSpy done(transcoder, &MediaTranscoder::transcodeComplete);
        document().setInstallationTemplate(groupId, withMedia);
        // The file the controller will send is converted, not the one the show recorded.
        QCOMPARE(transcoder->state(chosen, MediaType_Video), MediaTranscoder::State_TRANSCODING);
        QCOMPARE(transcoder->state(u"/recorded.mpg"_s, MediaType_Video),
                 MediaTranscoder::State_UNKNOWN);
        QCOMPARE(transcoder->state(u"/slot.bin"_s, MediaType_Slot), MediaTranscoder::State_UNKNOWN);
        QVERIFY(done.wait(10000));
        delete transcoder;
    }

    // A show file that changed since it was read is analysed again, for every
    // controller of its template, and media it names now are converted; one
    // gone from the disk is no change to upload.
    void changedShowFilesAreAnalysedAgain()
    {
        using namespace ShowFileBytes;
        const QString path = m_dir.filePath(u"show.kma"_s);
        Kma show;
        QVERIFY(writeFile(path, show.bytes()));
        QVERIFY(touch(path, -3600));
        InstallationTemplatePtr rig = templateOf(2);
        rig->controllerTemplates()[1]->setHardwareType(7);
        rig->controllerTemplates()[1]->setShowFile(path);
        const uint groupId = document().addGroup(*rig);
        document().addInstallation(groupId);
        document().addInstallation(groupId);
        QVERIFY(document().reanalyseChangedShowFiles().empty());

        MediaTranscoder *transcoder = LumApplication::instance()->createMediaTranscoder();
        QSignalSpy done(transcoder, &MediaTranscoder::transcodeComplete);
        const QString video = m_dir.filePath(u"encore.mpg"_s);
        QVERIFY(writeFile(video, "not a video"));
        show.uuid = uuidB;
        show.clips = {{4, "Encore", video.toUtf8(), "encore.vid", "", ""}};
        QVERIFY(writeFile(path, show.bytes()));
        QCOMPARE(document().reanalyseChangedShowFiles(), (IdSet{1, 3}));
        QCOMPARE(document().controller(1)->controllerTemplate()->showProjectUuid(), uuidTextB);
        QCOMPARE(document().controller(3)->controllerTemplate()->showProjectUuid(), uuidTextB);
        QCOMPARE(transcoder->state(video, MediaType_Video), MediaTranscoder::State_TRANSCODING);
        QVERIFY(done.wait(10000));
        delete transcoder;
        QVERIFY(document().reanalyseChangedShowFiles().empty());

        QVERIFY(QFile::remove(path));
        QVERIFY(document().reanalyseChangedShowFiles().empty());
    }

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
        QVERIFY(document.isClean());
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

    // The superseded form of every kind is skipped; the single time of
    // versions 2 and 3 schedules nothing once it has passed.
    void oldSchedulesThatScheduleNothing_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("kind"); // of the superseded form
        for (const int kind : {0, 1, 2, 3, 4, 5})
            QTest::addRow("superseded kind %d", kind) << 1 << kind;
        QTest::newRow("passed time") << 3 << 1;
    }
    void oldSchedulesThatScheduleNothing()
    {
        QFETCH(int, version);
        QFETCH(int, kind);
        PB::Project project = PB::sampleProject(version);
        project.supersededKind = qint16(kind);
        project.oldSchedule.time = {PB::day2024, 0, -1};
        LumDocument document;
        QString error;
        QVERIFY2(document.load(write(project.bytes()), &error), qPrintable(error));
        QVERIFY(document.uploadSchedule().isEmpty());
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
        add("raw value of 17 bytes", "out of bounds", [](P &p) {
            p.groups[1].templates[1].clips[0].files[1].remoteName = "seventeen-bytes-x";
        });
        add("media type beyond the enumeration", "media type 7",
            [](P &p) { p.groups[1].templates[0].clips[0].files[0].type = 7; });
        add("negative media type", "media type -1",
            [](P &p) { p.groups[1].templates[0].mediaPaths[0].type = -1; });
        // The recipients' count follows the mail password; made huge.
        P p = PB::sampleProject(7);
        p.mail.recipients = {};
        QTest::newRow("recipient count beyond bounds")
            << p.bytes().replace(PB::Out().text(u"sp"_s).i32(0).bytes,
                                 PB::Out().text(u"sp"_s).i32(0x7fffffff).bytes)
            << u"out of bounds"_s;

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
        p = PB::sampleProject(3);
        p.oldSchedule.controllerIds = {2, 40};
        QTest::newRow("old schedule naming a missing controller")
            << p.bytes() << u"controller 40"_s;
    }

    void malformedFilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        refuses(bytes, reason);
    }

    void everyTruncationIsRefusedAndLeavesTheDocumentEmpty_data() { everyVersion(); }

    // Also when the file is beyond the in-memory limit and read from the disk
    // as it goes; a device without end is refused too.
    void everyTruncationIsRefusedAndLeavesTheDocumentEmpty()
    {
        QFETCH(int, version);
        const QByteArray bytes = PB::sampleProject(version).bytes();
        const auto restoreLimit =
            qScopeGuard([] { Streamer::setInMemoryLimit(Streamer::DefaultInMemoryLimit); });
        const QString whole = write(bytes, u"whole.lmp"_s);
        LumDocument document;
        for (const qint64 limit : {Streamer::DefaultInMemoryLimit, qint64(0)}) {
            Streamer::setInMemoryLimit(limit);
            for (qsizetype size = 0; size < bytes.size(); ++size) {
                // A document with content first, so that "left empty" means something.
                QVERIFY(document.load(whole));
                QVERIFY2(!document.load(write(bytes.left(size), u"cut.lmp"_s)),
                         qPrintable(u"accepted %1 of %2 bytes"_s.arg(size).arg(bytes.size())));
                QVERIFY(isEmpty(document));
            }
        }
        QVERIFY(!document.load(u"/dev/zero"_s));
    }

    void tablesHoldTheirMaximumAndNoMore()
    {
        // 1024 empty groups with the highest identifiers in use, then 1025.
        PB::Project project;
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

        // An element beyond the table that nothing refers to is dropped.
        project = PB::sampleProject(7);
        project.groups.append({1024, u"beyond"_s, {}, {}, QString()});
        QVERIFY(document.load(write(project.bytes())));
        QCOMPARE(document.groups().count(), 2u);
    }

    // Saving marks the document clean, but not when the save fails: the old
    // file stays.
    void aSaveThatFailsLeavesTheOldFile()
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
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{100, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        QString error;
        const bool written = document.save(&error);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(path), before);
        QVERIFY(!document.isClean()); // still to be saved
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(u"keep"_s),
                 QStringList{u"keep.lmp"_s});
        // Nor does saving under a name that cannot be written change the path.
        const QString target = m_dir.filePath(u"no-such-folder/x.lmp"_s);
        QVERIFY(!document.saveAs(target, &error));
        QCOMPARE(document.path(), path);
        QVERIFY(!QFile::exists(target));

        // What the reader would refuse is not written, with the reason. A
        // show's clips may each have a video and an audio path, which a file
        // holds.
        MediaPaths paths;
        for (int clip = 0; clip < Streamer::MaxEntryCount; ++clip) {
            paths[{clip, MediaType_Video}] = u"v"_s;
            paths[{clip, MediaType_Audio}] = u"a"_s;
        }
        document.group(3)->installationTemplate()->controllerTemplates()[0]->setMediaPaths(paths);
        MailSettings mail = document.mailSettings();
        mail.recipients = QStringList(Streamer::MaxEntryCount + 1, u"ops@example.com"_s);
        document.setMailSettings(mail);
        QVERIFY(!document.save(&error));
        QVERIFY2(error.contains(u"65537 entries of one mail recipient list"_s), qPrintable(error));
        QCOMPARE(readAll(path), before);
        mail.recipients.removeLast();
        document.setMailSettings(mail);

        QVERIFY2(document.save(&error), qPrintable(error));
        QVERIFY(document.isClean());
        QVERIFY(!document.isMasterPasswordChanged());
        QCOMPARE(clean.size(), 2);
        LumDocument reopened;
        QVERIFY(reopened.load(path, &error));
        QCOMPARE(reopened.group(3)->installationTemplate()->controllerTemplates()[0]->mediaPaths(),
                 paths);
    }
};

RW_TEST_MAIN(TestLumDocument)
#include "tst_lum_document.moc"
