// SPDX-License-Identifier: GPL-3.0-or-later
// Port -> Devices on a scratch device tree, with the board simulator's
// pseudo-terminal and a silent one standing in for devices, and the reason
// of a failed open in the message panel.
#include "board/boardline.h"
#include "board/boardprobe.h"
#include "board/devicelist.h"
#include "board/deviceswindow.h"
#include "common/folders.h"
#include "common/regional.h"
#include "controller/relay.h"
#include "serial/Serial2.h"
#include "support/fakeview.h"
#include "support/manualclock.h"
#include "tools/simulatedboard.h"
#include "tools/waituntil.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kPortProblem = QStringLiteral("There appears to be a problem accessing the COM Port");

// A pseudo-terminal nobody answers on: its far end is held open and never
// read.
class SilentTerminal
{
public:
    SilentTerminal()
    {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&m_master, &m_slave, name, &raw, nullptr) == 0) {
            m_path = QString::fromLocal8Bit(name);
            // A program the test starts must not hold it by inheritance.
            for (int fd : {m_master, m_slave})
                fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    ~SilentTerminal()
    {
        for (int fd : {m_master, m_slave})
            if (fd >= 0)
                ::close(fd);
    }
    SilentTerminal(const SilentTerminal&) = delete;
    SilentTerminal& operator=(const SilentTerminal&) = delete;

    [[nodiscard]] const QString& path() const { return m_path; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

// The desktop's parts around the window: the controller over the real
// serial component, a recording view, and a survey of a scratch root (dev/,
// sys/) with the port folder of this test process.
class DevicesWindowTest : public ::testing::Test
{
protected:
    DevicesWindowTest() { board::UseBoardLineSettings(serial); }
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("dev")));
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("sys")));
        // The pseudo-terminals are the machine's own under the scratch root
        // too: they are the only devices a test opens.
        ASSERT_TRUE(
            QFile::link(QStringLiteral("/dev/pts"), root.filePath(QStringLiteral("dev/pts"))));
        ASSERT_TRUE(QDir().mkpath(PortFolder()));
    }

    // A file of the scratch tree, at a path as the system names it.
    void write(const QString& systemPath, const QByteArray& text = {})
    {
        const QString path = root.path() + systemPath;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    // A relative link, as sysfs and udev make them.
    void link(const QString& systemPath, const QString& systemTarget)
    {
        const QString at = QFileInfo(root.path() + systemPath).path();
        QDir().mkpath(at);
        ASSERT_TRUE(QFile::link(QDir(at).relativeFilePath(root.path() + systemTarget),
                                root.path() + systemPath));
    }
    // A USB serial adapter's tty in sysfs, its node and its by-id link.
    void usbSerial(const QString& name, const QString& usb, const QByteArray& vendor,
                   const QByteArray& product, const QByteArray& maker,
                   const QByteArray& productName, const QByteArray& serialNumber,
                   const QString& driver)
    {
        write(usb + QStringLiteral("/idVendor"), vendor);
        write(usb + QStringLiteral("/idProduct"), product);
        write(usb + QStringLiteral("/manufacturer"), maker);
        write(usb + QStringLiteral("/product"), productName);
        write(usb + QStringLiteral("/serial"), serialNumber);
        const QString port = usb + QStringLiteral("/1-2:1.0/") + name;
        const QString tty = port + QStringLiteral("/tty/") + name;
        QDir().mkpath(root.path() + tty);
        link(tty + QStringLiteral("/device"), port);
        QDir().mkpath(root.path() + driver);
        link(port + QStringLiteral("/driver"), driver);
        link(QStringLiteral("/sys/class/tty/") + name, tty);
        write(QStringLiteral("/dev/") + name);
    }

    // Starts the simulator on a terminal it links as no COM number; the
    // terminal.
    QString startBoard()
    {
        sim.keepEvents();
        return sim.start() ? sim.terminal() : QString();
    }
    template <typename T = QWidget> T* find(const char* name)
    {
        T* widget = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // Adds a device through the button, answering the prompt with path.
    void addByPath(const QString& path)
    {
        view.texts.push_back(path);
        find<QPushButton>("AddPathButton")->click();
    }
    [[nodiscard]] QString identifyResult() { return find<QLabel>("IdentifyResult")->text(); }
    [[nodiscard]] QString deviceCell(int row, int column)
    {
        const QTableWidgetItem* item = find<QTableWidget>("DeviceTable")->item(row, column);
        return item ? item->text() : QString();
    }
    [[nodiscard]] int rowOf(const QString& node)
    {
        auto* table = find<QTableWidget>("DeviceTable");
        for (int row = 0; row < table->rowCount(); ++row)
            if (deviceCell(row, 0) == node)
                return row;
        return -1;
    }

    QTemporaryDir root;
    QTemporaryDir simConfig;
    SimulatedBoard sim{simConfig.path(), 0, QStringLiteral(V217_BOARDSIM)};
    FakeView view;
    TSerial serial;
    ManualClock clock;
    const Regional regional = Regional::fixed();
    Controller core{view, serial, clock, regional};
    SerialDevices devices{root.path(), PortFolder()};
    DevicesWindow window{devices, root.path(), core.port(), core.poll(), serial, view};
};

TEST_F(DevicesWindowTest, ATerminalAddedByPathAndLinkedAsCom4IsTheOpenPort)
{
    const QString terminal = startBoard();
    ASSERT_FALSE(terminal.isEmpty()) << sim.log();
    window.show();
    EXPECT_EQ(find<QLabel>("SourceLabel")->text(),
              devices.survey().fromUdev
                  ? QStringLiteral("Devices as udev knows them")
                  : QStringLiteral("udev is not running: read from /dev and /sys"));

    addByPath(terminal);
    ASSERT_TRUE(view.boxes.isEmpty()) << qPrintable(view.boxTexts().join('\n'));
    ASSERT_EQ(view.textPrompts.size(), 1);
    const SerialDeviceInfo* chosen = window.selectedDevice();
    ASSERT_NE(chosen, nullptr);
    EXPECT_TRUE(board::SameDevice(chosen->node, terminal));
    EXPECT_TRUE(chosen->addedByPath);

    auto* number = find<QSpinBox>("ComNumber");
    EXPECT_EQ(number->value(), 1);
    number->setValue(4);
    auto* link = find<QPushButton>("LinkButton");
    EXPECT_EQ(link->text(), QStringLiteral("Link as COM 4"));
    link->click();

    EXPECT_TRUE(view.boxes.isEmpty()) << qPrintable(view.boxTexts().join('\n'));
    const QString com4 = PortFolder() + QStringLiteral("/com4");
    EXPECT_TRUE(QFileInfo(com4).isSymLink());
    EXPECT_TRUE(board::SameDevice(com4, terminal));
    EXPECT_TRUE(serial.Active());
    EXPECT_EQ(serial.Port(), 4);
    EXPECT_EQ(view.status[0], QStringLiteral("COM 4"));
    // The table follows: the device carries its COM number, the link is
    // listed, and the next free number is offered.
    const int row = rowOf(window.selectedDevice() ? window.selectedDevice()->node : QString());
    ASSERT_GE(row, 0);
    EXPECT_EQ(deviceCell(row, 6), QStringLiteral("COM 4"));
    auto* links = find<QTableWidget>("LinkTable");
    ASSERT_EQ(links->rowCount(), 1);
    EXPECT_TRUE(links->item(0, 0)->text().startsWith(QStringLiteral("COM 4 -> ")));
    EXPECT_EQ(number->value(), 1);

    // The board answers on the port now open.
    ASSERT_TRUE(waitUntil([&] { return view.status[1] == QStringLiteral("Board online..."); }));

    // Activated, the board's own port is not asked again behind the poll
    // cycle's back.
    core.ActiveButtClick();
    ASSERT_TRUE(core.poll().SystemActive());
    find<QPushButton>("IdentifyButton")->click();
    EXPECT_TRUE(identifyResult().contains(QStringLiteral("deactivate it")))
        << qPrintable(identifyResult());
    core.poll().requestClose();
}

TEST_F(DevicesWindowTest, TheTableListsWhatEachDeviceTells)
{
    const QString usb = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2");
    const QString byId =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
    usbSerial(QStringLiteral("ttyUSB0"), usb, "0403", "6001", "FTDI", "FT232R USB UART", "A12345",
              QStringLiteral("/sys/bus/usb-serial/drivers/ftdi_sio"));
    link(byId, QStringLiteral("/dev/ttyUSB0"));
    usbSerial(QStringLiteral("ttyUSB1"), usb + QStringLiteral("-b"), "1a86", "7523", "",
              "USB Serial", "", QStringLiteral("/sys/bus/usb-serial/drivers/ch341"));
    ASSERT_TRUE(QFile::setPermissions(root.filePath(QStringLiteral("dev/ttyUSB1")), {}));
    ASSERT_EQ(devices.link(2, byId), QString());
    window.show();

    const int ftdi = rowOf(QStringLiteral("/dev/ttyUSB0"));
    ASSERT_GE(ftdi, 0);
    const QStringList expected{
        QStringLiteral("/dev/ttyUSB0"), byId,
        QStringLiteral("0403:6001"),    QStringLiteral("FTDI / FT232R USB UART"),
        QStringLiteral("A12345"),       QStringLiteral("ftdi_sio"),
        QStringLiteral("COM 2"),        QStringLiteral("Can be opened")};
    for (int column = 0; column < expected.size(); ++column)
        EXPECT_EQ(deviceCell(ftdi, column), expected.at(column)) << column;

    const int ch341 = rowOf(QStringLiteral("/dev/ttyUSB1"));
    ASSERT_GE(ch341, 0);
    EXPECT_EQ(deviceCell(ch341, 1), QStringLiteral("/dev/ttyUSB1"));
    EXPECT_EQ(deviceCell(ch341, 3), QStringLiteral("USB Serial"));
    // Root may open a node of mode 000, and the survey says so to root.
    EXPECT_EQ(deviceCell(ch341, 7), ::getuid() == 0
                                        ? QStringLiteral("Can be opened")
                                        : QStringLiteral("No permission: only root may open it; a "
                                                         "udev rule can give it a group"));
    EXPECT_EQ(find<QSpinBox>("ComNumber")->value(), 1);

    // Selecting survives a refresh, which follows the device by its node.
    find<QTableWidget>("DeviceTable")->selectRow(ch341);
    write(QStringLiteral("/dev/ttyUSB0"));
    ASSERT_TRUE(QFile::remove(root.filePath(QStringLiteral("sys/class/tty/ttyUSB0"))));
    window.refresh();
    ASSERT_NE(window.selectedDevice(), nullptr);
    EXPECT_EQ(window.selectedDevice()->node, QStringLiteral("/dev/ttyUSB1"));
    EXPECT_EQ(rowOf(QStringLiteral("/dev/ttyUSB0")), -1);

    // A COM number that cannot be linked says why, and opens nothing.
    ASSERT_TRUE(QDir().mkpath(PortFolder() + QStringLiteral("/com9")));
    find<QSpinBox>("ComNumber")->setValue(9);
    find<QPushButton>("LinkButton")->click();
    ASSERT_EQ(view.boxes.size(), 1);
    EXPECT_EQ(view.boxes.at(0).kind, QStringLiteral("Error"));
    EXPECT_TRUE(view.boxes.at(0).text.contains(QStringLiteral("not a link")))
        << qPrintable(view.boxes.at(0).text);
    EXPECT_FALSE(serial.Active());
    EXPECT_EQ(view.status[0], QStringLiteral("COM x"));

    // A link made behind the window's back shows up by itself.
    ASSERT_TRUE(
        QFile::link(QStringLiteral("/dev/ttyUSB1"), PortFolder() + QStringLiteral("/com5")));
    auto* links = find<QTableWidget>("LinkTable");
    EXPECT_TRUE(waitUntil([&] { return links->rowCount() == 2; })) << links->rowCount();
}

TEST_F(DevicesWindowTest, APathThatDoesNotExistAddsNothing)
{
    window.show();
    const qsizetype before = window.survey().devices.size();
    addByPath(root.filePath(QStringLiteral("dev/ttyNothing")));
    ASSERT_EQ(view.boxes.size(), 1);
    EXPECT_EQ(view.boxes.at(0).kind, QStringLiteral("Error"));
    EXPECT_TRUE(view.boxes.at(0).text.contains(QStringLiteral("does not exist")));
    EXPECT_EQ(window.survey().devices.size(), before);
    EXPECT_EQ(window.selectedDevice(), nullptr);
    EXPECT_FALSE(find<QPushButton>("LinkButton")->isEnabled());

    // A cancelled prompt does nothing at all.
    view.boxes.clear();
    find<QPushButton>("AddPathButton")->click();
    EXPECT_TRUE(view.boxes.isEmpty());
}

TEST_F(DevicesWindowTest, IdentifyTellsABoardFromASilentTerminal)
{
    const QString terminal = startBoard();
    ASSERT_FALSE(terminal.isEmpty()) << sim.log();
    SilentTerminal silent;
    ASSERT_FALSE(silent.path().isEmpty());
    window.show();

    addByPath(terminal);
    ASSERT_NE(window.selectedDevice(), nullptr);
    const qsizetype from = sim.events().size();
    find<QPushButton>("IdentifyButton")->click();
    EXPECT_FALSE(find<QPushButton>("IdentifyButton")->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return identifyResult().startsWith(QStringLiteral("A V217")); }))
        << qPrintable(identifyResult());
    EXPECT_EQ(sim.commands(from), QList<QByteArray>{"I0\\r"});
    EXPECT_TRUE(find<QPushButton>("IdentifyButton")->isEnabled());

    addByPath(silent.path());
    ASSERT_NE(window.selectedDevice(), nullptr);
    find<QPushButton>("IdentifyButton")->click();
    ASSERT_TRUE(waitUntil([&] { return identifyResult().startsWith(QStringLiteral("No V217")); }))
        << qPrintable(identifyResult());
    // Only the chosen device was asked.
    EXPECT_EQ(sim.commands(from), QList<QByteArray>{"I0\\r"});
    EXPECT_FALSE(serial.Active());
}

