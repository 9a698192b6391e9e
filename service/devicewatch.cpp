// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/devicewatch.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace service {

namespace {

QString nearestExistingFolder(const QString& path)
{
    QString folder = QFileInfo(path).absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QStringLiteral("/"))
        folder = QFileInfo(folder).absolutePath();
    return folder;
}

} // namespace

DeviceWatch::DeviceWatch(QObject* parent) : QObject(parent)
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { changed(); });
}

QStringList DeviceWatch::foldersFor(const QString& path)
{
    QStringList folders{nearestExistingFolder(path)};
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.symLinkTarget();
        if (!target.isEmpty()) {
            const QString folder = nearestExistingFolder(target);
            if (!folders.contains(folder))
                folders.append(folder);
        }
    }
    return folders;
}

void DeviceWatch::watch(const QString& path, std::function<void()> onBack)
{
    stop();
    m_path = path;
    m_onBack = std::move(onBack);
    rearm();
    // A device that came back between the failed open and the watch.
    QTimer::singleShot(0, this, [this] { changed(); });
}

void DeviceWatch::stop()
{
    m_path.clear();
    m_onBack = nullptr;
    const QStringList watched = m_watcher.directories();
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
}

void DeviceWatch::rearm()
{
    const QStringList wanted = foldersFor(m_path);
    const QStringList watched = m_watcher.directories();
    for (const QString& folder : watched) {
        if (!wanted.contains(folder))
            m_watcher.removePath(folder);
    }
    for (const QString& folder : wanted) {
        if (!watched.contains(folder))
            m_watcher.addPath(folder);
    }
}

void DeviceWatch::changed()
{
    if (m_path.isEmpty())
        return;
    // A folder on the way may have come or gone, or the link now leads
    // elsewhere: watch what is there now, then look. Looking first would
    // miss a link made between the look and the new watch, as udev makes
    // the by-id folder and its link in one breath.
    rearm();
    if (QFileInfo::exists(m_path)) {
        const std::function<void()> onBack = std::move(m_onBack);
        stop();
        onBack();
    }
}

} // namespace service
