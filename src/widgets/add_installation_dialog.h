#pragma once

#include <QDialog>

#include <optional>

class LumDocument;
class QListWidget;
class QPushButton;
class QSpinBox;

// Where to add installations (one of the project's groups, or a group with
// a template yet to be built) and how many.
class AddInstallationDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AddInstallationDialog(const LumDocument *document, QWidget *parent = nullptr);

    // The group chosen; none when a new template is to be built.
    std::optional<uint> groupId() const;
    uint count() const;

private:
    void onCreateNewTemplate();
    void onSelectionChanged();

    QListWidget *m_groups;
    QSpinBox *m_count;
    QPushButton *m_ok;
    bool m_newTemplate = false;
};
