// SPDX-License-Identifier: GPL-3.0-or-later
// The serial device on Linux: a terminal device opened exclusively in raw
// mode, poll() on it and on an eventfd that wakes the event thread.
#include "serial/serialdevice.h"

#include "common/posixio.h"
#include "serial/baudrate.h"
#include "serial/nodeaccess.h"
#include "serial/serialdevices.h"

#include <QDeadlineTimer>
#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A pseudo-terminal, and some adapters, have no modem lines or counters: they
// answer the ioctls with one of these.
bool isUnsupported(int code)
{
    return code == ENOTTY || code == EINVAL;
}

} // namespace

struct SerialDevice::Impl
{
    std::atomic<int> fd{-1};
    int wakeFd = -1;
    // Written by open(), read by the event thread's snapshots.
    std::atomic<bool> hasModemLines{false};
    std::atomic<bool> hasCounters{false};
};

SerialDevice::SerialDevice() : m_impl(std::make_unique<Impl>())
{
    m_impl->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

SerialDevice::~SerialDevice()
{
    if (isOpen())
        (void)close();
    if (m_impl->wakeFd >= 0)
        ::close(m_impl->wakeFd);
}

DeviceError SerialDevice::errorFor(int code)
{
    DeviceError error{code, QString::fromLocal8Bit(std::strerror(code))};
    if (code == EACCES || code == EPERM)
        error.text +=
            QStringLiteral(". Serial ports belong to the group 'dialout': add yourself with "
                           "'sudo adduser $USER dialout', then log out and in again");
    return error;
}

DeviceError SerialDevice::permissionError(const QString& path)
{
    struct stat node
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &node) != 0)
        return errorFor(EACCES);
    const NodeOpeners openers = Openers(node);
    DeviceError error{EACCES, QString::fromLocal8Bit(std::strerror(EACCES))};
    if (!openers.group.isEmpty())
        error.text += QStringLiteral(". The device belongs to the group '%1': add yourself with "
                                     "'sudo adduser $USER %1', then log out and in again")
                          .arg(openers.group);
    else if (!openers.owner.isEmpty())
        error.text +=
            QStringLiteral(". Only %1 and root may open it; a udev rule can give it a group")
                .arg(openers.owner);
    else
        error.text += QStringLiteral(". Only root may open it; a udev rule can give it a group");
    return error;
}

DeviceError SerialDevice::hangUpError()
{
    DeviceError error = errorFor(EIO);
    error.text += QStringLiteral(": the device hung up or was unplugged");
    return error;
}

DeviceError SerialDevice::open(const QString& path)
{
    if (isOpen())
        return errorFor(EBUSY);
    if (path.isEmpty())
        return errorFor(ENOENT);
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        return code == EACCES ? permissionError(path) : errorFor(code);
    }
    const auto fail = [fd](int code) {
        ::close(fd);
        return errorFor(code);
    };
    // TIOCEXCL keeps other users out, but root passes it: the advisory lock
    // is what every copy of this program respects.
    if (flock(fd, LOCK_EX | LOCK_NB) < 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    // A program that holds the device open without the lock (a terminal
    // program, a shell's redirection) is using it all the same: a serial
    // port is one program's at a time.
    if (OtherHolder(path))
        return fail(EBUSY);
    termios tio{};
    if (tcgetattr(fd, &tio) < 0)
        return fail(errno);
    if (ioctl(fd, TIOCEXCL) < 0)
        return fail(errno);
    // Raw from the first moment, so nothing is echoed or translated before
    // the settings are applied.
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) < 0)
        return fail(errno);

    int bits = 0;
    m_impl->hasModemLines = ioctl(fd, TIOCMGET, &bits) == 0;
    serial_icounter_struct counters{};
    m_impl->hasCounters = ioctl(fd, TIOCGICOUNT, &counters) == 0;
    // A wake-up left over from the last close must not end the first wait.
    eventfd_t stale = 0;
    (void)eventfd_read(m_impl->wakeFd, &stale);
    m_impl->fd = fd;
    return {};
}

DeviceError SerialDevice::close()
{
    const int fd = m_impl->fd.exchange(-1);
    if (fd < 0)
        return {};
    // The exclusive flag outlives this descriptor when another one stays
    // open (the board simulator keeps its side open): clear it.
    (void)ioctl(fd, TIOCNXCL);
    if (::close(fd) < 0)
        return errorFor(errno);
    return {};
}

bool SerialDevice::isOpen() const
{
    return m_impl->fd >= 0;
}

DeviceError SerialDevice::setQueueSizes(quint16 /*rx*/, quint16 /*tx*/)
{
    // The kernel sizes its own tty buffers; there is nothing to ask for.
    return {};
}

