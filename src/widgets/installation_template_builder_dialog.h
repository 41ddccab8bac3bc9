#pragma once

#include "installation_template.h"

#include <QDialog>

class InstallationTemplateModel;
class InstallationTemplateTable;
class MediaTemplateModel;
class MediaTemplateTable;
class QLineEdit;
class QPushButton;
class QSplitter;

// Builds an installation template: its name, its controllers (number,
// hardware type, name, show file) and the media of the selected controllers.
// Works on its own copy; result() is the template once accepted. Editing an
// existing template keeps its list of controllers: only names and files
// change.
class InstallationTemplateBuilderDialog : public QDialog
{
    Q_OBJECT

public:
    // A new template (`editing` null) or a copy of `editing` to change.
    explicit InstallationTemplateBuilderDialog(const InstallationTemplate *editing,
                                               QWidget *parent = nullptr);
    ~InstallationTemplateBuilderDialog() override;

    InstallationTemplatePtr result() const { return m_template; }

public slots:
    void onNameChanged();
    void addController();
    void deleteController();
    void onSelectionChanged();
    void onFilePathChanged(uint controllerIndex);
    void accept() override;

private:
    QPushButton *iconButton(const QString &icon, const QString &name);
    void updateOkButton();
    void restoreLayout();

    InstallationTemplatePtr m_template;
    bool m_editMode;
    QLineEdit *m_name;
    InstallationTemplateModel *m_controllerModel;
    InstallationTemplateTable *m_controllerTable;
    MediaTemplateModel *m_mediaModel;
    MediaTemplateTable *m_mediaTable;
    QPushButton *m_add;
    QPushButton *m_moveUp;
    QPushButton *m_moveDown;
    QPushButton *m_delete;
    QPushButton *m_ok;
    QSplitter *m_splitter;
};
