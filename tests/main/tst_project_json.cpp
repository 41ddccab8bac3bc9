// The project's JSON form: everything the file holds comes back, passwords
// never leave, and hand-written input is checked with a message that says
// where the fault is.

#include "lum_document.h"
#include "password_cipher.h"
#include "project_file_bytes.h"
#include "project_json.h"
#include "show_file_bytes.h"
#include "test_main.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace PB = ProjectFileBytes;

namespace {

QJsonObject parse(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

// The sample project without any password, which export cannot give back.
PB::Project withoutPasswords()
{
    PB::Project project = PB::sampleProject(7);
    project.masterPassword.clear();
    project.mail.password.clear();
    for (PB::Group &group : project.groups)
        group.password.clear();
    for (PB::Installation &installation : project.installations)
        installation.password.clear();
    for (PB::Controller &controller : project.controllers)
        controller.password.clear();
    return project;
}

} // namespace

class TestProjectJson : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString write(const QByteArray &bytes, const QString &name)
    {
        const QString path = m_dir.filePath(name);
        PB::writeFile(path, bytes);
        return path;
    }

private slots:
    void exportShowsEveryFieldButNoPassword()
    {
        LumDocument document;
        QVERIFY(document.load(write(PB::sampleProject(7).bytes(), QStringLiteral("s.lmp"))));
        const QJsonObject json = ProjectJson::toJson(document);
        const QByteArray text = QJsonDocument(json).toJson();
        for (const char *secret : {"\"mp\"", "\"cp\"", "\"ip\"", "\"sp\""})
            QVERIFY2(!text.contains(secret), secret);
        QCOMPARE(json.value(QStringLiteral("masterPassword")), QJsonValue(true));

        const QJsonObject main = json.value(QStringLiteral("groups")).toArray().at(1).toObject();
        QCOMPARE(main.value(QStringLiteral("id")).toInt(), 3);
        QCOMPARE(main.value(QStringLiteral("password")), QJsonValue(true));
        const QJsonObject kma =
            main.value(QStringLiteral("controllerTemplates")).toArray().at(1).toObject();
        QCOMPARE(kma.value(QStringLiteral("showReadTime")).toString(),
                 QStringLiteral("2024-01-02T00:00:00.000Z"));
        const QJsonObject audio = kma.value(QStringLiteral("clips"))
                                      .toArray()
                                      .at(0)
                                      .toObject()
                                      .value(QStringLiteral("files"))
                                      .toArray()
                                      .at(1)
                                      .toObject();
        QCOMPARE(audio.value(QStringLiteral("type")).toString(), QStringLiteral("Audio"));
        QCOMPARE(audio.value(QStringLiteral("remoteName")).toString(),
                 QStringLiteral("sixteen-bytes-xx"));
        const QJsonObject back =
            main.value(QStringLiteral("installations")).toArray().at(0).toObject();
        QCOMPARE(back.value(QStringLiteral("id")).toInt(),
                 5); // display order, not identifier order
        const QJsonObject first =
            back.value(QStringLiteral("controllers")).toArray().at(1).toObject();
        QCOMPARE(first.value(QStringLiteral("id")).toInt(), 1);
        QCOMPARE(first.value(QStringLiteral("httpPort")).toInt(), 8080);
        QCOMPARE(first.value(QStringLiteral("scheduledUpload")).toString(),
                 QStringLiteral("2100-01-01T10:00:00.000"));
    }

    void anImportedExportExportsTheSame()
    {
        LumDocument original;
        QVERIFY(original.load(write(withoutPasswords().bytes(), QStringLiteral("np.lmp"))));
        const QJsonObject exported = ProjectJson::toJson(original);

        LumDocument imported;
        QString error;
        QVERIFY2(ProjectJson::fromJson(exported, imported, &error), qPrintable(error));
        QCOMPARE(ProjectJson::toJson(imported), exported);
        // The same project, not only the same text.
        QCOMPARE(*imported.controller(1)->controllerTemplate(),
                 *original.controller(1)->controllerTemplate());
        QCOMPARE(imported.uploadSchedule(), original.uploadSchedule());
        QCOMPARE(imported.expandedInstallations(), original.expandedInstallations());
        QCOMPARE(imported.columnWidths(LumDocument::Table_MAIN),
                 original.columnWidths(LumDocument::Table_MAIN));
    }

