// The commands that exchange one value: each undo and redo passes through
// the entity's own setter, so its side effects happen every time.

#include "event_text_recorder.h"
#include "lum_document.h"
#include "recording_controller.h"
#include "set_controller_ftp_port_command.h"
#include "set_controller_hostname_command.h"
#include "set_controller_http_port_command.h"
#include "set_installation_group_name_command.h"
#include "set_installation_name_command.h"
#include "set_installation_template_command.h"
#include "set_password_command.h"
#include "test_main.h"

#include <QUndoStack>

using namespace Qt::StringLiterals;

class TestSwapCommands : public QObject
{
    Q_OBJECT

private:
    QStringList m_calls;

    LumDocument &document() { return *LumApplication::instance()->document(); }
    QUndoStack &stack() { return *document().undoStack(); }

private slots:
    void initTestCase() { LumApplication::create(this); }

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
        stack().push(new SetInstallationNameCommand(4, u"First"_s));
        stack().push(new SetInstallationNameCommand(4, u"Second"_s));
        stack().undo();
        QCOMPARE(document().installation(4)->storedName(), u"First"_s);
        stack().undo();
        QCOMPARE(document().installation(4)->storedName(), u"Unnamed Installation"_s);
        stack().redo();
        stack().redo();
        QCOMPARE(document().installation(4)->name(), u"Second"_s);

        EventTextRecorder events;
        stack().push(new SetInstallationGroupNameCommand(3, u"Stage"_s));
        stack().undo();
        QCOMPARE(document().group(3)->installationTemplate()->name(), u"Unnamed Group"_s);
        QCOMPARE(events.take(), u"1004 3; 1004 3"_s);
    }

    // A new hostname or web port finds the controller again; the FTP port
    // plays no part in discovery.
    void addressesGoThroughTheControllersSetters()
    {
        const Controller *controller = document().controller(5);
        const auto address = [controller] {
            return u"%1 %2 %3"_s.arg(controller->hostname())
                .arg(controller->httpPort())
                .arg(controller->ftpPort());
        };
        stack().push(new SetControllerHostnameCommand(5, u"10.0.0.9"_s));
        stack().push(new SetControllerHttpPortCommand(5, 8080));
        stack().push(new SetControllerFtpPortCommand(5, 2121));
        QCOMPARE(address(), u"10.0.0.9 8080 2121"_s);
        QCOMPARE(m_calls.join(u' '), u"cancel 5 discover 5 cancel 5 discover 5 cancel 5"_s);
        m_calls.clear();
        stack().undo();
        stack().undo();
        stack().undo();
        QCOMPARE(address(), u"0.0.0.0 80 21"_s);
        QCOMPARE(m_calls.join(u' '), u"cancel 5 cancel 5 discover 5 cancel 5 discover 5"_s);
    }

    // Any other kind of password changes nothing.
    void passwordsOfEachKind()
    {
        stack().push(new SetPasswordCommand(SetPasswordCommand::Kind_InstallationGroup, 3, u"g"_s));
        stack().push(new SetPasswordCommand(SetPasswordCommand::Kind_Installation, 4, u"i"_s));
        stack().push(new SetPasswordCommand(SetPasswordCommand::Kind_Controller, 5, u"c"_s));
        stack().push(new SetPasswordCommand(7, 5, u"x"_s));
        QCOMPARE(document().group(3)->password() + document().installation(4)->password() +
                     document().controller(5)->password(),
                 u"gic"_s);
        for (int i = 0; i < 4; ++i)
            stack().undo();
        QVERIFY(!document().hasEntityPasswords());
    }

    void aNewTemplateIsAnnouncedAndReachesTheControllers()
    {
        const InstallationTemplatePtr old = document().group(3)->installationTemplate();
        InstallationTemplatePtr replacement = old->deepCopy();
        replacement->controllerTemplates()[0]->setName(u"new"_s);
        EventTextRecorder events;
        stack().push(new SetInstallationTemplateCommand(3, replacement));
        QCOMPARE(document().group(3)->installationTemplate(), replacement);
        QCOMPARE(document().controller(5)->controllerTemplate()->name(), u"new"_s);
        QCOMPARE(events.take(), u"1005 3"_s);
        stack().undo();
        QCOMPARE(document().group(3)->installationTemplate(), old);
        QVERIFY(document().controller(5)->controllerTemplate()->name().isEmpty());
        QCOMPARE(events.take(), u"1005 3"_s);
    }
};

RW_TEST_MAIN(TestSwapCommands)
#include "tst_swap_commands.moc"
