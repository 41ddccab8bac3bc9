#include "runtime_dir.h"

#include <QDir>
#include <QStandardPaths>

QString RuntimeDir::path()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QDir().mkpath(dir);
    return dir;
}
