#pragma once

class QString;

// What the launch dialog's choices do. Each operation says whether a project
// is open afterwards; when none is, the dialog shows again.
class LaunchDialogHandler
{
public:
    virtual ~LaunchDialogHandler() = default;

    virtual bool launchNewDocument() = 0;
    virtual bool launchOpenDocument(const QString &path) = 0;
    // Asks for the file with the open dialog.
    virtual bool launchOpenDocument() = 0;
};
