// SPDX-License-Identifier: GPL-3.0-or-later
// The serial devices on Linux: libudev lists them and tells of hot-plug
// where udev runs; elsewhere (a container, a scratch tree in the tests) the
// same facts come from sysfs and /dev/serial. Either way a device's facts
// are read from its sysfs folder by the same functions, so both give the
// same answer.
#include "serial/serialdevices.h"

#include "serial/nodeaccess.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <dirent.h>
#include <libudev.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A burst of changes (a plugged adapter makes its node, its by-id and
// by-path links one after another) ends in one changed().
constexpr std::chrono::milliseconds kSettle{150};
// Link chains longer than this are loops.
constexpr int kMaxLinks = 40;

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// The raw text of a symbolic link, empty when path is none.
QString linkText(const QString& path)
{
    QByteArray buffer(4096, Qt::Uninitialized);
    const ssize_t got =
        ::readlink(encoded(path).constData(), buffer.data(), static_cast<size_t>(buffer.size()));
    if (got <= 0)
        return {};
    return QFile::decodeName(buffer.left(got));
}

// The names in a folder, without . and ..; empty when it cannot be read.
QStringList entries(const QString& folder)
{
    QStringList names;
    DIR* dir = ::opendir(encoded(folder).constData());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.append(QFile::decodeName(entry->d_name));
    }
    ::closedir(dir);
    return names;
}

// A sysfs attribute (or /proc's comm): the file's first line.
QString attribute(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(4096)).trimmed();
}

// Paths as the system names them (/dev/ttyUSB0) and as they are found
// under the root (<root>/dev/ttyUSB0).
class Tree
{
public:
    explicit Tree(const QString& root) : m_root(QDir::cleanPath(root)) {}

    [[nodiscard]] bool isSystemRoot() const { return m_root == QStringLiteral("/"); }
    [[nodiscard]] QString real(const QString& systemPath) const
    {
        return isSystemRoot() ? systemPath : m_root + systemPath;
    }
    // A real path back to the system's name; one outside the root is taken
    // as a system name already.
    [[nodiscard]] QString systemName(const QString& realPath) const
    {
        if (!isSystemRoot() && realPath.startsWith(m_root + QLatin1Char('/')))
            return realPath.mid(m_root.size());
        return realPath;
    }
    // Follows the links of systemPath under the root: the system name of
    // what it finally leads to, empty when that does not exist.
    [[nodiscard]] QString resolve(QString systemPath) const
    {
        systemPath = QDir::cleanPath(systemPath);
        for (int hop = 0; hop < kMaxLinks; ++hop) {
            struct stat st
            {
            };
            const QString path = real(systemPath);
            if (::lstat(encoded(path).constData(), &st) != 0)
                return {};
            if (!S_ISLNK(st.st_mode))
                return systemPath;
            const QString target = linkText(path);
            if (target.isEmpty())
                return {};
            systemPath =
                QDir::cleanPath(QDir::isAbsolutePath(target)
                                    ? target
                                    : QFileInfo(systemPath).path() + QLatin1Char('/') + target);
        }
        return {};
    }

private:
    QString m_root;
};

// A tty that is a serial port: one with a device and a driver behind it
// (ttyUSB, ttyACM, ttyS, ttyAMA ...), or a Bluetooth RFCOMM port, which
// the kernel keeps among the virtual ttys. The 8250 driver makes ttyS0 to
// ttyS31 whether a UART is there or not; those placeholders have the port
// type 0 (unknown).
bool isSerialPort(const QString& sysFolder, const QString& name)
{
    if (name.startsWith(QStringLiteral("rfcomm")))
        return true;
    if (!QFileInfo::exists(sysFolder + QStringLiteral("/device/driver")))
        return false;
    return attribute(sysFolder + QStringLiteral("/type")) != QStringLiteral("0");
}

