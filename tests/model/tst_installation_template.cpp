#include "installation_template.h"
#include "test_main.h"

class TestInstallationTemplate : public QObject
{
    Q_OBJECT

private slots:
    // A copy can be renamed and its controller templates changed without any
    // effect on the template it was copied from.
    void deepCopySharesNothing()
    {
        InstallationTemplate original(QStringLiteral("Stage"));
        for (int number = 1; number <= 2; ++number) {
            auto controllerTemplate = std::make_shared<ControllerTemplate>();
            controllerTemplate->setNumber(number);
            controllerTemplate->setMediaPath(0, MediaType_Video,
                                             QStringLiteral("/v%1").arg(number));
            original.appendControllerTemplate(controllerTemplate);
        }

        const InstallationTemplatePtr copy = original.deepCopy();
        QCOMPARE(copy->name(), QStringLiteral("Stage"));
        QCOMPARE(copy->controllerTemplates().size(), 2);
        for (int index = 0; index < 2; ++index) {
            QVERIFY(copy->controllerTemplates()[index] != original.controllerTemplates()[index]);
            QCOMPARE(*copy->controllerTemplates()[index], *original.controllerTemplates()[index]);
        }

        copy->setName(QStringLiteral("Foyer"));
        copy->controllerTemplates()[0]->setNumber(7);
        copy->controllerTemplates()[1]->setMediaPath(0, MediaType_Video, QStringLiteral("/other"));
        copy->appendControllerTemplate(std::make_shared<ControllerTemplate>());

        QCOMPARE(original.name(), QStringLiteral("Stage"));
        QCOMPARE(original.controllerTemplates().size(), 2);
        QCOMPARE(original.controllerTemplates()[0]->number(), 1);
        QCOMPARE(original.controllerTemplates()[1]->mediaPath(0, MediaType_Video),
                 QStringLiteral("/v2"));
    }

    void controllerTemplatesKeepTheirOrder()
    {
        InstallationTemplate installationTemplate;
        InstallationTemplate::ControllerTemplates list;
        for (int number : {3, 1, 2}) {
            list.append(std::make_shared<ControllerTemplate>());
            list.last()->setNumber(number);
        }
        installationTemplate.setControllerTemplates(list);
        const InstallationTemplatePtr copy = installationTemplate.deepCopy();
        QCOMPARE(copy->controllerTemplates()[0]->number(), 3);
        QCOMPARE(copy->controllerTemplates()[1]->number(), 1);
        QCOMPARE(copy->controllerTemplates()[2]->number(), 2);
    }
};

RW_TEST_MAIN(TestInstallationTemplate)
#include "tst_installation_template.moc"
