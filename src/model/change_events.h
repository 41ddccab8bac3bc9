#pragma once

// The model announces structural changes to the application object with these
// events. Payloads are copied when the event is built, so the sender may change
// its own data afterwards. Delivery (posted or sent) is fixed per type; use
// postChangeEvent / sendChangeEvent, which address the application object.

#include <QEvent>
#include <QString>

#include <set>

enum ChangeEventType
{
    Event_ApplicationLaunched = 1000,         // posted
    Event_ShowLaunchDialog = 1001,            // posted, plain QEvent
    Event_InstallationGroupAdded = 1002,      // sent
    Event_InstallationGroupRemoved = 1003,    // sent
    Event_InstallationGroupChanged = 1004,    // posted
    Event_InstallationTemplateChanged = 1005, // sent
    Event_InstallationAdded = 1006,           // sent
    Event_InstallationRemoved = 1007,         // sent
    Event_InstallationChanged = 1008,         // posted
    Event_ControllerChanged = 1009,           // posted
    Event_Unused = 1010,                      // consumed without effect
    Event_ControllerDiscovery = 1011,         // posted
    Event_ScheduledUploadTimeChanged = 1012   // sent
};

using IdSet = std::set<uint>;

bool isChangeEvent(QEvent::Type type);

// Events carrying one identifier.
class IdEvent : public QEvent
{
public:
    uint id() const { return m_id; }

protected:
    IdEvent(ChangeEventType type, uint id) : QEvent(QEvent::Type(type)), m_id(id) {}

private:
    uint m_id;
};

// Events carrying a set of identifiers.
class IdSetEvent : public QEvent
{
public:
    const IdSet &ids() const { return m_ids; }

protected:
    IdSetEvent(ChangeEventType type, const IdSet &ids) : QEvent(QEvent::Type(type)), m_ids(ids) {}

private:
    const IdSet m_ids;
};

class ApplicationLaunchedEvent : public QEvent
{
public:
    explicit ApplicationLaunchedEvent(const QString &path)
        : QEvent(QEvent::Type(Event_ApplicationLaunched)), m_path(path)
    {}
    QString path() const { return m_path; }

private:
    const QString m_path;
};

class InstallationGroupAddedEvent : public IdEvent
{
public:
    InstallationGroupAddedEvent(uint groupId, bool noSelection)
        : IdEvent(Event_InstallationGroupAdded, groupId), m_noSelection(noSelection)
    {}
    bool noSelection() const { return m_noSelection; }

private:
    const bool m_noSelection;
};

class InstallationGroupRemovedEvent : public IdEvent
{
public:
    explicit InstallationGroupRemovedEvent(uint groupId)
        : IdEvent(Event_InstallationGroupRemoved, groupId)
    {}
};

class InstallationGroupChangedEvent : public IdEvent
{
public:
    explicit InstallationGroupChangedEvent(uint groupId)
        : IdEvent(Event_InstallationGroupChanged, groupId)
    {}
};

class InstallationTemplateChangedEvent : public IdEvent
{
public:
    explicit InstallationTemplateChangedEvent(uint groupId)
        : IdEvent(Event_InstallationTemplateChanged, groupId)
    {}
};

class InstallationAddedEvent : public IdSetEvent
{
public:
    InstallationAddedEvent(const IdSet &installationIds, bool noSelection)
        : IdSetEvent(Event_InstallationAdded, installationIds), m_noSelection(noSelection)
    {}
    bool noSelection() const { return m_noSelection; }

private:
    const bool m_noSelection;
};

class InstallationRemovedEvent : public IdSetEvent
{
public:
    explicit InstallationRemovedEvent(const IdSet &installationIds)
        : IdSetEvent(Event_InstallationRemoved, installationIds)
    {}
};

class InstallationChangedEvent : public IdEvent
{
public:
    explicit InstallationChangedEvent(uint installationId)
        : IdEvent(Event_InstallationChanged, installationId)
    {}
};

class ControllerChangedEvent : public IdEvent
{
public:
    explicit ControllerChangedEvent(uint controllerId)
        : IdEvent(Event_ControllerChanged, controllerId)
    {}
};

class ControllerDiscoveryEvent : public IdEvent
{
public:
    explicit ControllerDiscoveryEvent(uint controllerId)
        : IdEvent(Event_ControllerDiscovery, controllerId)
    {}
};

class ScheduledUploadTimeChangedEvent : public QEvent
{
public:
    ScheduledUploadTimeChangedEvent() : QEvent(QEvent::Type(Event_ScheduledUploadTimeChanged)) {}
};

// Queues the event for the application object, which takes ownership.
// Without an application object (a bare model in a tool) the event is dropped.
void postChangeEvent(QEvent *event);
// Delivers the event to the application object at once.
void sendChangeEvent(QEvent &event);
