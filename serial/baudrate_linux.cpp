// SPDX-License-Identifier: GPL-3.0-or-later
// termios2 with BOTHER sets any rate, not only the Bxxx table.
#include "serial/baudrate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

int SetTerminalBaudRate(int fd, int baud, int& actual)
{
    struct termios2 tio
    {
    };
    if (ioctl(fd, TCGETS2, &tio) < 0)
        return errno;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baud);
    tio.c_ospeed = static_cast<speed_t>(baud);
    if (ioctl(fd, TCSETS2, &tio) < 0)
        return errno;
    return GetTerminalBaudRate(fd, actual);
}

int GetTerminalBaudRate(int fd, int& rate)
{
    struct termios2 tio
    {
    };
    if (ioctl(fd, TCGETS2, &tio) < 0)
        return errno;
    rate = static_cast<int>(tio.c_ospeed);
    return 0;
}