DeviceError SerialDevice::applyLineSettings(const LineSettings& settings)
{
    const int fd = m_impl->fd;
    termios tio{};
    if (tcgetattr(fd, &tio) < 0)
        return errorFor(errno);
    // Raw mode always: a cooked port turns the board's CR into LF and echoes
    // bytes back.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &=
        ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CLOCAL | CREAD | (settings.byteSize == 7 ? CS7 : CS8);
    switch (settings.parity) {
    case 1:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        tio.c_cflag |= PARENB;
        break;
    case 3:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (settings.flags & LineSettings::kParityCheck)
        tio.c_iflag |= INPCK;
    if (settings.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    if (settings.flags & (LineSettings::kOutxCtsFlow | LineSettings::kRtsHandshake))
        tio.c_cflag |= CRTSCTS;
    if (settings.flags & (LineSettings::kOutX | LineSettings::kInX)) {
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = static_cast<cc_t>(settings.xonChar);
        tio.c_cc[VSTOP] = static_cast<cc_t>(settings.xoffChar);
    }
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) < 0)
        return errorFor(errno);

    // The rate goes last: a tcsetattr() after it could reset a custom rate.
    int actual = 0;
    if (const int code = SetTerminalBaudRate(fd, static_cast<int>(settings.baudRate), actual))
        return errorFor(code);
    if (actual != static_cast<int>(settings.baudRate)) {
        DeviceError error = errorFor(EINVAL);
        error.text = QStringLiteral("The port does not support %1 baud (it runs at %2 baud)")
                         .arg(settings.baudRate)
                         .arg(actual);
        return error;
    }
    if (settings.flags & (LineSettings::kOutxDsrFlow | LineSettings::kDtrHandshake)) {
        DeviceError error = errorFor(ENOTSUP);
        error.text = QStringLiteral("DTR/DSR flow control is not supported on Linux; "
                                    "the port runs without it");
        return error;
    }
    return {};
}

DeviceError SerialDevice::setModemLine(ModemLine line, bool on)
{
    int bits = line == ModemLine::RTS ? TIOCM_RTS : TIOCM_DTR;
    if (ioctl(m_impl->fd, on ? TIOCMBIS : TIOCMBIC, &bits) < 0 && !isUnsupported(errno))
        return errorFor(errno);
    return {};
}

DeviceError SerialDevice::purge()
{
    if (tcflush(m_impl->fd, TCIOFLUSH) < 0)
        return errorFor(errno);
    return {};
}

DeviceError SerialDevice::queueCounts(int& rx, int& tx) const
{
    const int fd = m_impl->fd;
    rx = 0;
    tx = 0;
    if (ioctl(fd, FIONREAD, &rx) < 0)
        return errorFor(errno);
    if (ioctl(fd, TIOCOUTQ, &tx) < 0 && !isUnsupported(errno))
        return errorFor(errno);
    return {};
}

DeviceError SerialDevice::write(const char* data, qsizetype n, std::chrono::milliseconds limit)
{
    const int fd = m_impl->fd;
    if (fd < 0)
        return errorFor(EBADF);
    QDeadlineTimer deadline(limit);
    while (n > 0) {
        const ssize_t written = WriteRetryingSignals(fd, data, n);
        if (written > 0) {
            data += written;
            n -= written;
            continue;
        }
        if (written < 0 && errno != EAGAIN)
            return errorFor(errno);
        // The driver's queue is full (flow control holds it): wait for room.
        pollfd p{fd, POLLOUT, 0};
        const int remaining = static_cast<int>(deadline.remainingTime());
        if (remaining <= 0)
            return errorFor(ETIMEDOUT);
        const int ready = poll(&p, 1, remaining);
        if (ready < 0 && errno != EINTR)
            return errorFor(errno);
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            return hangUpError();
    }
    return {};
}

int SerialDevice::read(char& c, DeviceError& error)
{
    const int fd = m_impl->fd;
    if (fd < 0)
        return 0;
    for (;;) {
        char byte = 0;
        const ssize_t got = ::read(fd, &byte, 1);
        if (got == 1) {
            c = byte;
            return 1;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EAGAIN)
            return 0;
        // With VMIN=1 a read of 0 bytes means the device has gone.
        error = got == 0 ? hangUpError() : errorFor(errno);
        return 0;
    }
}

WaitOutcome SerialDevice::waitEvents(std::chrono::milliseconds timeout, bool watchInput,
                                     bool watchDevice)
{
    WaitOutcome outcome;
    pollfd fds[2] = {{m_impl->wakeFd, POLLIN, 0}, {m_impl->fd, 0, 0}};
    // With no events asked for, poll() still reports a hang-up on the device.
    if (watchInput)
        fds[1].events = POLLIN;
    const nfds_t count = watchDevice && m_impl->fd >= 0 ? 2 : 1;
    const int ready =
        poll(fds, count, timeout.count() < 0 ? -1 : static_cast<int>(timeout.count()));
    if (ready < 0) {
        if (errno != EINTR)
            outcome.error = errorFor(errno);
        return outcome;
    }
    if (fds[0].revents & POLLIN) {
        eventfd_t value = 0;
        (void)eventfd_read(m_impl->wakeFd, &value);
        outcome.woken = true;
    }
    if (count == 2) {
        outcome.readable = (fds[1].revents & POLLIN) != 0;
        outcome.hangUp = (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
    return outcome;
}

DeviceError SerialDevice::wake()
{
    if (eventfd_write(m_impl->wakeFd, 1) < 0)
        return errorFor(errno);
    return {};
}

DeviceSnapshot SerialDevice::snapshot() const
{
    DeviceSnapshot shot;
    const int fd = m_impl->fd;
    if (fd < 0)
        return shot;
    (void)queueCounts(shot.rxQueue, shot.txQueue);
    int bits = 0;
    if (m_impl->hasModemLines && ioctl(fd, TIOCMGET, &bits) == 0) {
        shot.hasModemLines = true;
        shot.cts = (bits & TIOCM_CTS) != 0;
        shot.dsr = (bits & TIOCM_DSR) != 0;
        shot.rlsd = (bits & TIOCM_CD) != 0;
        shot.ring = (bits & TIOCM_RI) != 0;
    }
    serial_icounter_struct counters{};
    if (m_impl->hasCounters && ioctl(fd, TIOCGICOUNT, &counters) == 0) {
        shot.hasCounters = true;
        shot.breaks = counters.brk;
        shot.rings = counters.rng;
    }
    return shot;
}
