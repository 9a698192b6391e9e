// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/posixio.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 % 251);
    return bytes;
}

// Reads what fd holds now, without waiting for more.
QByteArray drain(int fd)
{
    QByteArray got;
    char chunk[4096];
    ssize_t n = 0;
    while ((n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT)) > 0)
        got.append(chunk, n);
    return got;
}

std::atomic<int> g_signals{0};
void countSignal(int)
{
    ++g_signals;
}

// The thread waits inside write(): the kernel shows the call it sleeps in.
bool waitsInWrite(pid_t thread)
{
    QFile call(QStringLiteral("/proc/self/task/%1/syscall").arg(thread));
    return call.open(QIODevice::ReadOnly) &&
           call.readAll().startsWith(QByteArray::number(SYS_write) + ' ');
}

// Spins until the condition holds, at most 10 s; true when it does.
template <typename Condition> bool spinUntil(Condition condition)
{
    QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace

// A socket with no room left takes part of a write, then refuses the rest:
// the outcome says how much went and why the rest did not, and what went is
// the front of the buffer.
TEST(PosixIo, AWriteCutShortTellsHowMuchWasTakenAndWhy)
{
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair), 0);
    const QByteArray bytes = pattern(4 << 20);
    const WriteOutcome outcome = WriteWhole(pair[0], bytes);
    EXPECT_FALSE(outcome.complete());
    EXPECT_EQ(outcome.error, EAGAIN);
    ASSERT_GT(outcome.written, 0);
    ASSERT_LT(outcome.written, bytes.size());
    EXPECT_EQ(drain(pair[1]), bytes.left(outcome.written));

    // With room again, the rest goes whole.
    const WriteOutcome rest = WriteWhole(pair[0], QByteArrayView(bytes).first(1000));
    EXPECT_TRUE(rest.complete());
    EXPECT_EQ(rest.written, 1000);
    ::close(pair[0]);
    ::close(pair[1]);
}

// A writer blocked on a full socket is interrupted twice: first after its
// write took what there was room for (the write returns short), then in the
// next write, which takes nothing (it fails with EINTR). Every byte arrives
// once, in order.
TEST(PosixIo, SignalsDuringABlockedWriteNeitherLoseNorRepeatBytes)
{
    struct sigaction action
    {
    };
    action.sa_handler = countSignal; // no SA_RESTART: the write is cut
    struct sigaction before
    {
    };
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &before), 0);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const int room = 16384;
    ASSERT_EQ(::setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &room, sizeof room), 0);
    const QByteArray bytes = pattern(1 << 20);

    std::atomic<pid_t> writerId{0};
    WriteOutcome outcome;
    std::thread writer([&] {
        writerId = ::gettid();
        outcome = WriteWhole(pair[0], bytes);
    });
    for (int cut = 1; cut <= 2; ++cut) {
        ASSERT_TRUE(spinUntil([&] { return writerId != 0 && waitsInWrite(writerId); }));
        ::pthread_kill(writer.native_handle(), SIGUSR1);
        ASSERT_TRUE(spinUntil([&] { return g_signals == cut; }));
    }

    QByteArray got;
    ASSERT_TRUE(spinUntil([&] {
        got += drain(pair[1]);
        return got.size() >= bytes.size();
    }));
    writer.join();
    EXPECT_TRUE(outcome.complete());
    EXPECT_EQ(outcome.written, bytes.size());
    EXPECT_TRUE(got == bytes);
    ::close(pair[0]);
    ::close(pair[1]);
    ::sigaction(SIGUSR1, &before, nullptr);
}

// From an offset, with the descriptor's own position left alone.
TEST(PosixIo, WriteWholeAtWritesFromTheOffsetAndLeavesThePosition)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    const int fd = file.handle();
    ASSERT_TRUE(WriteWhole(fd, "0123456789").complete());
    const WriteOutcome outcome = WriteWholeAt(fd, "ab", 3);
    EXPECT_TRUE(outcome.complete());
    EXPECT_EQ(outcome.written, 2);
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 10);
    char content[10];
    ASSERT_EQ(::pread(fd, content, sizeof content, 0), 10);
    EXPECT_EQ(QByteArray(content, 10), QByteArray("012ab56789"));
}
