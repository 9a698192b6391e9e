// SPDX-License-Identifier: GPL-3.0-or-later
// The serial device survey over scratch trees laid out as sysfs, /dev and
// /proc are on a machine with a USB serial adapter and a USB modem plugged
// in: what each device tells, its access, the COM links, link() and the
// watch. Nothing of the machine's own devices is read, but for the one
// test of a real pseudo-terminal.
#include "serial/nodeaccess.h"
#include "serial/serialdevice.h"
#include "serial/serialdevices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <grp.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kFtdiId =
    QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
const QString kFtdiPath = QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0");
const QString kUsb = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1");

class FakeTree
{
public:
    [[nodiscard]] QString path(const QString& systemPath) const
    {
        return m_dir.path() + systemPath;
    }
    [[nodiscard]] QString root() const { return m_dir.path(); }
    [[nodiscard]] QString ports() const { return m_dir.path() + QStringLiteral("/config/ports"); }

    void write(const QString& systemPath, const QByteArray& text = {}) const
    {
        QDir().mkpath(QFileInfo(path(systemPath)).path());
        QFile file(path(systemPath));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.isEmpty() ? text : text + '\n');
    }
    // A relative link, as udev and sysfs make them.
    void link(const QString& systemPath, const QString& systemTarget) const
    {
        const QString at = QFileInfo(path(systemPath)).path();
        QDir().mkpath(at);
        EXPECT_TRUE(QFile::link(QDir(at).relativeFilePath(path(systemTarget)), path(systemPath)));
    }
    void folder(const QString& systemPath) const { QDir().mkpath(path(systemPath)); }

    // A tty of sysfs: its class link, its device and the device's driver.
    void tty(const QString& name, const QString& device, const QString& driver) const
    {
        const QString ttyFolder = device + QStringLiteral("/tty/") + name;
        folder(ttyFolder);
        link(ttyFolder + QStringLiteral("/device"), device);
        if (!driver.isEmpty()) {
            folder(driver);
            link(device + QStringLiteral("/driver"), driver);
        }
        link(QStringLiteral("/sys/class/tty/") + name, ttyFolder);
    }
    void usbDevice(const QString& folder, const QByteArray& vendor, const QByteArray& product,
                   const QByteArray& maker, const QByteArray& name, const QByteArray& serial) const
    {
        write(folder + QStringLiteral("/idVendor"), vendor);
        write(folder + QStringLiteral("/idProduct"), product);
        write(folder + QStringLiteral("/manufacturer"), maker);
        write(folder + QStringLiteral("/product"), name);
        write(folder + QStringLiteral("/serial"), serial);
    }

    // An FTDI adapter on ttyUSB0 with its by-id and by-path links, an
    // Arduino (CDC ACM) on ttyACM0 whose node udev has not made, a real
    // UART, a placeholder UART and a virtual console.
    void machine() const
    {
        usbDevice(kUsb + QStringLiteral("/1-2"), "0403", "6001", "FTDI", "FT232R USB UART",
                  "A12345");
        tty(QStringLiteral("ttyUSB0"), kUsb + QStringLiteral("/1-2/1-2:1.0/ttyUSB0"),
            QStringLiteral("/sys/bus/usb-serial/drivers/ftdi_sio"));
        write(QStringLiteral("/dev/ttyUSB0"));
        link(kFtdiId, QStringLiteral("/dev/ttyUSB0"));
        link(kFtdiPath, QStringLiteral("/dev/ttyUSB0"));

        usbDevice(kUsb + QStringLiteral("/1-3"), "2341", "0043", "Arduino (www.arduino.cc)",
                  "Arduino Uno", "75830303934351F0A1B2");
        tty(QStringLiteral("ttyACM0"), kUsb + QStringLiteral("/1-3/1-3:1.0"),
            QStringLiteral("/sys/bus/usb/drivers/cdc_acm"));

        // A UART as Linux 6.5 and later show it: the tty on the serial
        // core's port, on its controller, on the UART's own device.
        const QString uart = QStringLiteral("/sys/devices/pnp0/00:00");
        const QString port = uart + QStringLiteral("/00:00:0/00:00:0.0");
        tty(QStringLiteral("ttyS0"), port, QStringLiteral("/sys/bus/serial-base/drivers/port"));
        link(port + QStringLiteral("/subsystem"), QStringLiteral("/sys/bus/serial-base"));
        link(QFileInfo(port).path() + QStringLiteral("/subsystem"),
             QStringLiteral("/sys/bus/serial-base"));
        link(QFileInfo(port).path() + QStringLiteral("/driver"),
             QStringLiteral("/sys/bus/serial-base/drivers/ctrl"));
        folder(QStringLiteral("/sys/bus/pnp/drivers/serial"));
        link(uart + QStringLiteral("/driver"), QStringLiteral("/sys/bus/pnp/drivers/serial"));
        link(uart + QStringLiteral("/subsystem"), QStringLiteral("/sys/bus/pnp"));
        write(port + QStringLiteral("/tty/ttyS0/type"), "4");
        write(QStringLiteral("/dev/ttyS0"));
        tty(QStringLiteral("ttyS1"), QStringLiteral("/sys/devices/platform/serial8250"),
            QStringLiteral("/sys/bus/platform/drivers/serial8250"));
        write(QStringLiteral("/sys/devices/platform/serial8250/tty/ttyS1/type"), "0");
        write(QStringLiteral("/dev/ttyS1"));
        folder(QStringLiteral("/sys/devices/virtual/tty/tty0"));
        link(QStringLiteral("/sys/class/tty/tty0"),
             QStringLiteral("/sys/devices/virtual/tty/tty0"));
        write(QStringLiteral("/dev/tty0"));
    }

