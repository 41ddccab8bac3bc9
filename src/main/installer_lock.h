#pragma once

#include <QString>

// The product's installer holds a per-user lock named "lumoraRigwardenMutex"
// while it runs. The application only probes it and never keeps it, so that a
// second start of the application reaches the single-instance hand-over.
class InstallerLock
{
public:
    static QString path();
    static bool installerRunning();
};
