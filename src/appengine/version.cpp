#include "version.h"

#include <QRegularExpression>

namespace {
// Final releases rank highest, debug builds lowest.
int typeRank(Version::Type type)
{
    return 3 - (type >> 6);
}
} // namespace

Version Version::fromString(const QString &text)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("(\\d+)\\.(\\d+)(?:\\.(\\d+))?(?: (RC|BETA|DEBUG)(\\d+))?")));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return Version();

    // Each number is kept in its byte as it comes, without range checks; the
    // build is confined to its six bits so that it cannot change the type.
    const auto byte = [&match](int capture) { return quint8(match.captured(capture).toUInt()); };
    quint8 typeAndBuild = 0;
    const QString type = match.captured(4);
    if (type == QLatin1String("RC"))
        typeAndBuild = Type_ReleaseCandidate;
    else if (type == QLatin1String("BETA"))
        typeAndBuild = Type_Beta;
    else if (type == QLatin1String("DEBUG"))
        typeAndBuild = Type_Debug;
    typeAndBuild |= byte(5) & BuildMask;
    return Version(byte(1), byte(2), byte(3), typeAndBuild);
}

QString Version::toString() const
{
    QString text = QStringLiteral("%1.%2").arg(m_major).arg(m_minor);
    if (m_point != 0)
        text += QStringLiteral(".%1").arg(m_point);
    switch (type()) {
    case Type_Final:
        return text;
    case Type_ReleaseCandidate:
        text += QStringLiteral(" RC");
        break;
    case Type_Beta:
        text += QStringLiteral(" BETA");
        break;
    case Type_Debug:
        text += QStringLiteral(" DEBUG");
        break;
    }
    return text + QString::number(build());
}

std::strong_ordering operator<=>(const Version &a, const Version &b)
{
    if (const auto order = a.m_major <=> b.m_major; order != 0)
        return order;
    if (const auto order = a.m_minor <=> b.m_minor; order != 0)
        return order;
    if (const auto order = a.m_point <=> b.m_point; order != 0)
        return order;
    if (const auto order = typeRank(a.type()) <=> typeRank(b.type()); order != 0)
        return order;
    return a.build() <=> b.build();
}
