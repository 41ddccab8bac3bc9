#pragma once

#include "document_prompts.h"

#include <functional>

class QWidget;

// The desktop's answers to the document's questions: message boxes and the
// password dialog over the main window.
class DesktopPrompts : public DocumentPrompts
{
public:
    // parentWindow gives the window to put the boxes over (the main window), looked up when asked.
    explicit DesktopPrompts(std::function<QWidget *()> parentWindow);
    void warn(const QString &title, const QString &text) override;
    bool askYesNo(const QString &title, const QString &text) override;
    std::optional<QString> askPassword(const QString &label, const QString &previous) override;

private:
    std::function<QWidget *()> m_parentWindow;
};