// A COM number whose link leads nowhere: the box keeps the system's text,
// the message panel tells why, and Port -> Set leaves it there.
TEST_F(DevicesWindowTest, AFailedOpenTellsItsReasonInTheMessagePanel)
{
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("dev/ttyUSB9")),
                            PortFolder() + QStringLiteral("/com3")));
    core.OpenSerialPort(QStringLiteral("3"));
    EXPECT_EQ(view.boxTexts(), QStringList{kPortProblem});
    EXPECT_EQ(view.status[0], QStringLiteral("COM x"));
    EXPECT_EQ(view.status[1], QStringLiteral("COM 3: no such device"));

    view.onPortDialog = [](QString& text) {
        text = QStringLiteral("3");
        return true;
    };
    core.Set1Click();
    EXPECT_EQ(view.status[1], QStringLiteral("COM 3: no such device"));
    view.onPortDialog = [](QString&) { return false; };
    core.Set1Click();
    EXPECT_EQ(view.status[1], QStringLiteral("Communications idle"));

    // The link window lists the link for what it is.
    window.show();
    auto* links = find<QTableWidget>("LinkTable");
    ASSERT_EQ(links->rowCount(), 1);
    EXPECT_EQ(links->item(0, 0)->text(), QStringLiteral("COM 3 -> %1 (leads nowhere)")
                                             .arg(root.filePath(QStringLiteral("dev/ttyUSB9"))));
    EXPECT_EQ(find<QSpinBox>("ComNumber")->value(), 1);
}

