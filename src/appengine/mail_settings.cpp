#include "mail_settings.h"

#include <QRegularExpression>

// Top-level domains run to 63 letters (".travel", ".online"); an address
// refused here is not mailed.
bool MailSettings::isValidRecipient(const QString &address)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\\.[a-zA-Z]{2,63}")));
    return pattern.match(address).hasMatch();
}
