#include "project/lastrun.h"

#include "controller/conversions.h"
#include "controller/textlines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString LastRunFolders::programFolder() const
{
    return m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
}

QString LastRunFolders::configFolder() const
{
    if (!m_configFolder.isEmpty())
        return m_configFolder;
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(base).filePath(QStringLiteral("qmx-v217"));
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

bool tryWrite(const QString& path, const QStringList& lines)
{
    try {
        WriteTextLines(path, lines);
        return true;
    } catch (const V217Error&) {
        return false;
    }
}

} // namespace

QString LastRunFolders::write(const QStringList& lines) const
{
    QString written = QDir(programFolder()).filePath(kFileName);
    if (!tryWrite(written, lines)) {
        const QString folder = configFolder();
        written = QDir(folder).filePath(kFileName);
        if (!QDir().mkpath(folder) || !tryWrite(written, lines))
            written.clear();
    }
    if (!m_startUpFile.isEmpty() &&
        (written.isEmpty() || QFileInfo(m_startUpFile) != QFileInfo(written)))
        tryWrite(m_startUpFile, lines);
    return written;
}
