#pragma once

#include "installation_template.h"
#include "sortvector.h"

#include <QList>
#include <QString>

// A group of installations built from one installation template, which the
// group owns (shared only with the undo commands that replace it).
class InstallationGroup : public sortvector_el
{
public:
    // A group with a fresh, empty template.
    InstallationGroup();
    // A group with its own deep copy of `source`.
    explicit InstallationGroup(const InstallationTemplate &source);

    // The template's name, or "Unnamed Group" when that is empty.
    QString name() const;
    // Renames the template and announces the change.
    void setName(const QString &name);

    const InstallationTemplatePtr &installationTemplate() const { return m_template; }
    void setInstallationTemplate(const InstallationTemplatePtr &installationTemplate);

    // The group's installations, in display order.
    const QList<uint> &installationIds() const { return m_installationIds; }
    void setInstallationIds(const QList<uint> &installationIds)
    {
        m_installationIds = installationIds;
    }
    void appendInstallationId(uint installationId) { m_installationIds.append(installationId); }
    void removeInstallationId(uint installationId) { m_installationIds.removeAll(installationId); }

    // Enciphered; empty when the group has none.
    QString password() const { return m_password; }
    void setPassword(const QString &enciphered) { m_password = enciphered; }

private:
    InstallationTemplatePtr m_template;
    QList<uint> m_installationIds;
    QString m_password;
};
