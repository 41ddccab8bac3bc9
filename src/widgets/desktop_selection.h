#pragma once

#include "change_events.h"

// What is selected in the installation tree, for the controller's editing
// and scheduling slots.
class DesktopSelection
{
public:
    virtual ~DesktopSelection() = default;

    virtual IdSet selectedGroups() const = 0;
    virtual IdSet selectedInstallations() const = 0;
    virtual IdSet selectedControllers() const = 0;
};
