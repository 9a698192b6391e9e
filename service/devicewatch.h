// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

#include <functional>

// Waits for a device node to be there again: a USB adapter plugged back in,
// a /dev/serial/by-id link that udev makes again, a link in the port folder
// that now leads to a device. It watches the folders (the link's and, for a
// link, its target's), or the nearest of their parents that exists, since
// udev removes an empty by-id folder; every change there is looked at, and
// nothing is polled.
namespace service {

class DeviceWatch : public QObject
{
public:
    explicit DeviceWatch(QObject* parent = nullptr);

    // Starts watching for path; onBack runs once path leads to an existing
    // file. Runs it at once (queued) when it is there already.
    void watch(const QString& path, std::function<void()> onBack);
    void stop();
    [[nodiscard]] bool watching() const { return !m_path.isEmpty(); }

    // The folders to watch for path: its own and its link target's, each
    // the nearest existing one.
    [[nodiscard]] static QStringList foldersFor(const QString& path);

private:
    void changed();
    void rearm();

    QFileSystemWatcher m_watcher;
    QString m_path;
    std::function<void()> m_onBack;
};

} // namespace service
