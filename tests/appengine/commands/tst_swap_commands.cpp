// The commands that exchange one value: each undo and redo passes through
// the entity's own setter, so its side effects happen every time.

#include "event_text_recorder.h"
#include "lum_document.h"
#include "set_controller_ftp_port_command.h"
#include "set_controller_hostname_command.h"
#include "set_controller_http_port_command.h"
#include "set_email_settings_command.h"
#include "set_installation_group_name_command.h"
#include "set_installation_name_command.h"
#include "set_installation_template_command.h"
#include "set_password_command.h"
#include "test_main.h"

#include <QUndoStack>

namespace {

// Remembers what the setters asked of the controller link.
class RecordingController : public Controller
{
public:
    explicit RecordingController(QStringList *calls)
        : Controller(std::make_shared<ControllerTemplate>()), m_calls(calls)
    {}
    void discover() override { *m_calls << QStringLiteral("discover"); }
    void cancelUpload() override { *m_calls << QStringLiteral("cancel"); }

private:
    QStringList *m_calls;
};

} // namespace

class TestSwapCommands : public QObject
{
    Q_OBJECT

private:
    LumDocument *m_document = nullptr;
    QStringList m_calls;

    LumDocument &document() { return *m_document; }
    QUndoStack &stack() { return *m_document->undoStack(); }

private slots:
    void initTestCase()
    {
        LumApplication::create(this);
        m_document = LumApplication::instance()->document();
    }

    // One group (3) with one installation (4) of one controller (5).
    void init()
    {
        document().reset();
        m_calls.clear();
        auto rig = std::make_shared<InstallationTemplate>();
        rig->appendControllerTemplate(std::make_shared<ControllerTemplate>());
        auto group = std::make_unique<InstallationGroup>(*rig);
        document().insertGroup(std::move(group), 3);
        auto installation = std::make_unique<Installation>(QList<uint>{5});
        installation->setGroupId(3);
        document().insertInstallation(std::move(installation), 4);
        document().insertController(std::make_unique<RecordingController>(&m_calls), 5);
        document().controller(5)->setInstallationId(4);
        m_calls.clear();
    }

    // Undoing a first rename stores the default that was shown.
    void renamesUndoToWhatWasShown()
    {
        stack().push(new SetInstallationNameCommand(4, QStringLiteral("First")));
        stack().push(new SetInstallationNameCommand(4, QStringLiteral("Second")));
        stack().undo();
        QCOMPARE(document().installation(4)->storedName(), QStringLiteral("First"));
        stack().undo();
        QCOMPARE(document().installation(4)->storedName(), QStringLiteral("Unnamed Installation"));
        stack().redo();
        stack().redo();
        QCOMPARE(document().installation(4)->name(), QStringLiteral("Second"));

        EventTextRecorder events;
        stack().push(new SetInstallationGroupNameCommand(3, QStringLiteral("Stage")));
        stack().undo();
        QCOMPARE(document().group(3)->installationTemplate()->name(),
                 QStringLiteral("Unnamed Group"));
        QCOMPARE(events.take(), QStringLiteral("1004 3; 1004 3"));
    }

    // A new hostname or web port finds the controller again; the FTP port
    // plays no part in discovery.
    void addressesGoThroughTheControllersSetters()
    {
        Controller *controller = document().controller(5);
        stack().push(new SetControllerHostnameCommand(5, QStringLiteral("10.0.0.9")));
        QCOMPARE(controller->hostname(), QStringLiteral("10.0.0.9"));
        QCOMPARE(m_calls, (QStringList{QStringLiteral("cancel"), QStringLiteral("discover")}));
        stack().undo();
        QCOMPARE(controller->hostname(), QStringLiteral("0.0.0.0"));

        m_calls.clear();
        stack().push(new SetControllerHttpPortCommand(5, 8080));
        QCOMPARE(controller->httpPort(), 8080u);
        QCOMPARE(m_calls, (QStringList{QStringLiteral("cancel"), QStringLiteral("discover")}));
        stack().undo();
        QCOMPARE(controller->httpPort(), 80u);

        m_calls.clear();
        stack().push(new SetControllerFtpPortCommand(5, 2121));
        QCOMPARE(controller->ftpPort(), 2121u);
        stack().undo();
        QCOMPARE(controller->ftpPort(), 21u);
        QCOMPARE(m_calls, (QStringList{QStringLiteral("cancel"), QStringLiteral("cancel")}));
    }

    void passwordsOfEachKind()
    {
        stack().push(new SetPasswordCommand(SetPasswordCommand::Kind_InstallationGroup, 3,
                                            QStringLiteral("g")));
        stack().push(
            new SetPasswordCommand(SetPasswordCommand::Kind_Installation, 4, QStringLiteral("i")));
        stack().push(
            new SetPasswordCommand(SetPasswordCommand::Kind_Controller, 5, QStringLiteral("c")));
        QCOMPARE(document().group(3)->password(), QStringLiteral("g"));
        QCOMPARE(document().installation(4)->password(), QStringLiteral("i"));
        QCOMPARE(document().controller(5)->password(), QStringLiteral("c"));
        stack().push(new SetPasswordCommand(7, 5, QStringLiteral("x"))); // no such kind
        QCOMPARE(document().controller(5)->password(), QStringLiteral("c"));
        stack().undo();
        stack().undo();
        stack().undo();
        stack().undo();
        QVERIFY(!document().hasEntityPasswords());
    }

    void mailSettingsChangeAsOneRecord()
    {
        MailSettings mail;
        mail.enabled = true;
        mail.sendForManualUploads = true;
        mail.server = QStringLiteral("smtp.example.com");
        mail.port = 2525;
        mail.username = QStringLiteral("u");
        mail.password = QStringLiteral("p");
        mail.recipients = {QStringLiteral("ops@example.com")};
        stack().push(new SetEmailSettingsCommand(mail));
        QCOMPARE(document().mailSettings(), mail);
        stack().undo();
        QCOMPARE(document().mailSettings(), MailSettings());
        stack().redo();
        QCOMPARE(document().mailSettings(), mail);
    }

    void aNewTemplateIsAnnouncedAndReachesTheControllers()
    {
        const InstallationTemplatePtr old = document().group(3)->installationTemplate();
        InstallationTemplatePtr replacement = old->deepCopy();
        replacement->controllerTemplates()[0]->setName(QStringLiteral("new"));
        EventTextRecorder events;
        stack().push(new SetInstallationTemplateCommand(3, replacement));
        QCOMPARE(document().group(3)->installationTemplate(), replacement);
        QCOMPARE(document().controller(5)->controllerTemplate()->name(), QStringLiteral("new"));
        QCOMPARE(events.take(), QStringLiteral("1005 3"));
        stack().undo();
        QCOMPARE(document().group(3)->installationTemplate(), old);
        QVERIFY(document().controller(5)->controllerTemplate()->name().isEmpty());
        QCOMPARE(events.take(), QStringLiteral("1005 3"));
    }
};

RW_TEST_MAIN(TestSwapCommands)
#include "tst_swap_commands.moc"
