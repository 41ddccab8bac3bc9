#include "controller_status.h"

#include "types.h"

#include <QDomDocument>
#include <QDomElement>
#include <QRegularExpression>

namespace {

// The element when the document holds exactly one of that name.
bool uniqueElement(const QDomNode &parent, const QString &tag, QDomElement *element)
{
    const QDomNodeList nodes = parent.isDocument() ? parent.toDocument().elementsByTagName(tag)
                                                   : parent.toElement().elementsByTagName(tag);
    if (nodes.size() != 1)
        return false;
    *element = nodes.at(0).toElement();
    return true;
}

quint8 lowByte(const QString &text)
{
    return quint8(text.toUInt(nullptr, 10) & 0xFF);
}

QDateTime uploadDate(const QString &text)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("-?(\\d{4,})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})")));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QDateTime();
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(),
                     match.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time);
}

} // namespace

void ControllerStatus::clearProject()
{
    projectName.clear();
    projectUuid = QUuid();
    projectUploadDate = QDateTime();
}

bool ControllerStatus::read(const QByteArray &body)
{
    QDomDocument document;
    if (!document.setContent(body) ||
        document.documentElement().tagName() != QLatin1String("response"))
        return false;

    QDomElement element;
    if (uniqueElement(document, QStringLiteral("hardwareType"), &element)) {
        hardwareType = element.hasAttribute(QStringLiteral("id"))
                           ? element.attribute(QStringLiteral("id")).toInt(nullptr, 10)
                           : HardwareType::fromName(element.text());
    }
    if (uniqueElement(document, QStringLiteral("serialNumber"), &element))
        serialNumber = element.text();
    QDomElement firmware;
    if (uniqueElement(document, QStringLiteral("firmwareVersion"), &firmware)) {
        if (uniqueElement(firmware, QStringLiteral("major"), &element))
            firmwareVersion.major = lowByte(element.text());
        if (uniqueElement(firmware, QStringLiteral("minor"), &element))
            firmwareVersion.minor = lowByte(element.text());
        if (uniqueElement(firmware, QStringLiteral("point"), &element))
            firmwareVersion.point = lowByte(element.text());
    }
    if (uniqueElement(document, QStringLiteral("projectName"), &element))
        projectName = element.text();
    if (uniqueElement(document, QStringLiteral("projectUuid"), &element))
        projectUuid = QUuid::fromString(element.text());
    if (uniqueElement(document, QStringLiteral("projectUploadDate"), &element))
        projectUploadDate = uploadDate(element.text());
    if (uniqueElement(document, QStringLiteral("cfCardSizeKb"), &element))
        cfCardSizeKb = element.text().toUInt(nullptr, 10);
    return true;
}
