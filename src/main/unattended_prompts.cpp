#include "unattended_prompts.h"

#include "lum_application.h"

void UnattendedPrompts::warn(const QString &title, const QString &text)
{
    LumApplication::log(Category_App, title + QLatin1String(": ") + text, 0, true);
}

bool UnattendedPrompts::askYesNo(const QString &, const QString &)
{
    return m_answer;
}

std::optional<QString> UnattendedPrompts::askPassword(const QString &, const QString &)
{
    return std::nullopt;
}