    void plainPasswordsAreStoredEnciphered()
    {
        const QJsonObject json = parse(R"({"rigwardenProject": 1, "masterPassword": "m",
            "mail": {"password": "s"},
            "groups": [{"password": "g", "controllerTemplates": [{}],
                        "installations": [{"password": "i",
                                           "controllers": [{"password": "c"}]}]}]})");
        LumDocument document;
        QString error;
        QVERIFY2(ProjectJson::fromJson(json, document, &error), qPrintable(error));
        QCOMPARE(document.masterPassword(), PasswordCipher::encode(QStringLiteral("m")));
        QCOMPARE(document.mailSettings().password, PasswordCipher::encode(QStringLiteral("s")));
        QCOMPARE(document.group(0)->password(), PasswordCipher::encode(QStringLiteral("g")));
        QCOMPARE(document.installation(0)->password(), PasswordCipher::encode(QStringLiteral("i")));
        QCOMPARE(document.controller(0)->password(), PasswordCipher::encode(QStringLiteral("c")));
        QCOMPARE(ProjectJson::toJson(document).value(QStringLiteral("masterPassword")),
                 QJsonValue(true));
    }

    // A chosen identifier never takes one that is given further on.
    void identifiersAreKeptWhenGiven()
    {
        const QJsonObject json = parse(R"({"rigwardenProject": 1, "groups": [
            {"controllerTemplates": [{}, {}],
             "installations": [{}, {"id": 0, "controllers": [{"id": 0}, {}]}, {"id": 9}]}]})");
        LumDocument document;
        QString error;
        QVERIFY2(ProjectJson::fromJson(json, document, &error), qPrintable(error));
        QCOMPARE(document.group(0)->installationIds(), (QList<uint>{1, 0, 9}));
        // The others take the lowest free ones in the order they are listed.
        QCOMPARE(document.installation(1)->controllerIds(), (QList<uint>{1, 2}));
        QCOMPARE(document.installation(0)->controllerIds(), (QList<uint>{0, 3}));
        QCOMPARE(document.installation(9)->controllerIds(), (QList<uint>{4, 5}));
        QCOMPARE(document.controller(5)->installationId(), 9u);
        QCOMPARE(document.controller(5)->hostname(), QStringLiteral("0.0.0.0"));
    }

    void aTemplateWithoutReadTimeIsAnalysedFromItsShow()
    {
        const QString show = m_dir.filePath(QStringLiteral("show.wrn"));
        QVERIFY(ShowFileBytes::writeFile(show, ShowFileBytes::General().bytes()));
        QJsonObject json = parse(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates":
            [{"hardwareType": 9}], "installations": [{}]}]})");
        QJsonArray groups = json.value(QStringLiteral("groups")).toArray();
        QJsonObject group = groups.at(0).toObject();
        group.insert(QStringLiteral("controllerTemplates"),
                     QJsonArray{QJsonObject{{QStringLiteral("showFile"), show}}});
        groups.replace(0, group);
        json.insert(QStringLiteral("groups"), groups);
        LumDocument document;
        QString error;
        QVERIFY2(ProjectJson::fromJson(json, document, &error), qPrintable(error));
        const ControllerTemplatePtr analysed =
            document.group(0)->installationTemplate()->controllerTemplates()[0];
        QCOMPARE(analysed->showProjectUuid(),
                 QUuid(QStringLiteral("{00112233-4455-6677-8899-aabbccddeeff}")));
        QVERIFY(analysed->showReadTime().isValid());
        QCOMPARE(document.controller(0)->controllerTemplate()->showProjectUuid(),
                 analysed->showProjectUuid());
    }

    // A KMA show records its clips' paths; the ones given are the operator's.
    void givenMediaPathsHoldOverTheRecordedOnes()
    {
        ShowFileBytes::Kma kma;
        kma.clips = {{1, "Intro", "C:/intro.mpg", "intro.vid", "C:/intro.wav", "intro.aud"}};
        const QString show = m_dir.filePath(QStringLiteral("show.kma"));
        QVERIFY(ShowFileBytes::writeFile(show, kma.bytes()));
        const QJsonObject controllerTemplate{
            {QStringLiteral("hardwareType"), 3},
            {QStringLiteral("showFile"), show},
            {QStringLiteral("mediaPaths"),
             QJsonArray{QJsonObject{{QStringLiteral("clip"), 1},
                                    {QStringLiteral("type"), QStringLiteral("Video")},
                                    {QStringLiteral("path"), QStringLiteral("/mine/intro.mpg")}}}}};
        const QJsonObject json{{QStringLiteral("rigwardenProject"), 1},
                               {QStringLiteral("groups"),
                                QJsonArray{QJsonObject{{QStringLiteral("controllerTemplates"),
                                                        QJsonArray{controllerTemplate}}}}}};
        LumDocument document;
        QString error;
        QVERIFY2(ProjectJson::fromJson(json, document, &error), qPrintable(error));
        const ControllerTemplatePtr analysed =
            document.group(0)->installationTemplate()->controllerTemplates()[0];
        QCOMPARE(analysed->mediaPaths(),
                 (MediaPaths{{{1, MediaType_Video}, QStringLiteral("/mine/intro.mpg")},
                             {{1, MediaType_Audio}, QStringLiteral("C:/intro.wav")}}));
    }

    void faultsAreRefusedWithTheirPlace_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("no format") << QByteArray(R"({"groups": []})")
                                   << QStringLiteral("not a Rigwarden project description");
        QTest::newRow("unknown key")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [{}],
                "installations": [{"controllers": [{"hostName": "x"}]}]}]})")
            << QStringLiteral("groups[0].installations[0].controllers[0]: unknown key "
                              "\"hostName\"");
        QTest::newRow("controllers unlike the template")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [{}],
                "installations": [{"controllers": [{}, {}]}]}]})")
            << QStringLiteral("groups[0].installations[0].controllers: lists 2 controllers but "
                              "the group's template has 1");
        QTest::newRow("identifier twice")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"id": 2}, {"id": 2}]})")
            << QStringLiteral("the installation group identifier 2 is given twice");
        QTest::newRow("identifier beyond the table")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"id": 1024}]})")
            << QStringLiteral("groups[0].id: must be a whole number from 0 to 1023");
        QTest::newRow("port")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [{}],
                "installations": [{"controllers": [{"httpPort": 70000}]}]}]})")
            << QStringLiteral("controllers[0].httpPort: must be a whole number from 0 to 65535");
        QTest::newRow("password not given")
            << QByteArray(R"({"rigwardenProject": 1, "masterPassword": true})")
            << QStringLiteral("masterPassword: the password is not given");
        QTest::newRow("remote name too long")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [
                {"showReadTime": null, "clips": [{"files": [{"type": "Video",
                 "remoteName": "seventeen-bytes-x"}]}]}]}]})")
            << QStringLiteral("files[0].remoteName: must be at most 16 characters");
        QTest::newRow("media type")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [
                {"mediaPaths": [{"clip": 1, "type": "Movie", "path": "x"}]}]}]})")
            << QStringLiteral("mediaPaths[0].type: must be one of");
        QTest::newRow("time")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [{}],
                "installations": [{"controllers": [{"scheduledUpload": "tomorrow"}]}]}]})")
            << QStringLiteral("scheduledUpload: must be a date and time");
        QTest::newRow("analysed field without read time")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [
                {"clips": []}]}]})")
            << QStringLiteral("\"clips\" needs \"showReadTime\"");
        QTest::newRow("hardware type")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [
                {"hardwareType": 13}]}]})")
            << QStringLiteral("hardwareType: must be a whole number from 0 to 12");
        QTest::newRow("wrong kind")
            << QByteArray(R"({"rigwardenProject": 1, "mail": {"recipients": "ops@x.org"}})")
            << QStringLiteral("mail.recipients: must be a list");
        // 205 installations of five controllers need 1025 controllers.
        QByteArray many = R"({"rigwardenProject": 1, "groups": [{"controllerTemplates":
            [{}, {}, {}, {}, {}], "installations": [{})";
        for (int i = 1; i < 205; ++i)
            many += ", {}";
        many += "]}]}";
        QTest::newRow("beyond the controllers table")
            << many << QStringLiteral("a project holds at most 1024 controllers");
    }

    void faultsAreRefusedWithTheirPlace()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        LumDocument document;
        QVERIFY(document.load(write(PB::sampleProject(7).bytes(), QStringLiteral("x.lmp"))));
        QJsonParseError parseError;
        const QJsonDocument json = QJsonDocument::fromJson(text, &parseError);
        QCOMPARE(parseError.error, QJsonParseError::NoError);
        QString reason;
        QVERIFY(!ProjectJson::fromJson(json.object(), document, &reason));
        QVERIFY2(reason.contains(error), qPrintable(reason));
        QVERIFY(document.groups().isEmpty() && document.controllers().isEmpty());
    }
};

RW_TEST_MAIN(TestProjectJson)
#include "tst_project_json.moc"
