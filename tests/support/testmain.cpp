// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of main that both test mains share. Each main calls into this
// file, so every test program links it, and with it the clone below.
#include "support/testmain.h"

#include <gtest/gtest.h>

#if defined(__SANITIZE_THREAD__)
#include <cstdarg>

#include <dlfcn.h>
#include <sched.h>

// QProcess starts its children (the board simulator, qmxv217d, mosquitto,
// openssl) with clone(CLONE_VM | CLONE_VFORK). ThreadSanitizer's clone
// interceptor (GCC 12) treats that as a fork: the child, which shares the
// parent's memory, undoes the interceptor's counters and the parent undoes
// them again, so the starting thread is left with its interceptors off (its
// mutexes are no longer seen) and its own reports dropped, and after a
// start while a second thread lives the process counts as forked from
// several threads. The vfork child only sets up its descriptors and execs,
// as in posix_spawn, which the sanitizer does not watch either: such a
// clone goes to the C library directly, any other to the sanitizer.
extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...)
{
    va_list rest;
    va_start(rest, arg);
    auto* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    auto* childTid = va_arg(rest, pid_t*);
    va_end(rest);
    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    constexpr int kVfork = CLONE_VM | CLONE_VFORK;
    static const auto system =
        reinterpret_cast<Clone>(::dlsym(::dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD), "clone"));
    static const auto sanitizer = reinterpret_cast<Clone>(::dlsym(RTLD_NEXT, "clone"));
    return ((flags & kVfork) == kVfork ? system : sanitizer)(fn, stack, flags, arg, parentTid, tls,
                                                             childTid);
}
#endif

PrivateFolders::PrivateFolders()
{
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    qputenv("XDG_STATE_HOME", m_state.path().toUtf8());
}

int RunAllTests(int& argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