// A terminal held open by another program (a shell's redirection, which
// takes no lock) is in use: the window says by whom, and opening its COM
// number fails as for a locked port, until the program lets it go.
TEST_F(DevicesWindowTest, ADeviceAnotherProgramHoldsOpenIsRefusedAsInUse)
{
    SilentTerminal terminal;
    ASSERT_FALSE(terminal.path().isEmpty());
    ASSERT_TRUE(QFile::link(terminal.path(), PortFolder() + QStringLiteral("/com3")));
    // The window finds the processes of the machine under its scratch root.
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc"), root.filePath(QStringLiteral("proc"))));
    QProcess holder;
    holder.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"), QStringLiteral("exec sleep 60 <\"$0\""), terminal.path()});
    ASSERT_TRUE(holder.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return OtherHolder(terminal.path()) == QStringLiteral("sleep"); }));

    window.show();
    addByPath(terminal.path());
    const int row = rowOf(terminal.path());
    ASSERT_GE(row, 0);
    EXPECT_EQ(deviceCell(row, 7), QStringLiteral("In use by sleep"));

    core.OpenSerialPort(QStringLiteral("3"));
    EXPECT_EQ(view.boxTexts(), QStringList{kPortProblem});
    EXPECT_FALSE(serial.Active());
    EXPECT_EQ(view.status[0], QStringLiteral("COM x"));
    EXPECT_EQ(view.status[1], QStringLiteral("COM 3: in use"));

    holder.kill();
    ASSERT_TRUE(holder.waitForFinished());
    view.boxes.clear();
    core.OpenSerialPort(QStringLiteral("3"));
    EXPECT_TRUE(view.boxes.isEmpty()) << qPrintable(view.boxTexts().join('\n'));
    EXPECT_TRUE(serial.Active());
}

