#pragma once

#include <QString>
#include <QTemporaryDir>

// Gives a test process a fresh user: HOME and the XDG folders point into a
// temporary folder, so settings, autostart entries, sockets and converted
// media never touch the real user's files and never leak between tests.
// Must exist before the QCoreApplication. Child processes inherit it.
class TestEnvironment
{
public:
    TestEnvironment();

    static QString binDir();
    static QString sourceDir();

private:
    QTemporaryDir m_dir;
};