// The driver and what the USB device holding the tty tells of itself.
void readSysfs(const QString& sysFolder, SerialDeviceInfo& info)
{
    // Since Linux 6.5 a UART's tty hangs off the serial core's own port and
    // controller devices (bus serial-base, drivers "port" and "ctrl"): the
    // driver that tells the user something is the one of the UART below.
    QString device = QFileInfo(sysFolder + QStringLiteral("/device")).canonicalFilePath();
    while (!device.isEmpty() &&
           QFileInfo(linkText(device + QStringLiteral("/subsystem"))).fileName() ==
               QStringLiteral("serial-base"))
        device = QFileInfo(device).path();
    info.driver = QFileInfo(linkText(device + QStringLiteral("/driver"))).fileName();
    // A USB serial port sits on an interface of the USB device, the one
    // folder up the chain with idVendor: for ftdi_sio the tty's device is
    // the port below the interface, for cdc_acm the interface itself.
    QString folder = QFileInfo(sysFolder + QStringLiteral("/device")).canonicalFilePath();
    while (!folder.isEmpty() && folder != QStringLiteral("/")) {
        if (QFileInfo::exists(folder + QStringLiteral("/idVendor"))) {
            info.vendorId = attribute(folder + QStringLiteral("/idVendor"));
            info.productId = attribute(folder + QStringLiteral("/idProduct"));
            info.manufacturer = attribute(folder + QStringLiteral("/manufacturer"));
            info.product = attribute(folder + QStringLiteral("/product"));
            info.serialNumber = attribute(folder + QStringLiteral("/serial"));
            return;
        }
        if (QFileInfo(folder).fileName() == QStringLiteral("devices"))
            return;
        folder = QFileInfo(folder).path();
    }
}

// The other programs holding something open, by what they hold (the
// system's name of it) and the name of the first one found. This program's
// own port is not in use by another, and neither is a pseudo-terminal held
// by the program that made it: that program, holding the master end too,
// is the far side of the line (a board simulator, a serial server), not a
// rival user of it. Processes and descriptors this user may not read are
// passed over.
QHash<QString, QString> holders(const Tree& tree)
{
    QHash<QString, QString> held;
    const QString proc = tree.real(QStringLiteral("/proc"));
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString& pid : entries(proc)) {
        bool number = false;
        (void)pid.toInt(&number);
        if (!number || pid == self)
            continue;
        const QString fdFolder = proc + QLatin1Char('/') + pid + QStringLiteral("/fd");
        QStringList targets;
        for (const QString& fd : entries(fdFolder)) {
            const QString target = linkText(fdFolder + QLatin1Char('/') + fd);
            if (target.startsWith(QLatin1Char('/')))
                targets.append(target);
        }
        const bool terminalMaker = targets.contains(QStringLiteral("/dev/ptmx")) ||
                                   targets.contains(QStringLiteral("/dev/pts/ptmx"));
        QString name;
        for (const QString& target : std::as_const(targets)) {
            if (held.contains(target) ||
                (terminalMaker && target.startsWith(QStringLiteral("/dev/pts/"))))
                continue;
            if (name.isEmpty())
                name = attribute(proc + QLatin1Char('/') + pid + QStringLiteral("/comm"));
            held.insert(target, name);
        }
    }
    return held;
}

// Whether this user may open the node (a system name), without opening it,
// and who may where this user may not.
void readAccess(const Tree& tree, SerialDeviceInfo& info)
{
    const QByteArray path = encoded(tree.real(info.node));
    struct stat st
    {
    };
    if (::stat(path.constData(), &st) != 0) {
        info.access =
            errno == ENOENT || errno == ENOTDIR ? DeviceAccess::Gone : DeviceAccess::NoPermission;
        return;
    }
    info.access = ModeAccess(st, NodeUser::current());
    // The mode may refuse where an access list grants (udev's uaccess tag
    // gives the seat's user such an entry): the kernel has the last word.
    if (info.access == DeviceAccess::NoPermission && ::access(path.constData(), R_OK | W_OK) == 0)
        info.access = DeviceAccess::Open;
    if (info.access == DeviceAccess::NoPermission) {
        const NodeOpeners openers = Openers(st);
        info.accessGroup = openers.group;
        info.accessOwner = openers.owner;
    }
}

