// SPDX-License-Identifier: GPL-3.0-or-later
#include "project/lastrun.h"

#include "common/conversions.h"
#include "common/folders.h"
#include "common/textlines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString LastRunFolders::programFolder() const
{
    return m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
}

QString LastRunFolders::configFolder() const
{
    return m_configFolder.isEmpty() ? ConfigFolder() : m_configFolder;
}

QString LastRunFolders::findForReading() const
{
    // The current folder's file is named relatively, as the user knows it.
    if (QFileInfo::exists(kFileName))
        return kFileName;
    const QFileInfo program(QDir(programFolder()).filePath(kFileName));
    const QFileInfo config(QDir(configFolder()).filePath(kFileName));
    if (program.exists() && config.exists())
        return config.lastModified() > program.lastModified() ? config.filePath()
                                                              : program.filePath();
    if (program.exists())
        return program.filePath();
    if (config.exists())
        return config.filePath();
    return {};
}

namespace {

// Never through a link or over another user's file: a v217.dat planted in
// a shared folder such as /tmp must not aim the close at someone's file.
bool tryWrite(const QString& path, const QStringList& lines)
{
    try {
        WriteOwnTextLines(path, lines);
        return true;
    } catch (const V217Error&) {
        return false;
    }
}

} // namespace

QString LastRunFolders::write(const QStringList& lines) const
{
    const QString folder = configFolder();
    const QString inConfig = QDir(folder).filePath(kFileName);
    const auto writeConfig = [&] { return QDir().mkpath(folder) && tryWrite(inConfig, lines); };
    QString written = QDir(programFolder()).filePath(kFileName);
    if (!tryWrite(written, lines))
        written = writeConfig() ? inConfig : QString();
    // The configuration folder's copy stands in for a start-up file that
    // cannot be written, so the last run is still found from elsewhere.
    if (!m_startUpFile.isEmpty() &&
        (written.isEmpty() || QFileInfo(m_startUpFile) != QFileInfo(written)) &&
        !tryWrite(m_startUpFile, lines) && written != inConfig)
        writeConfig();
    return written;
}
