// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/posixio.h"

#include <cerrno>
#include <unistd.h>

namespace {

// A system call made again while a signal interrupts it.
template <typename Call> ssize_t retryingSignals(Call call)
{
    ssize_t n = 0;
    do {
        n = call();
    } while (n < 0 && errno == EINTR);
    return n;
}

// The loop both whole writes share: writeSome(data, size, done) writes some
// of the rest, done bytes in, retrying signals itself.
template <typename WriteSome> WriteOutcome writeAll(QByteArrayView bytes, WriteSome writeSome)
{
    WriteOutcome outcome;
    while (outcome.written < bytes.size()) {
        const ssize_t n = writeSome(bytes.data() + outcome.written, bytes.size() - outcome.written,
                                    outcome.written);
        if (n <= 0) {
            outcome.error = n < 0 ? errno : ENOSPC;
            return outcome;
        }
        outcome.written += n;
    }
    return outcome;
}

} // namespace

ssize_t WriteRetryingSignals(int fd, const char* data, qsizetype size)
{
    return retryingSignals([&] { return ::write(fd, data, static_cast<size_t>(size)); });
}

WriteOutcome WriteWhole(int fd, QByteArrayView bytes)
{
    return writeAll(bytes, [fd](const char* data, qsizetype size, qsizetype) {
        return WriteRetryingSignals(fd, data, size);
    });
}

WriteOutcome WriteWholeAt(int fd, QByteArrayView bytes, off_t offset)
{
    return writeAll(bytes, [fd, offset](const char* data, qsizetype size, qsizetype done) {
        return retryingSignals([&] {
            return ::pwrite(fd, data, static_cast<size_t>(size), offset + static_cast<off_t>(done));
        });
    });
}