// The first link, in name order, of a /dev/serial folder that leads to
// each node.
QHash<QString, QString> serialLinks(const Tree& tree, const QString& folder)
{
    QHash<QString, QString> byNode;
    QStringList names = entries(tree.real(folder));
    names.sort();
    for (const QString& name : names) {
        const QString link = folder + QLatin1Char('/') + name;
        const QString node = tree.resolve(link);
        if (!node.isEmpty() && !byNode.contains(node))
            byNode.insert(node, link);
    }
    return byNode;
}

// A device found by discovery: its node and its sysfs folder (a real path).
struct Found
{
    SerialDeviceInfo info;
    QString sysFolder;
};

// The tty folders of sysfs under the root, with /dev/serial for the links.
QList<Found> filesDevices(const Tree& tree)
{
    QList<Found> found;
    const QString classFolder = tree.real(QStringLiteral("/sys/class/tty"));
    const QHash<QString, QString> byId = serialLinks(tree, QStringLiteral("/dev/serial/by-id"));
    const QHash<QString, QString> byPath = serialLinks(tree, QStringLiteral("/dev/serial/by-path"));
    for (const QString& name : entries(classFolder)) {
        const QString sysFolder = classFolder + QLatin1Char('/') + name;
        if (!isSerialPort(sysFolder, name))
            continue;
        Found device;
        device.sysFolder = sysFolder;
        device.info.node = QStringLiteral("/dev/") + name;
        device.info.byId = byId.value(device.info.node);
        device.info.byPath = byPath.value(device.info.node);
        found.append(device);
    }
    return found;
}

