#include "desktop_scene.h"

class TestDialogs : public DesktopScene
{
    Q_OBJECT

private slots:
    void projectBuiltFromNothing()
    {
        m_app->endProject();
        m_app->beginProject(false);
        ModalAnswerer answerer;
        answerer.act(u"New Project Template"_s, buildTemplate(1))
            .act(u"Add Installation"_s, addInstallations(0, 255))
            .act(u"Add Installation"_s,
                 [](QWidget *window) {
                     ModalAnswerer::clickButton(window, u"Create New Project Template"_s);
                 })
            .act(u"New Project Template"_s, buildTemplate(5))
            .act(u"Add Installation"_s, addInstallations(1, 255))
            .answer(u"Add Installation"_s, u"OK"_s); // no room for 1275 controllers
        for (int i = 0; i < 4; ++i)
            m_controller->addInstallation();
        QVERIFY(answerer.done() && answerer.unexpected().isEmpty());
        QCOMPARE(document()->undoStack()->count(), 3);
        QCOMPARE(document()->undoStack()->command(1)->text(), u"Add Installation"_s);
        QCOMPARE(document()->installations().count(), 255);
        QCOMPARE(document()->groups().count(), 2);
    }

    void refusedRecipientsAreNamedThenDropped()
    {
        MailSettings settings;
        settings.recipients = {u"ops@example.travel"_s, u"ops@example"_s};
        settings.password = PasswordCipher::encode(u"secret"_s);
        document()->setMailSettings(settings);
        EmailSettingsDialog dialog(document());
        auto *list = dialog.findChild<QListWidget *>();
        QVERIFY(list->item(0)->data(Qt::ForegroundRole).isNull());
        QCOMPARE(list->item(1)->foreground().color(), EmailSettingsDialog::warningColour());
        dialog.addRecipient(); // left empty: not an address, dropped silently

        ModalAnswerer answerer;
        answerer.answer(u"Invalid Recipients"_s, u"Cancel"_s);
        dialog.accept();
        QVERIFY(answerer.done());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(document()->undoStack()->count(), 0);

        answerer.answer(u"Invalid Recipients"_s, u"Save"_s);
        dialog.accept();
        QVERIFY(answerer.done());
        QCOMPARE(document()->undoStack()->count(), 1);
        QCOMPARE(document()->mailSettings().recipients, QStringList{u"ops@example.travel"_s});
        QCOMPARE(document()->mailSettings().password, settings.password);

        EmailSettingsDialog unchanged(document());
        unchanged.accept();
        QCOMPARE(document()->undoStack()->count(), 1);
        document()->undoStack()->undo();
        QCOMPARE(document()->mailSettings(), settings);
    }

    // Cancel writes nothing, OK every field.
    void preferencesChangeOnlyWhenAccepted()
    {
        LumPreferences *preferences = m_app->preferences();
        QList<QVariant> before;
        for (uint key = 0; key <= LumPreferences::Key_NotifyAboutBetaReleases; ++key)
            before << preferences->value(key);
        for (const bool accepted : {false, true}) {
            PreferencesDialog dialog(preferences);
            dialog.findChild<QSpinBox *>()->setValue(0);
            dialog.findChild<QTimeEdit *>()->setTime(QTime(0, 10, 5));
            for (QCheckBox *box : dialog.findChildren<QCheckBox *>())
                box->toggle();
            accepted ? dialog.accept() : dialog.reject();
            for (uint key = 0; !accepted && key <= LumPreferences::Key_NotifyAboutBetaReleases;
                 ++key)
                QCOMPARE(preferences->value(key), before.at(key));
        }
        QCOMPARE(preferences->value(LumPreferences::Key_MaxAttempts).toInt(), 0);
        QCOMPARE(preferences->value(LumPreferences::Key_RetryInterval).toInt(), 605);
        for (uint key = LumPreferences::Key_StopOnFirstFail;
             key <= LumPreferences::Key_NotifyAboutBetaReleases; ++key)
            QCOMPARE(preferences->value(key).toBool(), !before.at(key).toBool());
    }

    void newScheduleTimes()
    {
        SetScheduleDialog dialog({}, QDateTime());
        auto *passed = child<QLabel>(&dialog, u"The time has already passed"_s);
        QPushButton *ok = child<QPushButton>(&dialog, u"OK"_s);
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(child<QRadioButton>(&dialog, u"New time"_s)->isChecked());
        QVERIFY(child<QRadioButton>(&dialog, u"Next occurence"_s)->isChecked());
        QVERIFY(qAbs(now.secsTo(dialog.result()) - 3600) <= 60);
        QVERIFY(ok->isEnabled());

        // Not later than now: tomorrow.
        const QTime thisMinute(now.time().hour(), now.time().minute());
        dialog.findChild<QTimeEdit *>()->setTime(thisMinute);
        QCOMPARE(dialog.result(), QDateTime(now.date().addDays(1), thisMinute));
        QVERIFY(passed->isHidden());

        child<QRadioButton>(&dialog, u"On date"_s)->click();
        dialog.findChild<QDateEdit *>()->setDate(now.date());
        QCOMPARE(dialog.result(), QDateTime(now.date(), thisMinute));
        QVERIFY(!passed->isHidden());
        QVERIFY(ok->isEnabled());
    }

    void existingScheduleTimes()
    {
        const QDateTime first = QDateTime::currentDateTime().addDays(1);
        const QDateTime second = first.addSecs(3600);
        SetScheduleDialog preset({first, second}, second);
        QVERIFY(child<QRadioButton>(&preset, u"Already scheduled"_s)->isChecked());
        QCOMPARE(preset.result(), second);

        SetScheduleDialog unset({first, second}, QDateTime());
        QPushButton *ok = child<QPushButton>(&unset, u"OK"_s);
        QVERIFY(!unset.result().isValid());
        QVERIFY(!ok->isEnabled());
        unset.findChild<QListWidget *>()->setCurrentRow(0);
        QCOMPARE(unset.result(), first);
        QVERIFY(ok->isEnabled());
        QCOMPARE(unset.findChild<QTimeEdit *>()->time().hour(), first.time().hour());
    }

    void everyFieldIsNamed_data()
    {
        using Make = std::function<QDialog *()>;
        QTest::addColumn<Make>("make");
        QTest::newRow("template builder") << Make([] {
            auto *builder = new InstallationTemplateBuilderDialog(nullptr);
            child<QPushButton>(builder, u"Add controller"_s)->click();
            return builder;
        });
        QTest::newRow("add installation")
            << Make([] { return new AddInstallationDialog(document()); });
        QTest::newRow("mail") << Make([] { return new EmailSettingsDialog(document()); });
        QTest::newRow("preferences")
            << Make([this] { return new PreferencesDialog(m_app->preferences()); });
        QTest::newRow("schedule") << Make([] { return new SetScheduleDialog({}, QDateTime()); });
    }

    void everyFieldIsNamed()
    {
        QFETCH(std::function<QDialog *()>, make);
        const std::unique_ptr<QDialog> window(make());
        window->show();
        QCOMPARE(unnamedFields(window.get()).join(u", "), QString());
    }
};

RW_TEST_GUI_MAIN(TestDialogs)
#include "tst_dialogs.moc"
