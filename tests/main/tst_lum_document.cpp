// The document's structure, checks, passwords and change detection.

#include "document_prompts.h"
#include "fatal_probe.h"
#include "lum_application.h"
#include "lum_document.h"
#include "media_transcoder.h"
#include "password_cipher.h"
#include "show_file_bytes.h"
#include "smtp_authenicator.h"
#include "test_main.h"
#include "upload_feedback.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUndoStack>

namespace {

// Records the questions and answers them as told.
struct ScriptedPrompts : DocumentPrompts
{
    QStringList asked;
    bool answer = true;
    std::optional<QString> password;

    void warn(const QString &title, const QString &text) override
    {
        asked << title + QLatin1Char('|') + text;
    }
    bool askYesNo(const QString &title, const QString &text) override
    {
        asked << title + QLatin1Char('|') + text;
        return answer;
    }
    std::optional<QString> askPassword(const QString &label, const QString &previous) override
    {
        asked << label + QLatin1Char('|') + previous;
        return password;
    }
};

// Remembers what the document asked of the controller link.
class RecordingController : public Controller
{
public:
    explicit RecordingController(QStringList *calls)
        : Controller(std::make_shared<ControllerTemplate>()), m_calls(calls)
    {}
    void discover() override { *m_calls << QStringLiteral("discover %1").arg(getId()); }
    void undiscover() override { *m_calls << QStringLiteral("undiscover %1").arg(getId()); }
    void cancelUpload() override { *m_calls << QStringLiteral("cancel %1").arg(getId()); }

private:
    QStringList *m_calls;
};

InstallationTemplatePtr templateOf(int controllers)
{
    auto result = std::make_shared<InstallationTemplate>(QStringLiteral("Rig"));
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
    LumDocument *m_document = nullptr;
    ScriptedPrompts m_prompts;
    QTemporaryDir m_dir;

    LumDocument &document() { return *m_document; }

    // A group of `controllers` per installation with `installations` of them.
    uint addGroup(int controllers, int installations)
    {
        const uint groupId = document().addGroup(*templateOf(controllers));
        for (int i = 0; i < installations; ++i)
            document().addInstallation(groupId);
        return groupId;
    }

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        m_document = LumApplication::instance()->document();
    }

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
    }

    void aTemplateWithoutControllersGivesEmptyInstallations()
    {
        const uint groupId = addGroup(0, 1);
        QVERIFY(document()
                    .installation(document().group(groupId)->installationIds()[0])
                    ->controllerIds()
                    .isEmpty());
        QVERIFY(document().controllers().isEmpty());
    }

    // 255 installations of five controllers need 1275 controllers.
    void additionsBeyondTheTablesAreRefusedWhole()
    {
        const uint groupId = addGroup(5, 0);
        QString reason;
        QVERIFY(!document().hasRoomForInstallations(groupId, 255, &reason));
        QVERIFY2(reason.contains(QStringLiteral("1275")), qPrintable(reason));
        QVERIFY(document().hasRoomForInstallations(groupId, 204));
        for (int i = 0; i < 204; ++i)
            QVERIFY(document().addInstallation(groupId) != LumDocument::NoId);
        QCOMPARE(document().controllers().count(), 1020u);
        QCOMPARE(document().addInstallation(groupId), LumDocument::NoId);
        QCOMPARE(document().controllers().count(), 1020u);
        QCOMPARE(document().installations().count(), 204u);
        QCOMPARE(document().group(groupId)->installationIds().size(), 204);
    }

    void isHostUniqueWarnsOfTheSameHostAndPort()
    {
        addGroup(2, 1);
        document().controller(0)->setHostname(QStringLiteral("stage.local"));
        QVERIFY(document().isHostUnique(QString(), 80));
        QVERIFY(document().isHostUnique(QStringLiteral("stage.local"), 8080));
        QVERIFY(document().isHostUnique(QStringLiteral("Stage.local"), 80));
        QVERIFY(m_prompts.asked.isEmpty());
        QVERIFY(!document().isHostUnique(QStringLiteral("stage.local"), 80));
        QCOMPARE(m_prompts.asked, QStringList{QStringLiteral(
                                      "Duplicate Host|The host, stage.local:80, is used by another "
                                      "controller.")});
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
        QCOMPARE(calls, (QStringList{QStringLiteral("discover 5"), QStringLiteral("discover 6")}));
        QCOMPARE(document().group(groupId)->installationIds(), (QList<uint>{3}));
        calls.clear();

        QVERIFY(!document().confirmRemoval({}));
        QVERIFY(document().confirmRemoval({installationId}));
        QVERIFY(m_prompts.asked.isEmpty());

        document().uploadFeedback()->setState(6, UploadState_Uploading, QString());
        document().uploadFeedback()->setState(5, UploadState_Complete, QString());
        m_prompts.answer = false;
        QVERIFY(!document().confirmRemoval({installationId}));
        QCOMPARE(m_prompts.asked,
                 QStringList{QStringLiteral("Cancel uploads|Some of the selected controllers are "
                                            "currently uploading.\nRemoving them will cancel the "
                                            "uploads.\nDo you wish to continue?")});
        QVERIFY(calls.isEmpty());
        m_prompts.answer = true;
        QVERIFY(document().confirmRemoval({installationId}));
        QCOMPARE(calls, QStringList{QStringLiteral("cancel 6")});

        QVERIFY(!document().allIdle({}));
        QVERIFY(document().allIdle({5}));
        calls.clear();
        document().cancelUploads({});
        QCOMPARE(calls, (QStringList{QStringLiteral("cancel 5"), QStringLiteral("cancel 6")}));
        calls.clear();
        document().discoverAll();
        QCOMPARE(calls, (QStringList{QStringLiteral("discover 5"), QStringLiteral("discover 6")}));
        calls.clear();
        document().removeController(5).reset();
        QCOMPARE(calls, (QStringList{QStringLiteral("cancel 5"), QStringLiteral("undiscover 5")}));
    }

    void removingHandsTheElementsBackAndForgetsTheirExpansion()
    {
        const uint groupId = addGroup(1, 2);
        document().setGroupExpanded(groupId, true);
        std::unique_ptr<Installation> removed = document().removeInstallation(1);
        QCOMPARE(removed->getId(), 1u);
        QCOMPARE(document().group(groupId)->installationIds(), (QList<uint>{0}));
        QVERIFY(!document().isInstallationExpanded(1));
        std::unique_ptr<InstallationGroup> group = document().removeGroup(groupId);
        QVERIFY(!document().isGroupExpanded(groupId));
        QVERIFY(!document().groupExists(groupId));
    }

    void resetRestoresTheDefaults()
    {
        addGroup(2, 2);
        document().setColumnWidth(LumDocument::Table_MAIN, 2, 300);
        document().setGroupExpanded(0, true);
        MailSettings mail;
        mail.port = 2525;
        mail.username = QStringLiteral("u");
        document().setMailSettings(mail);
        document().setMasterPassword(QStringLiteral("x"));
        document().uploadSchedule().schedule(0, QDateTime::currentDateTime().addDays(1));
        document().reset();
        for (const auto &[column, width] :
             {std::pair{0, 200}, {1, 50}, {2, 80}, {3, 80}, {4, 80}, {5, 50}, {6, 200}})
            QCOMPARE(document().columnWidth(LumDocument::Table_MAIN, column), width);
        QCOMPARE(document().columnWidths(LumDocument::Table_PASSWORD),
                 (LumDocument::ColumnWidths{{0, 200}, {1, 200}}));
        QCOMPARE(document().mailSettings().port, quint16(25));
        QVERIFY(document().mailSettings().username.isEmpty());
        QVERIFY(document().controllers().isEmpty() && document().groups().isEmpty());
        QVERIFY(document().uploadSchedule().isEmpty());
        QVERIFY(document().expandedGroups().empty());
        QVERIFY(document().isClean());
        QVERIFY(document().path().isNull());
    }

    void aNewMasterPasswordAloneMakesTheDocumentModified()
    {
        QSignalSpy clean(&document(), &LumDocument::cleanChanged);
        document().setMasterPassword(PasswordCipher::encode(QStringLiteral("m")));
        QVERIFY(document().undoStack()->isClean());
        QVERIFY(!document().isClean());
        QCOMPARE(clean.size(), 1);
        QCOMPARE(clean.first().first().toBool(), false);
    }

    void passwordsFallBackFromControllerToInstallationToGroup()
    {
        addGroup(1, 1);
        // No password anywhere: an empty one, which is still sent (null would
        // mean that the login is given up).
        const QString none = document().controllerPassword(0, false, false);
        QVERIFY(none.isEmpty() && !none.isNull());
        document().group(0)->setPassword(QStringLiteral("g"));
        QCOMPARE(document().controllerPassword(0, false, false), QStringLiteral("g"));
        document().installation(0)->setPassword(QStringLiteral("i"));
        QCOMPARE(document().controllerPassword(0, false, false), QStringLiteral("i"));
        document().controller(0)->setPassword(QStringLiteral("c"));
        QCOMPARE(document().controllerPassword(0, false, false), QStringLiteral("c"));
        // A refused password is not offered again without asking.
        QVERIFY(document().controllerPassword(0, true, false).isNull());
        QVERIFY(m_prompts.asked.isEmpty());

        document().resetPasswords(false);
        QVERIFY(!document().hasEntityPasswords());
    }

    void askingForAPasswordStoresANewAnswerUndoably()
    {
        addGroup(1, 1);
        document().controller(0)->setHostname(QStringLiteral("10.1.1.1"));
        document().group(0)->setPassword(QStringLiteral("old"));

        // Giving up after a refusal ends the login instead of offering the
        // refused password again.
        m_prompts.password = std::nullopt;
        QVERIFY(document().controllerPassword(0, true, true).isNull());
        QCOMPARE(m_prompts.asked,
                 QStringList{QStringLiteral("The controller 10.1.1.1 requires a password before "
                                            "allowing uploads|old")});
        QCOMPARE(document().undoStack()->count(), 0);

        m_prompts.password = QStringLiteral("old"); // the same again
        QCOMPARE(document().controllerPassword(0, true, true), QStringLiteral("old"));
        QCOMPARE(document().undoStack()->count(), 0);

        m_prompts.password = QStringLiteral("new");
        QCOMPARE(document().controllerPassword(0, true, true), QStringLiteral("new"));
        QCOMPARE(document().controller(0)->password(), QStringLiteral("new"));
        QCOMPARE(document().undoStack()->count(), 1);
        QCOMPARE(document().undoStack()->text(0), QStringLiteral("Set Controller Password"));
        document().undoStack()->undo();
        QCOMPARE(document().controller(0)->password(), QString());

        // Without the re-ask flag a stored password is used without asking.
        m_prompts.asked.clear();
        QCOMPARE(document().controllerPassword(0, false, true), QStringLiteral("old"));
        QVERIFY(m_prompts.asked.isEmpty());
    }

    void theMailClientGetsTheDecipheredPassword()
    {
        MailSettings mail;
        mail.username = QStringLiteral("ops");
        mail.password = PasswordCipher::encode(QStringLiteral("s3cret"));
        document().setMailSettings(mail);
        SmtpAuthenicator authenticator;
        document().handleSmtpAuthenticationRequest(&authenticator);
        QCOMPARE(authenticator.username(), QStringLiteral("ops"));
        QCOMPARE(authenticator.password(), QStringLiteral("s3cret"));
    }

    void aNewTemplateReachesEveryControllerOfTheGroup()
    {
        const uint groupId = addGroup(2, 2);
        InstallationTemplatePtr replacement = templateOf(2);
        replacement->controllerTemplates()[1]->setName(QStringLiteral("second"));
        document().setInstallationTemplate(groupId, replacement);
        QCOMPARE(document().group(groupId)->installationTemplate(), replacement);
        for (const uint installationId : document().group(groupId)->installationIds()) {
            const uint second = document().installation(installationId)->controllerIds()[1];
            QCOMPARE(document().controller(second)->controllerTemplate()->name(),
                     QStringLiteral("second"));
        }
    }

    void conversionsAreRequestedOnlyWhereATranscoderExists()
    {
        InstallationTemplatePtr withMedia = templateOf(1);
        ControllerTemplate &kma = *withMedia->controllerTemplates()[0];
        MediaClip clip(QStringLiteral("Intro"));
        clip.setFile(MediaType_Video, ClipFile(QStringLiteral("/recorded.mpg"), "intro.vid"));
        clip.setFile(MediaType_Slot, ClipFile(QStringLiteral("/slot.bin"), "slot.bin"));
        kma.setFileMediaClips({{1, clip}});
        const QString chosen = m_dir.filePath(QStringLiteral("chosen.mpg"));
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
        QCOMPARE(transcoder->state(QStringLiteral("/recorded.mpg"), MediaType_Video),
                 MediaTranscoder::State_UNKNOWN);
        QCOMPARE(transcoder->state(QStringLiteral("/slot.bin"), MediaType_Slot),
                 MediaTranscoder::State_UNKNOWN);
        QVERIFY(done.wait(10000));
        delete transcoder;
    }

    void changedShowFilesAreAnalysedAgain()
    {
        using namespace ShowFileBytes;
        const QString path = m_dir.filePath(QStringLiteral("show.wrn"));
        QVERIFY(writeFile(path, General().bytes()));
        const QDateTime earlier = QDateTime::currentDateTime().addSecs(-3600);
        const auto touch = [&](const QDateTime &time) {
            QFile file(path);
            return file.open(QIODevice::ReadWrite) &&
                   file.setFileTime(time, QFileDevice::FileModificationTime);
        };
        QVERIFY(touch(earlier));
        InstallationTemplatePtr rig = templateOf(2);
        rig->controllerTemplates()[1]->setShowFile(path);
        const uint groupId = document().addGroup(*rig);
        document().addInstallation(groupId);
        document().addInstallation(groupId);
        QVERIFY(document().reanalyseChangedShowFiles().empty());

        General changed;
        changed.uuid = uuidB;
        QVERIFY(writeFile(path, changed.bytes()));
        QVERIFY(touch(earlier.addSecs(60)));
        const QUuid expected(QStringLiteral("{10203040-5060-7080-90a0-b0c0d0e0f001}"));
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

    void accessToMissingElementsIsAProgrammingError()
    {
        addGroup(1, 1);
        RW_EXPECT_FATAL(document().group(7), "Assert: 'installationGroups.exists(id)' is FALSE");
        RW_EXPECT_FATAL(document().installation(7), "Assert: 'installations.exists(id)' is FALSE");
        RW_EXPECT_FATAL(document().controller(7), "Assert: 'controllers.exists(id)' is FALSE");
        RW_EXPECT_FATAL(
            document().insertController(
                std::make_unique<Controller>(std::make_shared<ControllerTemplate>()), 0),
            "Assert: '!controllers.exists(id)' is FALSE");
        RW_EXPECT_FATAL(document().insertGroup(std::make_unique<InstallationGroup>(), 0),
                        "Assert: '!installationGroups.exists(id)' is FALSE");
        RW_EXPECT_FATAL(
            document().insertInstallation(std::make_unique<Installation>(QList<uint>{}), 0),
            "Assert: '!installations.exists(id)' is FALSE");
        RW_EXPECT_FATAL(document().setInstallationTemplate(9, templateOf(1)),
                        "Assert: 'installationGroups.exists(groupId)' is FALSE");
        RW_EXPECT_FATAL(document().columnWidth(LumDocument::Table(2), 0),
                        "Assert: '(table == Table_MAIN) || (table == Table_PASSWORD)' is FALSE");
    }
};

RW_TEST_MAIN(TestLumDocument)
#include "tst_lum_document.moc"
