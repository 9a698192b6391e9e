// SPDX-License-Identifier: GPL-3.0-or-later
// Replays the seed corpus and every input that once broke a fuzz target
// through that target's harness, in the normal suite: a harness check that
// fails aborts the test executable, so CTest reports it.
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(FuzzReplay, EveryKeptInputRunsCleanly)
{
    int replayed = 0;
    for (const QString& folder : QStringLiteral(V217_FUZZ_INPUTS).split(u'|')) {
        const QDir dir(folder);
        for (const QFileInfo& entry : dir.entryInfoList(QDir::Files, QDir::Name)) {
            QFile file(entry.filePath());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << entry.filePath().toStdString();
            const QByteArray bytes = file.readAll();
            SCOPED_TRACE(entry.filePath().toStdString());
            EXPECT_EQ(
                LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                       static_cast<std::size_t>(bytes.size())),
                0);
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0) << "no corpus found in " V217_FUZZ_INPUTS;
}
