// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/conversions.h"
#include "common/savefile.h"
#include "common/textlines.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Past the file-size limit (ulimit -f) a save must fail as any other does:
// by default the kernel's signal for it ends the program, unsaved edits and
// log with it, before the failure can be reported. The program's start makes
// it fail as a write; the save runs in a child process, so the limit never
// reaches the tests.
TEST(FileSizeLimit, ASavePastItFailsAndTheProgramGoesOn)
{
    std::signal(SIGXFSZ, SIG_DFL);
    IgnoreFileSizeSignal();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    const pid_t child = ::fork();
    if (child == 0) {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 16;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            WriteTextLines(path, QStringList(100, QStringLiteral("a line past the limit")));
        } catch (const V217Error&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not fail";
}

} // namespace
