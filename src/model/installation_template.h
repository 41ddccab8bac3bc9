#pragma once

#include "controller_template.h"

#include <QList>
#include <QString>

#include <memory>

class InstallationTemplate;
using InstallationTemplatePtr = std::shared_ptr<InstallationTemplate>;

// What every installation of a group consists of: one controller template
// per controller, in controller order. Groups, controllers and undo commands
// share templates by reference, so copying is explicit (deepCopy) and never
// shares a controller template with the original.
class InstallationTemplate
{
public:
    using ControllerTemplates = QList<ControllerTemplatePtr>;

    InstallationTemplate() = default;
    explicit InstallationTemplate(const QString &name) : m_name(name) {}
    InstallationTemplate(const InstallationTemplate &) = delete;
    InstallationTemplate &operator=(const InstallationTemplate &) = delete;

    // Also the name of the group that owns the template.
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    const ControllerTemplates &controllerTemplates() const { return m_controllerTemplates; }
    void setControllerTemplates(const ControllerTemplates &controllerTemplates);
    void appendControllerTemplate(const ControllerTemplatePtr &controllerTemplate);

    // The name and a copy of every controller template.
    InstallationTemplatePtr deepCopy() const;

private:
    QString m_name;
    ControllerTemplates m_controllerTemplates;
};
