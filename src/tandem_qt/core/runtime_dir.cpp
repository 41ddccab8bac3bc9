#include "runtime_dir.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace {
// Where Qt itself falls back when the session has no runtime folder, named
// the same way, without Qt's warning on every start.
QString fallbackDir()
{
    const passwd *user = ::getpwuid(::geteuid());
    const QString name = user ? QFile::decodeName(user->pw_name) : QString::number(::geteuid());
    return QDir::tempPath() + QLatin1String("/runtime-") + name;
}
} // namespace

QString RuntimeDir::path()
{
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString dir = fallbackDir();
        if (QDir().mkpath(dir))
            QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return dir;
    }
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QDir().mkpath(dir);
    return dir;
}
