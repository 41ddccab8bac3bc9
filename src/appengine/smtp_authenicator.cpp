#include "smtp_authenicator.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

SmtpAuthenicator::SmtpAuthenicator(const QString &username, const QString &password)
    : m_username(username), m_password(password)
{}

QByteArray SmtpAuthenicator::cramMd5Response(const QByteArray &challenge) const
{
    return m_username.toUtf8() + ' ' + hmacMd5(m_password.toUtf8(), challenge).toHex();
}

QByteArray SmtpAuthenicator::hmacMd5(const QByteArray &key, const QByteArray &message)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Md5);
}
