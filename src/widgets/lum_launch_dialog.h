#pragma once

#include "launch_dialog.h"

// The application's launch dialog: its name and header artwork.
class LumLaunchDialog : public LaunchDialog
{
    Q_OBJECT

public:
    explicit LumLaunchDialog(RecentFiles *recentFiles, QWidget *parent = nullptr);
};