// A device added by path that goes away stays in the table as Gone.
TEST_F(DevicesWindowTest, ATerminalAddedByPathThatGoesIsListedAsGone)
{
    auto terminal = std::make_unique<SilentTerminal>();
    const QString path = terminal->path();
    ASSERT_FALSE(path.isEmpty());
    window.show();
    addByPath(path);
    ASSERT_GE(rowOf(path), 0);
    EXPECT_EQ(deviceCell(rowOf(path), 7), QStringLiteral("Can be opened"));
    terminal.reset();
    window.refresh();
    ASSERT_GE(rowOf(path), 0);
    EXPECT_EQ(deviceCell(rowOf(path), 7), QStringLiteral("Gone"));
}

// The State column is shown whole, at the window's first size and in a
// narrow one (a screen scaled 2x): the columns nothing is known for are
// hidden, and the long ones give up room.
TEST_F(DevicesWindowTest, TheStateColumnIsShownWholeAndEmptyColumnsGiveTheirRoom)
{
    const QString usb = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2");
    const QString byId =
        QStringLiteral("/dev/serial/by-id/usb-Silicon_Labs_CP2102N_USB_to_UART_Bridge_Controller_"
                       "8a6c3e1f2b4d5e6f7a8b9c0d1e2f3a4b-if00-port0");
    usbSerial(QStringLiteral("ttyUSB0"), usb, "10c4", "ea60", "Silicon Labs",
              "CP2102N USB to UART Bridge Controller", "8a6c3e1f2b4d5e6f7a8b9c0d1e2f3a4b",
              QStringLiteral("/sys/bus/usb-serial/drivers/cp210x"));
    link(byId, QStringLiteral("/dev/ttyUSB0"));
    SilentTerminal terminal;
    ASSERT_FALSE(terminal.path().isEmpty());
    window.show();
    auto* table = find<QTableWidget>("DeviceTable");
    QHeaderView* header = table->horizontalHeader();
    for (int column = 2; column <= 5; ++column)
        EXPECT_FALSE(table->isColumnHidden(column)) << column;
    for (const int width : {900, 520}) {
        window.resize(width, 480);
        ASSERT_TRUE(waitUntil([&] { return window.width() == width; }));
        const int state = 7;
        EXPECT_LE(header->sectionViewportPosition(state) + header->sectionSize(state),
                  table->viewport()->width())
            << width;
        EXPECT_GE(header->sectionSize(state),
                  static_cast<QAbstractItemView*>(table)->sizeHintForColumn(state))
            << width;
        EXPECT_EQ(table->item(0, 1)->toolTip(), byId);
    }

    // Only a pseudo-terminal: no USB id, maker, serial number or driver.
    ASSERT_TRUE(QFile::remove(root.filePath(QStringLiteral("sys/class/tty/ttyUSB0"))));
    addByPath(terminal.path());
    ASSERT_EQ(table->rowCount(), 1);
    for (int column = 2; column <= 5; ++column)
        EXPECT_TRUE(table->isColumnHidden(column)) << column;
    EXPECT_FALSE(table->isColumnHidden(0));
    EXPECT_FALSE(table->isColumnHidden(1));
    EXPECT_FALSE(table->isColumnHidden(7));
}

