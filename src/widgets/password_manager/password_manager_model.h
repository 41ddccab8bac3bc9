#pragma once

#include "tree_model.h"

#include <functional>

class LumDocument;
class PasswordManagerItem;
class QUndoCommand;

// The passwords of a project as a tree: groups, their installations, their
// controllers, each with its password. Changes are held in the rows until
// takeChanges() turns them into one undoable step.
class PasswordManagerModel : public TreeModel
{
    Q_OBJECT

public:
    explicit PasswordManagerModel(LumDocument *document, QObject *parent = nullptr);

    bool passwordsVisible() const { return m_passwordsVisible; }
    void setPasswordsVisible(bool visible);
    // Every row's password becomes empty (inherited) until applied.
    void clearAll();

    // "Set Passwords" with one change per row whose password differs from
    // the document's; null when nothing changed. The caller pushes it.
    QUndoCommand *takeChanges() const;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    void build();
    void forEachItem(const std::function<void(PasswordManagerItem *)> &action) const;
    void passwordsChanged();

    LumDocument *m_document;
    bool m_passwordsVisible = false;
};
