#include "installer_lock.h"

#include "app_constants.h"
#include "file_lock.h"
#include "runtime_dir.h"

QString InstallerLock::path()
{
    return RuntimeDir::path() + QLatin1Char('/') + AppConstants::installerMutexName();
}

bool InstallerLock::installerRunning()
{
    return FileLock::isHeldElsewhere(path());
}
