// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/signaltrace.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 kStart = 1'404'381'600'000; // 3 July 2014 10:00 UTC

} // namespace

// Two hours of the 200 ms cycle: the ring keeps exactly the reads of the
// last hour, oldest first, each with the levels of all 22 signals.
TEST(SignalTrace, KeepsExactlyTheLastHour)
{
    SignalTrace trace;
    qint64 now = kStart;
    for (int read = 0; read < 2 * 18'000; ++read) {
        now = kStart + read * qint64{200};
        if (read % 2 == 0)
            trace.addRelays(now, read & 0xFFFF);
        else
            trace.addInputs(now, (read / 2) & 0x3F);
    }
    EXPECT_EQ(trace.at(trace.size() - 1).ms, now);
    EXPECT_EQ(trace.at(0).ms, now - SignalTrace::kKeepMs);
    EXPECT_EQ(trace.size(), SignalTrace::kKeepMs / 200 + 1);
    for (qsizetype i = 1; i < trace.size(); ++i)
        ASSERT_EQ(trace.at(i).ms - trace.at(i - 1).ms, 200);

    // The levels at a moment are those of the last read up to it; the
    // other group keeps what it last read.
    const auto at = trace.levelsAt(now - 100);
    ASSERT_TRUE(at.has_value());
    EXPECT_EQ(at->ms, now - 200);
    EXPECT_EQ(at->kind, SignalTrace::Kind::Relays);
    EXPECT_EQ(at->relays, (2 * 18'000 - 2) & 0xFFFF);
    EXPECT_EQ(at->inputs, ((2 * 18'000 - 3) / 2) & 0x3F);
    EXPECT_FALSE(trace.levelsAt(now - SignalTrace::kKeepMs - 1).has_value());
}

TEST(SignalTrace, BoundedInEntriesFaultsKeptInOrder)
{
    SignalTrace trace;
    // A feed far faster than the cycle: the ring never holds more than its
    // capacity and drops the oldest.
    for (qint64 i = 0; i < SignalTrace::kCapacity + 10; ++i)
        trace.addInputs(kStart + i, 1);
    EXPECT_EQ(trace.size(), SignalTrace::kCapacity);
    EXPECT_EQ(trace.at(0).ms, kStart + 10);

    trace.clear();
    trace.addRelays(kStart, 0x8001);
    trace.addFault(kStart + 300, SignalTrace::Kind::Watchdog);
    // A clock stepped back is kept in order, at the last time seen.
    trace.addFault(kStart - 5000, SignalTrace::Kind::InvalidData);
    const QList<SignalTrace::Entry> faults = trace.faults(kStart, kStart + 1000);
    ASSERT_EQ(faults.size(), 2);
    EXPECT_EQ(faults.at(0).kind, SignalTrace::Kind::Watchdog);
    EXPECT_EQ(faults.at(1).ms, kStart + 300);
    EXPECT_EQ(faults.at(1).relays, 0x8001);
    EXPECT_TRUE(trace.faults(kStart + 301, kStart + 1000).isEmpty());
}
