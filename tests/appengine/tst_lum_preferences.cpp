#include "autostart_entry.h"
#include "fatal_probe.h"
#include "lum_preferences.h"
#include "test_main.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>

namespace {
QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Lumora"),
                     QStringLiteral("Rigwarden"));
}

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

class TestLumPreferences : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        store().clear();
        AutostartEntry::remove();
    }

    void freshUserGetsTheDefaults()
    {
        LumPreferences preferences;
        QCOMPARE(preferences.value(LumPreferences::Key_MaxAttempts), QVariant(3));
        QCOMPARE(preferences.value(LumPreferences::Key_RetryInterval), QVariant(300));
        QCOMPARE(preferences.value(LumPreferences::Key_StopOnFirstFail), QVariant(false));
        QCOMPARE(preferences.value(LumPreferences::Key_UploadUnchangedFiles), QVariant(false));
        QCOMPARE(preferences.value(LumPreferences::Key_RunAtStartup), QVariant(false));
        QCOMPARE(preferences.value(LumPreferences::Key_NotifyAboutBetaReleases), QVariant(false));
        QVERIFY(!preferences.value(6).isValid());
        QCOMPARE(preferences.name(LumPreferences::Key_RetryInterval),
                 QStringLiteral("Upload/RetryInterval"));
    }

    void valuesPersistUnderTheirKeysWithTheirTypes()
    {
        {
            LumPreferences preferences;
            preferences.setValue(LumPreferences::Key_MaxAttempts, 0);
            preferences.setValue(LumPreferences::Key_StopOnFirstFail, true);
            preferences.setValue(LumPreferences::Key_NotifyAboutBetaReleases, true);
        }
        QCOMPARE(store().value(QStringLiteral("Upload/MaxAttempts")).toInt(), 0);
        QVERIFY(store().value(QStringLiteral("NotifyAboutBetaReleases")).toBool());
        LumPreferences again;
        QCOMPARE(again.value(LumPreferences::Key_MaxAttempts), QVariant(0));
        QCOMPARE(again.value(LumPreferences::Key_StopOnFirstFail), QVariant(true));
    }

    void unreadableStoredValueGivesTheDefault()
    {
        store().setValue(QStringLiteral("Upload/RetryInterval"), QStringLiteral("soon"));
        LumPreferences preferences;
        QCOMPARE(preferences.value(LumPreferences::Key_RetryInterval), QVariant(300));
    }

    void settingTheCurrentValueWritesAndEmitsNothing()
    {
        LumPreferences preferences;
        QSignalSpy spy(&preferences, &Preferences::valueChanged);
        preferences.setValue(LumPreferences::Key_RetryInterval, 300);
        QCOMPARE(spy.size(), 0);
        QVERIFY(!store().contains(QStringLiteral("Upload/RetryInterval")));
        preferences.setValue(LumPreferences::Key_RetryInterval, 60);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].toUInt(), uint(LumPreferences::Key_RetryInterval));
        QCOMPARE(spy[0][1], QVariant(60));
        QCOMPARE(store().value(QStringLiteral("Upload/RetryInterval")).toInt(), 60);
    }

    void runAtStartupLivesInTheAutostartEntry()
    {
        const QString path = qEnvironmentVariable("XDG_CONFIG_HOME") +
                             QStringLiteral("/autostart/rigwarden.desktop");
        QCOMPARE(AutostartEntry::path(), path);
        LumPreferences preferences;
        preferences.setValue(LumPreferences::Key_RunAtStartup, true);
        const QString entry = readFile(path);
        QVERIFY(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
        QVERIFY(entry.contains(QStringLiteral("\nType=Application\n")));
        QVERIFY2(entry.contains(QStringLiteral("\nExec=") +
                                QCoreApplication::applicationFilePath() +
                                QStringLiteral(" -start_minimised -load_last_file\n")),
                 qPrintable(entry));
        QVERIFY(!store().contains(QStringLiteral("RunAtStartup")));

        preferences.setValue(LumPreferences::Key_RunAtStartup, false);
        QVERIFY(!QFile::exists(path));
    }

    void anEntryWrittenByAnotherToolReadsAsOn()
    {
        QVERIFY(AutostartEntry::write(QStringLiteral("/opt/other/bin/thing"), QString()));
        LumPreferences preferences;
        QCOMPARE(preferences.value(LumPreferences::Key_RunAtStartup), QVariant(true));
    }

    void execValueIsQuotedWhereNeeded_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << QStringLiteral("/usr/bin/rigwarden")
                               << QStringLiteral("/usr/bin/rigwarden -a");
        QTest::newRow("blank") << QStringLiteral("/opt/My Apps/rigwarden")
                               << QStringLiteral("\"/opt/My Apps/rigwarden\" -a");
        QTest::newRow("dollar") << QStringLiteral("/opt/a$b/rigwarden")
                                << QStringLiteral("\"/opt/a\\\\$b/rigwarden\" -a");
        QTest::newRow("percent") << QStringLiteral("/opt/100%/rigwarden")
                                 << QStringLiteral("/opt/100%%/rigwarden -a");
    }
    void execValueIsQuotedWhereNeeded()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QCOMPARE(AutostartEntry::execValue(program, QStringLiteral("-a")), exec);
    }

    void nameOfAnUnregisteredKeyIsAProgrammingError()
    {
        LumPreferences preferences;
        RW_EXPECT_FATAL(preferences.name(6), "Assert: 'iKey != keyLookup.end()' is FALSE");
    }
};

RW_TEST_MAIN(TestLumPreferences)
#include "tst_lum_preferences.moc"
