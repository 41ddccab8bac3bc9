#include "autostart_entry.h"
#include "lum_preferences.h"
#include "test_main.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {
QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, u"Lumora"_s, u"Rigwarden"_s);
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

    // Defaults for a fresh user; other values persist under the key's name.
    void keys_data()
    {
        QTest::addColumn<uint>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("defaultValue");
        QTest::addColumn<QVariant>("other");
        QTest::newRow("max attempts") << uint(LumPreferences::Key_MaxAttempts)
                                      << u"Upload/MaxAttempts"_s << QVariant(3) << QVariant(0);
        QTest::newRow("stop on first fail")
            << uint(LumPreferences::Key_StopOnFirstFail) << u"Upload/StopOnFirstFail"_s
            << QVariant(false) << QVariant(true);
    }
    void keys()
    {
        QFETCH(uint, key);
        QFETCH(QString, name);
        QFETCH(QVariant, defaultValue);
        QFETCH(QVariant, other);
        {
            LumPreferences preferences;
            QCOMPARE(preferences.value(key), defaultValue);
            QSignalSpy spy(&preferences, &Preferences::valueChanged);
            preferences.setValue(key, defaultValue); // unchanged: nothing written or emitted
            QVERIFY(spy.isEmpty() && !store().contains(name));
            preferences.setValue(key, other);
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.first(), (QVariantList{key, other}));
        }
        QCOMPARE(store().value(name).toString(), other.toString());
        QCOMPARE(LumPreferences().value(key), other);
        store().setValue(name, u"soon"_s); // neither a number nor a truth value
        QCOMPARE(LumPreferences().value(key), defaultValue);
    }

    void runAtStartupLivesInTheAutostartEntry()
    {
        const QString path =
            qEnvironmentVariable("XDG_CONFIG_HOME") + u"/autostart/rigwarden.desktop"_s;
        QCOMPARE(AutostartEntry::path(), path);
        LumPreferences preferences;
        QCOMPARE(preferences.value(LumPreferences::Key_RunAtStartup), QVariant(false));
        preferences.setValue(LumPreferences::Key_RunAtStartup, true);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString entry = QString::fromUtf8(file.readAll());
        QVERIFY(entry.startsWith(u"[Desktop Entry]\n"_s));
        QVERIFY(entry.contains(u"\nType=Application\n"_s));
        QVERIFY2(entry.contains(u"\nExec="_s + QCoreApplication::applicationFilePath() +
                                u" -start_minimised -load_last_file\n"_s),
                 qPrintable(entry));
        QVERIFY(!store().contains(u"RunAtStartup"_s));
        preferences.setValue(LumPreferences::Key_RunAtStartup, false);
        QVERIFY(!QFile::exists(path));

        // An entry written by another tool reads as on.
        QVERIFY(AutostartEntry::write(u"/opt/other/bin/thing"_s, QString()));
        QCOMPARE(LumPreferences().value(LumPreferences::Key_RunAtStartup), QVariant(true));
    }

    void execValueIsQuotedWhereNeeded_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << u"/usr/bin/rigwarden"_s << u"/usr/bin/rigwarden -a"_s;
        QTest::newRow("blank") << u"/opt/My Apps/rigwarden"_s << u"\"/opt/My Apps/rigwarden\" -a"_s;
        QTest::newRow("dollar") << u"/opt/a$b/rigwarden"_s << u"\"/opt/a\\\\$b/rigwarden\" -a"_s;
        QTest::newRow("percent") << u"/opt/100%/rigwarden"_s << u"/opt/100%%/rigwarden -a"_s;
    }
    void execValueIsQuotedWhereNeeded()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QCOMPARE(AutostartEntry::execValue(program, u"-a"_s), exec);
    }
};

RW_TEST_MAIN(TestLumPreferences)
#include "tst_lum_preferences.moc"
