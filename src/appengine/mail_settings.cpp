#include "mail_settings.h"

#include <QRegularExpression>

bool MailSettings::isValidRecipient(const QString &address)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\\.[a-zA-Z]{2,4}")));
    return pattern.match(address).hasMatch();
}
