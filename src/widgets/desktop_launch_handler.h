#pragma once

#include "launch_dialog_handler.h"

class DesktopController;

// The launch dialog's choices carried out by the desktop controller, with
// its questions, file dialogs and warnings.
class DesktopLaunchHandler : public LaunchDialogHandler
{
public:
    explicit DesktopLaunchHandler(DesktopController *controller) : m_controller(controller) {}

    bool launchNewDocument() override;
    bool launchOpenDocument(const QString &path) override;
    bool launchOpenDocument() override;

private:
    DesktopController *m_controller;
};
