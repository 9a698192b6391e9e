// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/folders.h"

#include <QDir>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString kProgramFolder = QStringLiteral("qmx-v217");

// The base folder named by an XDG variable, else its default under the home
// folder. The XDG rules ask for a relative value to be ignored.
QString xdgBase(const char* variable, const QString& underHome)
{
    const QString base = qEnvironmentVariable(variable);
    if (base.isEmpty() || QDir::isRelativePath(base))
        return QDir::home().filePath(underHome);
    return base;
}

} // namespace

QString ConfigFolder()
{
    return QDir(xdgBase("XDG_CONFIG_HOME", QStringLiteral(".config"))).filePath(kProgramFolder);
}

QString PortFolder()
{
    return QDir(ConfigFolder()).filePath(QStringLiteral("ports"));
}

QString StateFolder()
{
    return QDir(xdgBase("XDG_STATE_HOME", QStringLiteral(".local/state"))).filePath(kProgramFolder);
}

QString RuntimeFolder()
{
    // Qt gives the runtime folder only when it belongs to the user and is
    // closed to everyone else; otherwise it gives nothing.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString RuntimeFallbackFolder()
{
    // The name Qt makes the folder under.
    const passwd* user = getpwuid(geteuid());
    const QString name = user ? QString::fromLocal8Bit(user->pw_name) : QString::number(geteuid());
    return QDir(QDir::tempPath()).filePath(QStringLiteral("runtime-") + name);
}