private:
    QTemporaryDir m_dir;
};

const SerialDeviceInfo* find(const DeviceSurvey& survey, const QString& node)
{
    for (const SerialDeviceInfo& info : survey.devices)
        if (info.node == node)
            return &info;
    return nullptr;
}

QStringList nodes(const DeviceSurvey& survey)
{
    QStringList list;
    for (const SerialDeviceInfo& info : survey.devices)
        list.append(info.node);
    return list;
}

TEST(SerialDevices, FileTreeListsTheRealPortsWithWhatUsbTellsOfThem)
{
    FakeTree tree;
    tree.machine();
    // udev has not yet removed the link of an adapter that went away.
    tree.link(QStringLiteral("/dev/serial/by-id/usb-Prolific-port0"),
              QStringLiteral("/dev/ttyUSB7"));
    const DeviceSurvey survey = SerialDevices(tree.root(), tree.ports()).survey();

    EXPECT_FALSE(survey.fromUdev);
    // No placeholder UART, no console, and nothing for the stale link: a
    // device that is not there is not offered.
    EXPECT_EQ(nodes(survey), (QStringList{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0"}));

    const SerialDeviceInfo* ftdi = find(survey, QStringLiteral("/dev/ttyUSB0"));
    ASSERT_NE(ftdi, nullptr);
    EXPECT_EQ(ftdi->byId, kFtdiId);
    EXPECT_EQ(ftdi->byPath, kFtdiPath);
    EXPECT_EQ(ftdi->stableName(), kFtdiId);
    EXPECT_EQ(ftdi->vendorId, QStringLiteral("0403"));
    EXPECT_EQ(ftdi->productId, QStringLiteral("6001"));
    EXPECT_EQ(ftdi->manufacturer, QStringLiteral("FTDI"));
    EXPECT_EQ(ftdi->product, QStringLiteral("FT232R USB UART"));
    EXPECT_EQ(ftdi->serialNumber, QStringLiteral("A12345"));
    EXPECT_EQ(ftdi->driver, QStringLiteral("ftdi_sio"));
    EXPECT_EQ(ftdi->access, DeviceAccess::Open);
    EXPECT_FALSE(ftdi->addedByPath);

    // The modem's tty hangs off the USB interface itself.
    const SerialDeviceInfo* acm = find(survey, QStringLiteral("/dev/ttyACM0"));
    ASSERT_NE(acm, nullptr);
    EXPECT_EQ(acm->driver, QStringLiteral("cdc_acm"));
    EXPECT_EQ(acm->vendorId, QStringLiteral("2341"));
    EXPECT_EQ(acm->serialNumber, QStringLiteral("75830303934351F0A1B2"));
    EXPECT_EQ(acm->stableName(), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(acm->access, DeviceAccess::Gone);

    const SerialDeviceInfo* uart = find(survey, QStringLiteral("/dev/ttyS0"));
    ASSERT_NE(uart, nullptr);
    EXPECT_EQ(uart->driver, QStringLiteral("serial"));
    EXPECT_TRUE(uart->vendorId.isEmpty());
}

TEST(SerialDevices, ComLinksAreFollowedToTheirDeviceAndEachIsListed)
{
    FakeTree tree;
    tree.machine();
    QDir().mkpath(tree.ports());
    QFile::link(kFtdiId, tree.ports() + QStringLiteral("/com4"));
    QFile::link(QStringLiteral("/dev/ttyUSB0"), tree.ports() + QStringLiteral("/com2"));
    QFile::link(QStringLiteral("/dev/serial/by-id/usb-unplugged"),
                tree.ports() + QStringLiteral("/com6"));
    // Not a COM number.
    QFile::link(QStringLiteral("/dev/ttyS0"), tree.ports() + QStringLiteral("/com10"));
    const DeviceSurvey survey = SerialDevices(tree.root(), tree.ports()).survey();

    ASSERT_EQ(survey.links.size(), 3);
    EXPECT_EQ(survey.links[0].com, 2);
    EXPECT_EQ(survey.links[0].node, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(survey.links[1].com, 4);
    EXPECT_EQ(survey.links[1].target, kFtdiId);
    EXPECT_EQ(survey.links[1].node, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(survey.links[2].com, 6);
    EXPECT_EQ(survey.links[2].target, QStringLiteral("/dev/serial/by-id/usb-unplugged"));
    EXPECT_TRUE(survey.links[2].node.isEmpty());

    EXPECT_EQ(find(survey, QStringLiteral("/dev/ttyUSB0"))->comNumbers, (QList<int>{2, 4}));
    EXPECT_TRUE(find(survey, QStringLiteral("/dev/ttyS0"))->comNumbers.isEmpty());
}

TEST(SerialDevices, AccessFollowsTheModeAndTheProcessesHoldingTheNode)
{
    FakeTree tree;
    tree.machine();
    tree.write(QStringLiteral("/proc/123/comm"), "minicom");
    tree.folder(QStringLiteral("/proc/123/fd"));
    QFile::link(QStringLiteral("/dev/ttyUSB0"), tree.path(QStringLiteral("/proc/123/fd/5")));
    QFile::link(QStringLiteral("socket:[4711]"), tree.path(QStringLiteral("/proc/123/fd/6")));
    // Processes whose descriptors cannot be read are passed over.
    tree.write(QStringLiteral("/proc/124/comm"), "secret");
    tree.write(QStringLiteral("/proc/self/comm"), "ignored");
    ASSERT_EQ(::chmod(QFile::encodeName(tree.path(QStringLiteral("/dev/ttyS0"))).constData(), 0),
              0);
    const DeviceSurvey survey = SerialDevices(tree.root(), tree.ports()).survey();

    const SerialDeviceInfo* ftdi = find(survey, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(ftdi->access, DeviceAccess::InUse);
    EXPECT_EQ(ftdi->holder, QStringLiteral("minicom"));
    // Root may open a node of mode 000, and that is what the survey must
    // say to root; ModeAccess below checks the same node for another user.
    EXPECT_EQ(find(survey, QStringLiteral("/dev/ttyS0"))->access,
              ::getuid() == 0 ? DeviceAccess::Open : DeviceAccess::NoPermission);
}

TEST(SerialDevices, ModeAccessTakesTheFirstClassOfUserThatMatches)
{
    struct stat node
    {
    };
    node.st_uid = 0;
    node.st_gid = 20; // dialout
    node.st_mode = S_IFCHR | 0660;
    const NodeUser member{1000, 1000, {20, 24}};
    const NodeUser outsider{1000, 1000, {24}};
    EXPECT_EQ(ModeAccess(node, member), DeviceAccess::Open);
    EXPECT_EQ(ModeAccess(node, outsider), DeviceAccess::NoPermission);
    EXPECT_EQ(ModeAccess(node, NodeUser{1000, 20, {}}), DeviceAccess::Open);
    // Read alone is not enough: the board is written to.
    node.st_mode = S_IFCHR | 0640;
    EXPECT_EQ(ModeAccess(node, member), DeviceAccess::NoPermission);
    // An owner is judged by the owner's bits alone.
    node.st_uid = 1000;
    node.st_mode = S_IFCHR | 0066;
    EXPECT_EQ(ModeAccess(node, member), DeviceAccess::NoPermission);
    node.st_mode = S_IFCHR | 0000;
    EXPECT_EQ(ModeAccess(node, NodeUser{0, 0, {}}), DeviceAccess::Open);
}

TEST(SerialDevices, LinkWritesAndReplacesButNeverOverAFileOrFolder)
{
    FakeTree tree;
    const SerialDevices devices(tree.root(), tree.ports());
    ASSERT_EQ(devices.link(4, kFtdiId), QString());
    struct stat folder
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(tree.ports()).constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    const QString com4 = tree.ports() + QStringLiteral("/com4");
    EXPECT_EQ(QFileInfo(com4).symLinkTarget(), kFtdiId);
    ASSERT_EQ(devices.link(4, QStringLiteral("/dev/ttyACM0")), QString());
    EXPECT_EQ(QFileInfo(com4).symLinkTarget(), QStringLiteral("/dev/ttyACM0"));

    EXPECT_NE(devices.link(0, kFtdiId).indexOf(QStringLiteral("1 to 9")), -1);
    EXPECT_NE(devices.link(10, kFtdiId).indexOf(QStringLiteral("1 to 9")), -1);

    QFile planted(tree.ports() + QStringLiteral("/com5"));
    ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
    planted.write("mine");
    planted.close();
    QDir().mkpath(tree.ports() + QStringLiteral("/com6"));
    EXPECT_NE(devices.link(5, kFtdiId).indexOf(QStringLiteral("not a link")), -1);
    EXPECT_NE(devices.link(6, kFtdiId).indexOf(QStringLiteral("a folder")), -1);
    ASSERT_TRUE(planted.open(QIODevice::ReadOnly));
    EXPECT_EQ(planted.readAll(), QByteArray("mine"));
    EXPECT_TRUE(QFileInfo(tree.ports() + QStringLiteral("/com6")).isDir());
    // Nothing left behind by the one-step replacement.
    EXPECT_EQ(QDir(tree.ports())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{"com4", "com5", "com6"}));
}

TEST(SerialDevices, AddedPseudoTerminalIsListedAndThenAsGone)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    const QString terminal = QString::fromLocal8Bit(name);
    QTemporaryDir ports;
    // The machine's own root, for a terminal the kernel really made: the
    // survey only reads, and opens nothing.
    SerialDevices devices(QStringLiteral("/"), ports.path());
    ASSERT_EQ(devices.link(3, terminal), QString());
    devices.addPath(terminal);
    const DeviceSurvey survey = devices.survey();
    const SerialDeviceInfo* pty = find(survey, terminal);
    ASSERT_NE(pty, nullptr);
    EXPECT_TRUE(pty->addedByPath);
    EXPECT_EQ(pty->comNumbers, QList<int>{3});
    // This test holds it open, but as its maker (the master end) and as the
    // program asking: no other program uses it.
    EXPECT_EQ(pty->access, DeviceAccess::Open);
    EXPECT_EQ(pty->holder, QString());

    ::close(slave);
    ::close(master);
    const DeviceSurvey after = devices.survey();
    const SerialDeviceInfo* gone = find(after, terminal);
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->access, DeviceAccess::Gone);
    EXPECT_TRUE(gone->addedByPath);
}

// A refused open tells whom the device lets in: the group to join, or that
// only root may.
TEST(SerialDevices, APermissionErrorNamesTheGroupOfTheDevice)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "giving a file to another group needs root";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ttyUSB0"));
    QFile node(path);
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    node.close();
    const QByteArray name = QFile::encodeName(path);
    for (const char* groupName : {"dialout", "uucp"}) {
        const group* owner = getgrnam(groupName);
        ASSERT_NE(owner, nullptr) << groupName;
        ASSERT_EQ(::chown(name.constData(), 0, owner->gr_gid), 0);
        ASSERT_EQ(::chmod(name.constData(), 0660), 0);
        const DeviceError error = SerialDevice::permissionError(path);
        EXPECT_EQ(error.code, EACCES);
        EXPECT_TRUE(error.text.endsWith(
            QStringLiteral(". The device belongs to the group '%1': add yourself with 'sudo "
                           "adduser $USER %1', then log out and in again")
                .arg(QString::fromLatin1(groupName))))
            << error.text.toStdString();
    }
    ASSERT_EQ(::chown(name.constData(), 0, 0), 0);
    ASSERT_EQ(::chmod(name.constData(), 0600), 0);
    EXPECT_TRUE(SerialDevice::permissionError(path).text.endsWith(
        QStringLiteral(". Only root may open it; a udev rule can give it a group")));
}

// The advice to a refused user names who may open the node.
TEST(SerialDevices, OpenersAreTheGroupAndTheOwnerTheModeLetsIn)
{
    const group* dialout = getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    struct stat node
    {
    };
    node.st_mode = S_IFCHR | 0660;
    node.st_gid = dialout->gr_gid;
    EXPECT_EQ(Openers(node).group, QStringLiteral("dialout"));
    EXPECT_EQ(Openers(node).owner, QString());
    // Root's own group is no advice, and neither is a group that may only read.
    node.st_gid = 0;
    EXPECT_EQ(Openers(node).group, QString());
    node.st_gid = dialout->gr_gid;
    node.st_mode = S_IFCHR | 0640;
    EXPECT_EQ(Openers(node).group, QString());
    // A user's own node; a number stands for a user the system has no name for.
    node.st_uid = 4242424;
    node.st_mode = S_IFCHR | 0600;
    EXPECT_EQ(Openers(node).owner, QStringLiteral("4242424"));
    EXPECT_EQ(Openers(node).group, QString());
}

TEST(SerialDevices, WatchTellsOfNodesAndOfLinksInAByIdFolderThatCameLater)
{
    FakeTree tree;
    tree.folder(QStringLiteral("/dev"));
    SerialDevices devices(tree.root(), tree.ports());
    devices.watch();
    QSignalSpy changed(&devices, &SerialDevices::changed);

    tree.write(QStringLiteral("/dev/ttyUSB1"));
    ASSERT_TRUE(changed.wait(5000));
    tree.folder(QStringLiteral("/dev/serial/by-id"));
    ASSERT_TRUE(changed.wait(5000));
    const qsizetype before = changed.size();
    tree.link(QStringLiteral("/dev/serial/by-id/usb-CH340-port0"), QStringLiteral("/dev/ttyUSB1"));
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(changed.size(), before + 1);
}

TEST(SerialDevices, OpenFailureReasonInAFewWords)
{
    EXPECT_EQ(OpenFailureReason(EACCES), QStringLiteral("no permission"));
    EXPECT_EQ(OpenFailureReason(EPERM), QStringLiteral("no permission"));
    // What the serial device reports when another copy holds the lock.
    EXPECT_EQ(OpenFailureReason(EBUSY), QStringLiteral("in use"));
    EXPECT_EQ(OpenFailureReason(ENOENT), QStringLiteral("no such device"));
    EXPECT_EQ(OpenFailureReason(ENXIO), QStringLiteral("no such device"));
    EXPECT_EQ(OpenFailureReason(ENODEV), QStringLiteral("no such device"));
    EXPECT_EQ(OpenFailureReason(EIO), QStringLiteral("input/output error"));
}

} // namespace
