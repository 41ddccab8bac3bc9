#include "lum_document.h"
#include "password_cipher.h"
#include "project_file_bytes.h"
#include "project_json.h"
#include "show_file_bytes.h"
#include "test_main.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
namespace PB = ProjectFileBytes;

namespace {

// The value at a path of keys and indexes, as "groups/1/id".
QJsonValue at(const QJsonObject &json, const QString &path)
{
    QJsonValue value = json;
    for (const QString &step : path.split(u'/')) {
        bool isIndex = false;
        const int index = step.toInt(&isIndex);
        value = isIndex ? value.toArray().at(index) : value.toObject().value(step);
    }
    return value;
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
    // Export shows every field but no password. Without passwords, which it
    // cannot give back, an imported export exports the same.
    void exportShowsEveryFieldAndImportsBack()
    {
        LumDocument original;
        QVERIFY(original.load(write(PB::sampleProject(7).bytes(), u"s.lmp"_s)));
        const QJsonObject json = ProjectJson::toJson(original);
        const QByteArray text = QJsonDocument(json).toJson();
        for (const char *secret : {"\"mp\"", "\"cp\"", "\"ip\"", "\"sp\""})
            QVERIFY2(!text.contains(secret), secret);
        const QList<std::pair<QString, QJsonValue>> fields{
            {u"masterPassword"_s, true},
            {u"groups/1/id"_s, 3},
            {u"groups/1/password"_s, true},
            {u"groups/1/controllerTemplates/1/showReadTime"_s, u"2024-01-02T00:00:00.000Z"_s},
            {u"groups/1/controllerTemplates/1/clips/0/files/1/type"_s, u"Audio"_s},
            {u"groups/1/controllerTemplates/1/clips/0/files/1/remoteName"_s, u"sixteen-bytes-xx"_s},
            // Installations and controllers in display order, not identifier order.
            {u"groups/1/installations/0/id"_s, 5},
            {u"groups/1/installations/0/controllers/1/id"_s, 1},
            {u"groups/1/installations/0/controllers/1/httpPort"_s, 8080},
            {u"groups/1/installations/0/controllers/1/scheduledUpload"_s,
             u"2100-01-01T10:00:00.000"_s}};
        for (const auto &[path, value] : fields)
            QVERIFY2(at(json, path) == value, qPrintable(path));

        original.resetPasswords(true);
        MailSettings mail = original.mailSettings();
        mail.password.clear();
        original.setMailSettings(mail);
        const QJsonObject exported = ProjectJson::toJson(original);

        LumDocument copy;
        QString error;
        QVERIFY2(ProjectJson::fromJson(exported, copy, &error), qPrintable(error));
        QCOMPARE(ProjectJson::toJson(copy), exported);
        // The same project, not only the same text.
        QCOMPARE(*copy.controller(1)->controllerTemplate(),
                 *original.controller(1)->controllerTemplate());
        QCOMPARE(copy.uploadSchedule(), original.uploadSchedule());
        QCOMPARE(copy.expandedInstallations(), original.expandedInstallations());
        QCOMPARE(copy.columnWidths(LumDocument::Table_MAIN),
                 original.columnWidths(LumDocument::Table_MAIN));
    }

    // Plain passwords are stored enciphered. A chosen identifier never takes
    // one that is given further on; the others take the lowest free ones in
    // the order they are listed. A template without read time is analysed
    // from its show file; a KMA show records its clips' paths, the ones given
    // are the operator's. A project file keeps no offsets: the moment of a
    // time is what must survive.
    void importKeepsWhatItIsGiven()
    {
        const QString general = m_dir.filePath(u"show.wrn"_s);
        QVERIFY(ShowFileBytes::writeFile(general, ShowFileBytes::General().bytes()));
        ShowFileBytes::Kma kma;
        kma.clips = {{1, "Intro", "C:/intro.mpg", "intro.vid", "C:/intro.wav", "intro.aud"}};
        const QString kmaShow = m_dir.filePath(u"show.kma"_s);
        QVERIFY(ShowFileBytes::writeFile(kmaShow, kma.bytes()));
        LumDocument document;
        QString error;
        const QByteArray text = uR"({"rigwardenProject": 1, "masterPassword": "m",
            "mail": {"password": "s"}, "groups": [{"password": "g",
            "controllerTemplates": [{"showFile": "%1"}, {}], "installations": [{"password": "i",
                "controllers": [{"password": "c", "scheduledUpload": "2031-01-01T00:00:00+02:00"},
                {}]}, {"id": 0, "controllers": [{"id": 0}, {}]}, {"id": 9}]},
            {"controllerTemplates": [{"hardwareType": 3, "showFile": "%2", "mediaPaths": [
                {"clip": 1, "type": "Video", "path": "/mine/intro.mpg"}]}]}]})"_s
                                    .arg(general, kmaShow)
                                    .toUtf8();
        QVERIFY2(ProjectJson::fromJson(QJsonDocument::fromJson(text).object(), document, &error),
                 qPrintable(error));
        QCOMPARE(document.masterPassword(), PasswordCipher::encode(u"m"_s));
        QCOMPARE(document.mailSettings().password, PasswordCipher::encode(u"s"_s));
        QCOMPARE(document.group(0)->password(), PasswordCipher::encode(u"g"_s));
        QCOMPARE(document.installation(1)->password(), PasswordCipher::encode(u"i"_s));
        QCOMPARE(document.controller(1)->password(), PasswordCipher::encode(u"c"_s));
        QCOMPARE(document.group(0)->installationIds(), (QList<uint>{1, 0, 9}));
        QCOMPARE(document.installation(1)->controllerIds(), (QList<uint>{1, 2}));
        QCOMPARE(document.installation(0)->controllerIds(), (QList<uint>{0, 3}));
        QCOMPARE(document.installation(9)->controllerIds(), (QList<uint>{4, 5}));
        QCOMPARE(document.controller(5)->installationId(), 9u);
        const ControllerTemplatePtr analysed =
            document.group(0)->installationTemplate()->controllerTemplates()[0];
        QCOMPARE(analysed->showProjectUuid(), QUuid(u"{00112233-4455-6677-8899-aabbccddeeff}"_s));
        QVERIFY(analysed->showReadTime().isValid());
        QCOMPARE(document.controller(0)->controllerTemplate()->showProjectUuid(),
                 analysed->showProjectUuid());
        QCOMPARE(document.group(1)->installationTemplate()->controllerTemplates()[0]->mediaPaths(),
                 (MediaPaths{{{1, MediaType_Video}, u"/mine/intro.mpg"_s},
                             {{1, MediaType_Audio}, u"C:/intro.wav"_s}}));
        QVERIFY(document.saveAs(m_dir.filePath(u"offset.lmp"_s)));
        LumDocument reopened;
        QVERIFY(reopened.load(m_dir.filePath(u"offset.lmp"_s)));
        QCOMPARE(reopened.uploadSchedule().scheduledTime(1).toMSecsSinceEpoch(),
                 QDateTime(QDate(2030, 12, 31), QTime(22, 0), Qt::UTC).toMSecsSinceEpoch());
    }

    // Faults are refused with a message that names their place and leave the
    // document empty (the fuzz target tries input of every other shape).
    void faultsAreRefusedWithTheirPlace_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown key")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [{}],
                "installations": [{"controllers": [{"hostName": "x"}]}]}]})")
            << u"groups[0].installations[0].controllers[0]: unknown key \"hostName\""_s;
        QTest::newRow("controllers unlike the template")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [{}],
                "installations": [{"controllers": [{}, {}]}]}]})")
            << u"groups[0].installations[0].controllers: lists 2 controllers but the group's "
               u"template has 1"_s;
        QTest::newRow("password not given")
            << QByteArray(R"({"rigwardenProject": 1, "masterPassword": true})")
            << u"masterPassword: the password is not given"_s;
        QTest::newRow("remote name too long")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [
                {"showReadTime": null, "clips": [{"files": [{"type": "Video",
                 "remoteName": "seventeen-bytes-x"}]}]}]}]})")
            << u"files[0].remoteName: must be at most 16 characters"_s;
        QTest::newRow("hardware type")
            << QByteArray(R"({"rigwardenProject": 1, "groups": [{"controllerTemplates": [
                {"hardwareType": 13}]}]})")
            << u"hardwareType: must be a whole number from 0 to 12"_s;
        // 205 installations of five controllers need 1025 controllers.
        QTest::newRow("beyond the controllers table")
            << R"({"rigwardenProject": 1, "groups": [{"controllerTemplates":
                [{}, {}, {}, {}, {}], "installations": [{})"_ba +
                   QByteArray(", {}").repeated(204) + "]}]}"
            << u"a project holds at most 1024 controllers"_s;
    }

    void faultsAreRefusedWithTheirPlace()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        LumDocument document;
        QVERIFY(document.load(write(PB::sampleProject(7).bytes(), u"x.lmp"_s)));
        QString reason;
        QVERIFY(!ProjectJson::fromJson(QJsonDocument::fromJson(text).object(), document, &reason));
        QVERIFY2(reason.contains(error), qPrintable(reason));
        QVERIFY(document.groups().isEmpty() && document.controllers().isEmpty());
    }
};

RW_TEST_MAIN(TestProjectJson)
#include "tst_project_json.moc"
