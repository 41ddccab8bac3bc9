#pragma once

#include <QJsonObject>
#include <QString>

class LumDocument;

// The whole project as JSON, for operators who keep their rigs under
// version control, script them or write them by hand. `rigwarden-cli export`
// writes it and `rigwarden-cli import` reads it; doc/project-json.md
// describes it with an example.
//
//   {
//     "rigwardenProject": 1,                       format of this text, required
//     "masterPassword": false,
//     "groups": [ {
//       "id": 3, "name": "Main stage", "password": false, "expanded": true,
//       "controllerTemplates": [ {
//         "number": 1, "hardwareType": 9, "name": "Stage left",
//         "showFile": "/shows/main.wrn",
//         "mediaPaths": [ { "clip": -1, "type": "Folder", "path": "/media" } ],
//         "minimumFirmware": "2.5.1", "showDeviceType": 9,
//         "showReadTime": "2024-01-02T12:34:56.789", "showProjectUuid": "{...}",
//         "clips": [ { "number": 1, "name": "Opening",
//                      "files": [ { "type": "Slot", "path": "/m/clip01.bin",
//                                   "remoteName": "clip01.bin" } ] } ] } ],
//       "installations": [ {
//         "id": 5, "name": "Front", "password": false, "expanded": true,
//         "controllers": [ { "id": 4, "hostname": "10.0.0.12", "httpPort": 80,
//                            "ftpPort": 21, "password": false,
//                            "scheduledUpload": "2030-05-01T20:00:00.000" } ] } ] } ],
//     "mail": { "enabled": true, "sendForManualUploads": false,
//               "server": "mail.example.com", "port": 25, "username": "ops",
//               "password": false, "recipients": [ "ops@example.com" ] },
//     "columnWidths": { "main": { "0": 200, ... }, "password": { "0": 200, "1": 200 } }
//   }
//
// Passwords are never written: export gives only whether one is set (true or
// false). Import takes a password as plain text and stores it enciphered;
// false means none, and true (a password that was not given) is refused, so
// that no password is lost unnoticed.
//
// On import every key but "rigwardenProject" may be left out and takes its
// default; unknown keys are refused. Identifiers are kept when given (0 to
// 1023, each once per kind) and chosen lowest-first otherwise. An
// installation without "controllers" gets one new controller per controller
// template; with them it must list exactly one per template. A controller
// template without "showReadTime" is analysed from its show file, as the
// template builder does; with it, the analysed fields are taken as given.
// Times are ISO 8601 in local time (a "Z" or an offset is kept).
class ProjectJson
{
public:
    static constexpr int FormatVersion = 1;

    static QJsonObject toJson(const LumDocument &document);
    // Replaces the document's content with the project described. On failure
    // the document is left empty and `errorText` names the place and the
    // fault ("groups[0].installations[1].controllers: ...").
    static bool fromJson(const QJsonObject &json, LumDocument &document, QString *errorText);
};
