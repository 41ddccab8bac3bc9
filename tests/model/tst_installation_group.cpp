#include "installation_group.h"
#include "lum_application.h"
#include "test_main.h"

class TestInstallationGroup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { LumApplication::create(this); }

    // A group made from a template owns a copy that can be renamed and
    // changed without any effect on the template it was copied from.
    void aGroupOwnsACopyOfItsTemplate()
    {
        InstallationTemplate source(QStringLiteral("Stage"));
        for (int number : {3, 1}) {
            source.appendControllerTemplate(std::make_shared<ControllerTemplate>());
            source.controllerTemplates().last()->setNumber(number);
        }
        source.controllerTemplates()[0]->setMediaPath(0, MediaType_Video, QStringLiteral("/v"));
        InstallationGroup group(source);
        const InstallationTemplatePtr copy = group.installationTemplate();
        QCOMPARE(group.name(), QStringLiteral("Stage"));
        QCOMPARE(copy->controllerTemplates().size(), 2);
        for (int index = 0; index < 2; ++index) {
            QVERIFY(copy->controllerTemplates()[index] != source.controllerTemplates()[index]);
            QCOMPARE(*copy->controllerTemplates()[index], *source.controllerTemplates()[index]);
        }

        group.setName(QStringLiteral("Foyer"));
        copy->controllerTemplates()[0]->setMediaPath(0, MediaType_Video, QStringLiteral("/other"));
        copy->appendControllerTemplate(std::make_shared<ControllerTemplate>());
        QCOMPARE(source.name(), QStringLiteral("Stage"));
        QCOMPARE(source.controllerTemplates().size(), 2);
        QCOMPARE(source.controllerTemplates()[0]->mediaPath(0, MediaType_Video),
                 QStringLiteral("/v"));
    }
};

RW_TEST_MAIN(TestInstallationGroup)
#include "tst_installation_group.moc"
