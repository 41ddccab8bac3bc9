// The desktop scene's document asking its questions over a window of its own,
// and a project of a group, an installation and two controllers with their
// passwords in place of the scene's.

#pragma once

#include "authentication_dialog.h"
#include "desktop_prompts.h"
#include "desktop_scene.h"
#include "password_entry_dialog.h"
#include "password_handling.h"
#include "password_manager.h"
#include "password_manager_model.h"
#include "password_manager_view.h"

#include <QAuthenticator>
#include <QClipboard>
#include <QHeaderView>

namespace {

// Answers for the password dialogs and question boxes, written as
// "Title|answer": "type:TEXT" types TEXT into the line edit and clicks OK,
// "<Esc>" and "<Return>" press that key, anything else clicks that button.

inline void respond(QWidget *window, const QString &answer)
{
    if (answer.startsWith(QLatin1String("type:"))) {
        window->findChild<QLineEdit *>()->setText(answer.mid(5));
        ModalAnswerer::clickButton(window, QStringLiteral("OK"));
    } else if (answer.startsWith(QLatin1Char('<'))) {
        QTest::keyClick(window, answer == QLatin1String("<Esc>") ? Qt::Key_Escape : Qt::Key_Return);
    } else {
        ModalAnswerer::clickButton(window, answer);
    }
}

// Queues the answers; `shown` collects what each window's line edit held
// when it opened, with "*" when selected.
inline void queue(ModalAnswerer &answerer, const QStringList &steps, QStringList *shown = nullptr)
{
    for (const QString &step : steps) {
        const QString answer = step.section(QLatin1Char('|'), 1);
        answerer.act(step.section(QLatin1Char('|'), 0, 0), [answer, shown](QWidget *window) {
            const auto *edit = window->findChild<QLineEdit *>();
            if (shown && edit)
                *shown << edit->text() +
                              (edit->hasSelectedText() ? QStringLiteral("*") : QString());
            respond(window, answer);
        });
    }
}

} // namespace

class PasswordScene : public DesktopScene
{
    Q_OBJECT

protected:
    QPointer<QWidget> m_window;
    std::unique_ptr<DesktopPrompts> m_prompts;
    uint m_group = 0;
    uint m_installation = 0;
    QList<uint> m_controllers;
    std::unique_ptr<PasswordManager> m_manager;
    const QStringList m_initial{u"g"_s, QString(), u"abc"_s, QString()};

    // A group with the password "g", an installation without one, and its
    // two controllers, the first with "abc".
    void buildProject(bool withMaster)
    {
        InstallationTemplate installationTemplate;
        installationTemplate.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        installationTemplate.appendControllerTemplate(std::make_shared<ControllerTemplate>());
        m_group = document()->addGroup(installationTemplate);
        m_installation = document()->addInstallation(m_group);
        m_controllers = document()->installation(m_installation)->controllerIds();
        document()->group(m_group)->setPassword(PasswordCipher::encode(u"g"_s));
        controller(m_controllers.first())->setPassword(PasswordCipher::encode(u"abc"_s));
        if (withMaster)
            document()->setMasterPassword(PasswordCipher::encode(u"master"_s));
    }
    void open(bool withMaster)
    {
        buildProject(withMaster);
        m_manager = std::make_unique<PasswordManager>(document());
        m_manager->show();
    }

    // The password cells of the group, the installation and the controllers.
    QModelIndexList cells() const
    {
        const PasswordManagerModel *model = m_manager->model();
        const QModelIndex group = model->index(0, 0);
        const QModelIndex installation = model->index(0, 0, group);
        return {group.siblingAtColumn(1), installation.siblingAtColumn(1),
                model->index(0, 1, installation), model->index(1, 1, installation)};
    }
    QStringList shown() const
    {
        QStringList texts;
        for (const QModelIndex &cell : cells())
            texts << cell.data().toString();
        return texts;
    }
    QStringList stored() const
    {
        QStringList plain;
        for (const QString &each : {document()->group(m_group)->password(),
                                    document()->installation(m_installation)->password(),
                                    controller(m_controllers.at(0))->password(),
                                    controller(m_controllers.at(1))->password()})
            plain << PasswordCipher::decode(each);
        return plain;
    }

private slots:
    void init()
    {
        DesktopScene::init();
        m_app->endProject();
        m_window = new QWidget;
        m_window->show();
        m_prompts = std::make_unique<DesktopPrompts>([this] { return m_window.data(); });
        document()->setPrompts(m_prompts.get());
    }
    void cleanup()
    {
        m_manager.reset();
        document()->setPrompts(nullptr);
        delete m_window;
    }
};
