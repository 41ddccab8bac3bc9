// The document's structure, checks, passwords and change detection.

#include "document_prompts.h"
#include "fatal_probe.h"
#include "lum_application.h"
#include "lum_document.h"
#include "media_transcoder.h"
#include "password_cipher.h"
#include "recording_controller.h"
#include "show_file_bytes.h"
#include "test_main.h"
#include "upload_feedback.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUndoStack>

using namespace Qt::StringLiterals;

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
        QCOMPARE(document().installations().count(), 204u);
        QCOMPARE(document().group(groupId)->installationIds().size(), 204);
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
        QCOMPARE(document().group(groupId)->installationIds(), (QList<uint>{3}));
        calls.clear();

        QVERIFY(!document().confirmRemoval({}));
        QVERIFY(document().confirmRemoval({installationId}));
        QVERIFY(m_prompts.asked.isEmpty());

        document().uploadFeedback()->setState(6, UploadState_Uploading, QString());
        document().uploadFeedback()->setState(5, UploadState_Complete, QString());
        m_prompts.answer = false;
        QVERIFY(!document().confirmRemoval({installationId}));
        QCOMPARE(m_prompts.asked, QStringList{u"Cancel uploads|Some of the selected controllers "
                                              u"are currently uploading.\nRemoving them will "
                                              u"cancel the uploads.\nDo you wish to continue?"_s});
        QVERIFY(calls.isEmpty());
        m_prompts.answer = true;
        QVERIFY(document().confirmRemoval({installationId}));
        QCOMPARE(calls, QStringList{u"cancel 6"_s});
    }

    void passwordsFallBackFromControllerToInstallationToGroup()
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
    }

    void askingForAPasswordStoresANewAnswerUndoably()
    {
        addGroup(1, 1);
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

    void changedShowFilesAreAnalysedAgain()
    {
        using namespace ShowFileBytes;
        const QString path = m_dir.filePath(u"show.wrn"_s);
        QVERIFY(writeFile(path, General().bytes()));
        QVERIFY(touch(path, -3600));
        InstallationTemplatePtr rig = templateOf(2);
        rig->controllerTemplates()[1]->setShowFile(path);
        const uint groupId = document().addGroup(*rig);
        document().addInstallation(groupId);
        document().addInstallation(groupId);
        QVERIFY(document().reanalyseChangedShowFiles().empty());

        General changed;
        changed.uuid = uuidB;
        QVERIFY(writeFile(path, changed.bytes()));
        QVERIFY(touch(path, -3540));
        const QUuid expected(u"{10203040-5060-7080-90a0-b0c0d0e0f001}"_s);
        QCOMPARE(document().reanalyseChangedShowFiles(), (IdSet{1, 3}));
        const ControllerTemplatePtr shared =
            document().group(groupId)->installationTemplate()->controllerTemplates()[1];
        QCOMPARE(shared->showProjectUuid(), expected);
        QCOMPARE(document().controller(1)->controllerTemplate()->showProjectUuid(), expected);
        QCOMPARE(document().controller(3)->controllerTemplate()->showProjectUuid(), expected);
        QVERIFY(document().reanalyseChangedShowFiles().empty());

        // A show file gone from the disk is no change to upload.
        QVERIFY(QFile::remove(path));
        QVERIFY(document().reanalyseChangedShowFiles().empty());
    }

    // A show saved again may name media that were never converted.
    void mediaOfAChangedShowAreConverted()
    {
        using namespace ShowFileBytes;
        const QString path = m_dir.filePath(u"show.kma"_s);
        const QString video = m_dir.filePath(u"encore.mpg"_s);
        QVERIFY(writeFile(video, "not a video"));
        Kma show;
        QVERIFY(writeFile(path, show.bytes()));
        QVERIFY(touch(path, -60));
        InstallationTemplatePtr rig = templateOf(1);
        rig->controllerTemplates()[0]->setHardwareType(7);
        rig->controllerTemplates()[0]->setShowFile(path);
        document().addInstallation(document().addGroup(*rig));

        MediaTranscoder *transcoder = LumApplication::instance()->createMediaTranscoder();
        QSignalSpy done(transcoder, &MediaTranscoder::transcodeComplete);
        show.clips = {{4, "Encore", video.toUtf8(), "encore.vid", "", ""}};
        QVERIFY(writeFile(path, show.bytes()));
        QCOMPARE(document().reanalyseChangedShowFiles(), IdSet{0});
        QCOMPARE(transcoder->state(video, MediaType_Video), MediaTranscoder::State_TRANSCODING);
        QVERIFY(done.wait(10000));
        delete transcoder;
    }
};

RW_TEST_MAIN(TestLumDocument)
#include "tst_lum_document.moc"
