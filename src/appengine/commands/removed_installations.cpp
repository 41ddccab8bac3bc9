#include "removed_installations.h"

#include "lum_assert.h"
#include "lum_document.h"

bool RemovedInstallations::take(LumDocument &document, uint installationId)
{
    const Installation *installation = document.installation(installationId);
    bool unscheduled = false;
    std::vector<std::unique_ptr<Controller>> controllers;
    UploadSchedule &schedule = document.uploadSchedule();
    for (const uint controllerId : installation->controllerIds()) {
        if (schedule.isScheduled(controllerId)) {
            m_scheduled[controllerId] = schedule.scheduledTime(controllerId);
            schedule.unschedule(controllerId);
            unscheduled = true;
        }
        controllers.push_back(document.removeController(controllerId));
    }
    m_controllers[installationId] = std::move(controllers);

    const uint groupId = installation->groupId();
    if (document.groupExists(groupId))
        m_positions[installationId] =
            document.group(groupId)->installationIds().indexOf(installationId);
    if (document.isInstallationExpanded(installationId))
        m_expanded.insert(installationId);
    m_installations[installationId] = document.removeInstallation(installationId);
    return unscheduled;
}

bool RemovedInstallations::restore(LumDocument &document, uint installationId)
{
    auto &installations = m_installations;
    const auto iInstallation = installations.find(installationId);
    LUM_ASSERT(iInstallation != installations.end());
    auto &controllers = m_controllers;
    const auto iControllers = controllers.find(installationId);
    LUM_ASSERT(iControllers != controllers.end());

    const uint groupId = iInstallation->second->groupId();
    document.insertInstallation(std::move(iInstallation->second), installationId);
    installations.erase(iInstallation);
    const auto position = m_positions.find(installationId);
    if (position != m_positions.end()) {
        // Inserting appended it to the group's list; move it back to its place.
        if (document.groupExists(groupId)) {
            InstallationGroup *group = document.group(groupId);
            QList<uint> order = group->installationIds();
            order.removeAll(installationId);
            order.insert(std::clamp<qsizetype>(position->second, 0, order.size()), installationId);
            group->setInstallationIds(order);
        }
        m_positions.erase(position);
    }
    if (m_expanded.erase(installationId))
        document.setInstallationExpanded(installationId, true);

    bool rescheduled = false;
    for (std::unique_ptr<Controller> &controller : iControllers->second) {
        const uint controllerId = controller->getId();
        document.insertController(std::move(controller), controllerId);
        const auto scheduled = m_scheduled.find(controllerId);
        if (scheduled != m_scheduled.end()) {
            document.uploadSchedule().schedule(controllerId, scheduled->second);
            m_scheduled.erase(scheduled);
            rescheduled = true;
        }
    }
    controllers.erase(iControllers);
    return rescheduled;
}

bool RemovedInstallations::takeAll(LumDocument &document, const QList<uint> &installationIds)
{
    bool unscheduled = false;
    for (auto id = installationIds.crbegin(); id != installationIds.crend(); ++id)
        unscheduled |= take(document, *id);
    return unscheduled;
}

bool RemovedInstallations::restoreAll(LumDocument &document, const QList<uint> &installationIds)
{
    bool rescheduled = false;
    for (const uint installationId : installationIds)
        rescheduled |= restore(document, installationId);
    return rescheduled;
}
