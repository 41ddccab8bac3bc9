#pragma once

#include <QString>

// What one simulated controller reports and which faults it shows.
struct SimControllerConfig
{
    enum Launch
    {
        Launch_Normal,      // loads the uploaded show and answers its UUID
        Launch_Refused,     // answers 500 with a text that is no UUID
        Launch_NullUuid,    // answers the null UUID
        Launch_OtherProject // answers the UUID of another project
    };

    int hardwareType = 1;
    int firmware[3] = {99, 0, 0};
    quint32 cardSizeKb = 7812500;
    QString password;            // required at PASS when not empty
    bool loggedInAtUser = false; // USER answered 230 at once
    Launch launch = Launch_Normal;
    int dropStor = 0;          // the Nth STOR loses its connection (0: never)
    int stallStor = 0;         // the Nth STOR stops reading and never answers
    qint64 bytesPerSecond = 0; // data connections at this speed (0: unlimited)

    // Applies one fault "name" or "name=value"; false with a reason otherwise.
    bool applyFault(const QString &fault, QString *error);
    // Every fault, one line each, for --help.
    static QString faultHelp();
    // A hardware type by number or display name; -1 when neither.
    static int parseHardwareType(const QString &text);
    static bool parseFirmware(const QString &text, int firmware[3]);
};