TEST(BoardProbe, FindsTheInputReplyInWhatCameBack)
{
    EXPECT_TRUE(board::BoardProbe::HoldsInputReply("I0\r\n09\r\n#"));
    // The prompt of a board just powered up comes first.
    EXPECT_TRUE(board::BoardProbe::HoldsInputReply("\r\n#I0\r\n3F\r\n#"));
    EXPECT_FALSE(board::BoardProbe::HoldsInputReply("I0\r\n09\r\n"));
    EXPECT_FALSE(board::BoardProbe::HoldsInputReply("I0\r\n0g\r\n#"));
    EXPECT_FALSE(board::BoardProbe::HoldsInputReply("I0\r"));
    EXPECT_FALSE(board::BoardProbe::HoldsInputReply({}));
}

TEST(DeviceTexts, StatesLinksAndTheFirstFreeNumber)
{
    SerialDeviceInfo device;
    EXPECT_EQ(board::AccessText(device), QStringLiteral("Can be opened"));
    // The advice names who may open the node.
    device.access = DeviceAccess::NoPermission;
    EXPECT_EQ(board::AccessText(device),
              QStringLiteral("No permission: only root may open it; a udev rule can give it a "
                             "group"));
    device.accessOwner = QStringLiteral("pi");
    EXPECT_EQ(board::AccessText(device),
              QStringLiteral("No permission: only pi and root may open it; a udev rule can give "
                             "it a group"));
    device.accessGroup = QStringLiteral("uucp");
    EXPECT_EQ(board::AccessText(device),
              QStringLiteral("No permission: add yourself to the group uucp, then log out and in"));
    device.access = DeviceAccess::InUse;
    EXPECT_EQ(board::AccessText(device), QStringLiteral("In use by another program"));
    device.holder = QStringLiteral("minicom");
    EXPECT_EQ(board::AccessText(device), QStringLiteral("In use by minicom"));
    device.access = DeviceAccess::Gone;
    EXPECT_EQ(board::AccessText(device), QStringLiteral("Gone"));

    EXPECT_EQ(board::LinkText({3, QStringLiteral("/dev/ttyUSB9"), {}}),
              QStringLiteral("COM 3 -> /dev/ttyUSB9 (leads nowhere)"));
    EXPECT_EQ(board::LinkText(
                  {1, QStringLiteral("/dev/serial/by-id/usb-x"), QStringLiteral("/dev/ttyUSB0")}),
              QStringLiteral("COM 1 -> /dev/serial/by-id/usb-x (/dev/ttyUSB0)"));
    EXPECT_EQ(board::ComText({4, 7}), QStringLiteral("COM 4, COM 7"));

    EXPECT_EQ(board::FirstFreeCom({}), 1);
    EXPECT_EQ(board::FirstFreeCom({{1, {}, {}}, {2, {}, {}}, {4, {}, {}}}), 3);
    QList<PortLink> all;
    for (int com = 1; com <= 9; ++com)
        all.append({com, {}, {}});
    EXPECT_EQ(board::FirstFreeCom(all), 1);
}

} // namespace
