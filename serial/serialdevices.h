// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

// The serial devices of this machine, as the system knows them: each device
// node with its stable names, what the USB side tells of it, whether this
// user may open it, and which COM numbers of the port folder lead to it.
// One implementation per platform (serialdevices_linux.cpp: libudev, or
// /dev/serial/by-id and sysfs where udev is not running).
//
// Every path is read under a root (a folder standing in for / in the tests);
// the COM links are read from the port folder given. Nothing here opens a
// device.

// Why a device cannot be opened, as far as the system tells without opening
// it.
enum class DeviceAccess
{
    Open,         // this user may read and write it
    NoPermission, // the node's owner, group and mode refuse this user
    InUse,        // another process holds it open
    Gone          // no such node (a link whose device went away)
};

struct SerialDeviceInfo
{
    // The device node, e.g. /dev/ttyUSB0 (under the root, as the system
    // names it: the root is not part of it).
    QString node;
    // /dev/serial/by-id/... and /dev/serial/by-path/..., empty when none.
    QString byId;
    QString byPath;
    // Four hexadecimal digits each, empty for a device that is not on USB.
    QString vendorId;
    QString productId;
    QString manufacturer;
    QString product;
    QString serialNumber;
    // The kernel driver: ftdi_sio, cdc_acm, pl2303, ch341, cp210x ...
    QString driver;
    DeviceAccess access = DeviceAccess::Open;
    // The process holding the device open, where /proc tells it (InUse).
    QString holder;
    // Who else may open it (NoPermission): the group whose members may, and
    // the user owning it; each empty where none but root may.
    QString accessGroup;
    QString accessOwner;
    // The COM numbers whose link in the port folder leads to this device.
    QList<int> comNumbers;
    // True for a device the user added by path, which discovery cannot know.
    bool addedByPath = false;

    // The name to link a COM number to: by-id, else by-path, else the node.
    [[nodiscard]] QString stableName() const;
};

// A link com1 ... com9 of the port folder, whatever it points at.
struct PortLink
{
    int com = 0;
    QString target;
    // The device it leads to, empty when it leads nowhere that exists.
    QString node;
};

struct DeviceSurvey
{
    QList<SerialDeviceInfo> devices;
    QList<PortLink> links;
    // False where udev is not running and the survey read the file tree.
    bool fromUdev = false;
};

class SerialDevices : public QObject
{
    Q_OBJECT
public:
    // root: "/" on the machine, a scratch folder in tests; portFolder: the
    // folder of the com1 ... com9 links.
    SerialDevices(QString root, QString portFolder, QObject* parent = nullptr);
    ~SerialDevices() override;

    // Reads the devices and the links now.
    [[nodiscard]] DeviceSurvey survey() const;
    // Adds a device discovery cannot know (a pseudo-terminal, a serial
    // server's port); it is listed in every survey from now on, with
    // addedByPath set, and as Gone once its node has gone.
    void addPath(const QString& path);

    // Writes the link com<n> in the port folder to target, replacing any
    // link there in one step; the error text, empty on success.
    [[nodiscard]] QString link(int com, const QString& target) const;

    // Watches for devices coming and going (udev's monitor, else the
    // by-id folder and /dev) and emits changed(), on this object's thread.
    void watch();

Q_SIGNALS:
    void changed();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Another program holding open the device that path leads to, found in
// /proc as the survey finds it (this program, and the maker of a
// pseudo-terminal, do not count): its name, which may be empty where /proc
// does not tell it; nothing when no other program holds the device.
[[nodiscard]] std::optional<QString> OtherHolder(const QString& path);

// The reason a device failed to open, in a few words for the message
// panel: "no permission", "in use", "no such device", or the system's text.
[[nodiscard]] QString OpenFailureReason(int errorCode);
