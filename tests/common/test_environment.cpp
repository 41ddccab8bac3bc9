#include "test_environment.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace {
void setFolder(const char *variable, const QString &path)
{
    QDir().mkpath(path);
    qputenv(variable, QFile::encodeName(path));
}
} // namespace

TestEnvironment::TestEnvironment() : m_dir(QDir::tempPath() + QLatin1String("/rw-test-XXXXXX"))
{
    if (!m_dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary home folder\n");
        std::exit(1);
    }
    const QString base = m_dir.path();
    setFolder("HOME", base);
    setFolder("XDG_CONFIG_HOME", base + QLatin1String("/config"));
    setFolder("XDG_DATA_HOME", base + QLatin1String("/data"));
    setFolder("XDG_CACHE_HOME", base + QLatin1String("/cache"));
    setFolder("XDG_RUNTIME_DIR", base + QLatin1String("/runtime"));
    QFile::setPermissions(base + QLatin1String("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

QString TestEnvironment::binDir()
{
    return qEnvironmentVariable("RW_BUILD_DIR") + QLatin1String("/bin");
}

QString TestEnvironment::sourceDir()
{
    return qEnvironmentVariable("RW_SOURCE_DIR");
}
