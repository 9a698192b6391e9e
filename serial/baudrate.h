// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Sets any baud rate on an open terminal and reads back what the driver kept
// (a UART may accept a rate and keep its old one). Returns 0 or the errno.
// Lives in a file of its own: the kernel's termios2 headers clash with
// <termios.h>.
[[nodiscard]] int SetTerminalBaudRate(int fd, int baud, int& actual);
// Reads the output baud rate of an open terminal. Returns 0 or the errno.
[[nodiscard]] int GetTerminalBaudRate(int fd, int& rate);
