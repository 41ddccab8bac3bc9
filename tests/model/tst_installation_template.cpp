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
        for (int number : {3, 1}) {
            original.appendControllerTemplate(std::make_shared<ControllerTemplate>());
            original.controllerTemplates().last()->setNumber(number);
        }
        original.controllerTemplates()[0]->setMediaPath(0, MediaType_Video, QStringLiteral("/v"));

        const InstallationTemplatePtr copy = original.deepCopy();
        QCOMPARE(copy->name(), QStringLiteral("Stage"));
        QCOMPARE(copy->controllerTemplates().size(), 2);
        for (int index = 0; index < 2; ++index) {
            QVERIFY(copy->controllerTemplates()[index] != original.controllerTemplates()[index]);
            QCOMPARE(*copy->controllerTemplates()[index], *original.controllerTemplates()[index]);
        }

        copy->setName(QStringLiteral("Foyer"));
        copy->controllerTemplates()[0]->setMediaPath(0, MediaType_Video, QStringLiteral("/other"));
        copy->appendControllerTemplate(std::make_shared<ControllerTemplate>());
        QCOMPARE(original.name(), QStringLiteral("Stage"));
        QCOMPARE(original.controllerTemplates().size(), 2);
        QCOMPARE(original.controllerTemplates()[0]->mediaPath(0, MediaType_Video),
                 QStringLiteral("/v"));
    }
};

RW_TEST_MAIN(TestInstallationTemplate)
#include "tst_installation_template.moc"
