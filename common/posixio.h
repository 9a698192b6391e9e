// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

#include <sys/types.h>

// Writes on a POSIX descriptor that go on after a signal and after a write
// the kernel cut short, until every byte is taken or a write fails.

// What became of a whole write.
struct WriteOutcome
{
    // The bytes taken: all of them, or those before the failed write.
    qsizetype written = 0;
    // 0 when every byte was taken; else the errno of the failed write, or
    // ENOSPC for a write that took nothing. errno is left as the failed
    // write left it.
    int error = 0;

    [[nodiscard]] bool complete() const { return error == 0; }
};

// One write() of up to size bytes, made again while a signal interrupts it
// before it takes anything: what write() returned, with its errno.
[[nodiscard]] ssize_t WriteRetryingSignals(int fd, const char* data, qsizetype size);
// All of bytes at the descriptor's position.
[[nodiscard]] WriteOutcome WriteWhole(int fd, QByteArrayView bytes);
// All of bytes from offset on, with pwrite(): the descriptor's position
// stays where it was.
[[nodiscard]] WriteOutcome WriteWholeAt(int fd, QByteArrayView bytes, off_t offset);