// The same from udev's database; false when udev cannot be asked.
bool udevDevices(udev* context, QList<Found>& found)
{
    udev_enumerate* enumerate = udev_enumerate_new(context);
    if (enumerate == nullptr)
        return false;
    if (udev_enumerate_add_match_subsystem(enumerate, "tty") < 0 ||
        udev_enumerate_scan_devices(enumerate) < 0) {
        udev_enumerate_unref(enumerate);
        return false;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        udev_device* device =
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (device == nullptr)
            continue;
        const char* sysPath = udev_device_get_syspath(device);
        const char* sysName = udev_device_get_sysname(device);
        const char* devNode = udev_device_get_devnode(device);
        if (sysPath != nullptr && sysName != nullptr && devNode != nullptr &&
            isSerialPort(QFile::decodeName(sysPath), QFile::decodeName(sysName))) {
            Found one;
            one.sysFolder = QFile::decodeName(sysPath);
            one.info.node = QFile::decodeName(devNode);
            QStringList byId;
            QStringList byPath;
            udev_list_entry* link = nullptr;
            udev_list_entry_foreach(link, udev_device_get_devlinks_list_entry(device))
            {
                const QString name = QFile::decodeName(udev_list_entry_get_name(link));
                if (name.startsWith(QStringLiteral("/dev/serial/by-id/")))
                    byId.append(name);
                else if (name.startsWith(QStringLiteral("/dev/serial/by-path/")))
                    byPath.append(name);
            }
            byId.sort();
            byPath.sort();
            one.info.byId = byId.value(0);
            one.info.byPath = byPath.value(0);
            found.append(one);
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    return true;
}

// The first missing folders of path, made 0700 as every folder of the
// program's; the error text, empty when the folder is there.
QString makeFolder(const QString& path)
{
    if (QFileInfo(path).isDir())
        return {};
    const QString parent = QFileInfo(path).path();
    if (parent != path)
        if (QString error = makeFolder(parent); !error.isEmpty())
            return error;
    if (::mkdir(encoded(path).constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("Cannot make the folder %1: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

} // namespace

struct SerialDevices::Impl
{
    Impl(const QString& rootFolder, const QString& ports)
        : tree(rootFolder), portFolder(QDir::cleanPath(ports))
    {
        // libudev's own test of a running udev: its control socket.
        if (tree.isSystemRoot() && QFileInfo::exists(QStringLiteral("/run/udev/control")))
            context = udev_new();
        settle.setSingleShot(true);
        settle.setInterval(kSettle);
    }
    ~Impl()
    {
        // Before the monitor whose socket it watches.
        delete notifier;
        delete files;
        if (monitor != nullptr)
            udev_monitor_unref(monitor);
        if (context != nullptr)
            udev_unref(context);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    [[nodiscard]] QList<PortLink> portLinks() const
    {
        QList<PortLink> links;
        for (int com = 1; com <= 9; ++com) {
            const QString path = portFolder + QStringLiteral("/com%1").arg(com);
            const QString target = linkText(path);
            if (target.isEmpty())
                continue;
            PortLink link;
            link.com = com;
            link.target = target;
            // A relative link leads from the port folder, a real folder.
            link.node = tree.resolve(
                QDir::isAbsolutePath(target)
                    ? target
                    : tree.systemName(QDir::cleanPath(portFolder + QLatin1Char('/') + target)));
            links.append(link);
        }
        return links;
    }

    // The folders whose changes may change the survey, each where it exists.
    [[nodiscard]] QStringList watchedFolders() const
    {
        QStringList folders;
        if (monitor == nullptr) {
            for (const char* folder : {"/dev", "/dev/serial", "/dev/serial/by-id"})
                folders.append(tree.real(QString::fromLatin1(folder)));
        }
        // The port folder, or the nearest folder above it that may make it.
        QString ports = portFolder;
        while (!QFileInfo(ports).isDir() && QFileInfo(ports).path() != ports)
            ports = QFileInfo(ports).path();
        folders.append(ports);
        for (const QString& path : added)
            folders.append(QFileInfo(tree.real(path)).path());
        folders.removeDuplicates();
        folders.removeIf([](const QString& folder) { return !QFileInfo(folder).isDir(); });
        return folders;
    }

    // Watches what is there now: a folder that appeared is added, one that
    // went is dropped by the watcher itself.
    void rearm()
    {
        if (files == nullptr)
            return;
        const QStringList wanted = watchedFolders();
        const QStringList watched = files->directories();
        for (const QString& folder : watched)
            if (!wanted.contains(folder))
                files->removePath(folder);
        for (const QString& folder : wanted)
            if (!watched.contains(folder))
                files->addPath(folder);
    }

    void somethingChanged()
    {
        rearm();
        settle.start();
    }

    Tree tree;
    QString portFolder;
    QStringList added;
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    QSocketNotifier* notifier = nullptr;
    QFileSystemWatcher* files = nullptr;
    QTimer settle;
};

QString SerialDeviceInfo::stableName() const
{
    if (!byId.isEmpty())
        return byId;
    if (!byPath.isEmpty())
        return byPath;
    return node;
}

SerialDevices::SerialDevices(QString root, QString portFolder, QObject* parent)
    : QObject(parent), m_impl(std::make_unique<Impl>(root, portFolder))
{
    connect(&m_impl->settle, &QTimer::timeout, this, &SerialDevices::changed);
}

SerialDevices::~SerialDevices() = default;

DeviceSurvey SerialDevices::survey() const
{
    const Impl& d = *m_impl;
    DeviceSurvey result;
    QList<Found> found;
    result.fromUdev = d.context != nullptr && udevDevices(d.context, found);
    if (!result.fromUdev)
        found = filesDevices(d.tree);
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(found.begin(), found.end(), [&collator](const Found& a, const Found& b) {
        return collator.compare(a.info.node, b.info.node) < 0;
    });

    QStringList nodes;
    for (Found& device : found) {
        readSysfs(device.sysFolder, device.info);
        nodes.append(device.info.node);
        result.devices.append(device.info);
    }
    // An added device that went away stays listed, as Gone: it may come
    // back, and the user should not be left wondering where it went.
    for (const QString& path : d.added) {
        const QString node = d.tree.resolve(path);
        if (!node.isEmpty() && nodes.contains(node))
            continue;
        SerialDeviceInfo info;
        info.node = path;
        info.addedByPath = true;
        if (!node.isEmpty())
            nodes.append(node);
        result.devices.append(info);
    }

    result.links = d.portLinks();
    const QHash<QString, QString> held = holders(d.tree);
    for (SerialDeviceInfo& info : result.devices) {
        const QString node = d.tree.resolve(info.node);
        for (const PortLink& link : std::as_const(result.links))
            if (!node.isEmpty() && link.node == node)
                info.comNumbers.append(link.com);
        readAccess(d.tree, info);
        if (info.access == DeviceAccess::Open && held.contains(node)) {
            info.access = DeviceAccess::InUse;
            info.holder = held.value(node);
        }
    }
    return result;
}

void SerialDevices::addPath(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (clean.isEmpty() || m_impl->added.contains(clean))
        return;
    m_impl->added.append(clean);
    m_impl->rearm();
}

QString SerialDevices::link(int com, const QString& target) const
{
    if (com < 1 || com > 9)
        return QStringLiteral("COM%1 is not a port number: the numbers go from 1 to 9").arg(com);
    if (target.isEmpty())
        return QStringLiteral("No device to link COM%1 to").arg(com);
    const QString& folder = m_impl->portFolder;
    if (QString error = makeFolder(folder); !error.isEmpty())
        return error;
    const QString path = folder + QStringLiteral("/com%1").arg(com);
    struct stat st
    {
    };
    if (::lstat(encoded(path).constData(), &st) == 0 && !S_ISLNK(st.st_mode))
        return QStringLiteral("%1 is %2, not a link: it is left as it is; remove it to link "
                              "COM%3 there")
            .arg(path, S_ISDIR(st.st_mode) ? QStringLiteral("a folder") : QStringLiteral("a file"))
            .arg(com);
    // A new link renamed over the old one: the port is never without a link
    // and never half written.
    const QString temporary = folder + QStringLiteral("/.com%1.%2.new").arg(com).arg(::getpid());
    (void)::unlink(encoded(temporary).constData());
    if (::symlink(encoded(target).constData(), encoded(temporary).constData()) != 0 ||
        ::rename(encoded(temporary).constData(), encoded(path).constData()) != 0) {
        const int code = errno;
        (void)::unlink(encoded(temporary).constData());
        return QStringLiteral("Cannot link %1 to %2: %3")
            .arg(path, target, QString::fromLocal8Bit(std::strerror(code)));
    }
    return {};
}

void SerialDevices::watch()
{
    Impl& d = *m_impl;
    if (d.files != nullptr)
        return;
    if (d.context != nullptr) {
        d.monitor = udev_monitor_new_from_netlink(d.context, "udev");
        if (d.monitor != nullptr &&
            (udev_monitor_filter_add_match_subsystem_devtype(d.monitor, "tty", nullptr) < 0 ||
             udev_monitor_enable_receiving(d.monitor) < 0)) {
            udev_monitor_unref(d.monitor);
            d.monitor = nullptr;
        }
    }
    if (d.monitor != nullptr) {
        d.notifier =
            new QSocketNotifier(udev_monitor_get_fd(d.monitor), QSocketNotifier::Read, this);
        connect(d.notifier, &QSocketNotifier::activated, this, [this] {
            // Each event is read, or the socket stays readable.
            while (udev_device* device = udev_monitor_receive_device(m_impl->monitor))
                udev_device_unref(device);
            m_impl->settle.start();
        });
    }
    d.files = new QFileSystemWatcher(this);
    connect(d.files, &QFileSystemWatcher::directoryChanged, this,
            [this] { m_impl->somethingChanged(); });
    d.rearm();
}

std::optional<QString> OtherHolder(const QString& path)
{
    const Tree tree(QStringLiteral("/"));
    const QString node = tree.resolve(path);
    if (node.isEmpty())
        return std::nullopt;
    const QHash<QString, QString> held = holders(tree);
    const auto found = held.constFind(node);
    if (found == held.constEnd())
        return std::nullopt;
    return found.value();
}

QString OpenFailureReason(int errorCode)
{
    switch (errorCode) {
    case EACCES:
    case EPERM:
        return QStringLiteral("no permission");
    // The serial device reports EBUSY as well when another copy of the
    // program holds the port's lock.
    case EBUSY:
        return QStringLiteral("in use");
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("no such device");
    default:
        break;
    }
    QString text = QString::fromLocal8Bit(std::strerror(errorCode));
    // "Input/output error" as "input/output error", beside the others.
    if (text.size() > 1 && text.at(0).isUpper() && text.at(1).isLower())
        text[0] = text.at(0).toLower();
    return text;
}
