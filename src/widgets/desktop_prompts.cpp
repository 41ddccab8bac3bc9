#include "desktop_prompts.h"

#include <QMessageBox>

// A stand-in until the password dialog arrives: the boxes are real, the
// password question is cancelled.

DesktopPrompts::DesktopPrompts(std::function<QWidget *()> parentWindow)
    : m_parentWindow(std::move(parentWindow))
{}

void DesktopPrompts::warn(const QString &title, const QString &text)
{
    QMessageBox::warning(m_parentWindow(), title, text);
}

bool DesktopPrompts::askYesNo(const QString &title, const QString &text)
{
    return QMessageBox::question(m_parentWindow(), title, text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> DesktopPrompts::askPassword(const QString &, const QString &)
{
    return std::nullopt;
}
