// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/folders.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
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

// A folder of the user's own. With privateMode, its mode is 0700 exactly;
// else nobody else may write into it.
bool isOwnFolder(const QString& path, bool privateMode)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid())
        return false;
    return privateMode ? (st.st_mode & 0777) == 0700 : (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
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
    // The session's runtime folder when it is as the XDG rules describe it;
    // a folder anyone else made or may enter could hold a lock of theirs.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isOwnFolder(runtime, true))
        return runtime;
    // Else the state folder, under the home folder where no one else can
    // make it first; its missing parts are made readable by the user alone.
    const QString state = RuntimeFallbackFolder();
    const QByteArray path = QFile::encodeName(QDir::cleanPath(state));
    for (qsizetype slash = path.indexOf('/', 1); slash != -1; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0700);
    ::mkdir(path.constData(), 0700);
    return isOwnFolder(state, false) ? state : QString();
}

QString RuntimeFallbackFolder()
{
    return StateFolder();
}
