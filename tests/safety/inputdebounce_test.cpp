// SPDX-License-Identifier: GPL-3.0-or-later
// An input change counts after K equal reads, each input on its own count.
#include "safety/inputdebounce.h"

#include <gtest/gtest.h>

namespace {

TEST(InputDebounce, AChangeCountsAfterKEqualReadsAndABounceStartsTheCountAgain)
{
    safety::InputDebounce debounce;
    debounce.setCounts({3, 1, 1, 1, 1, 2});
    EXPECT_EQ(debounce.take(0x00), 0x00);
    EXPECT_EQ(debounce.take(0x01), 0x00);
    EXPECT_EQ(debounce.take(0x01), 0x00);
    EXPECT_EQ(debounce.take(0x00), 0x00); // bounced back: the count starts again
    EXPECT_EQ(debounce.take(0x01), 0x00);
    EXPECT_EQ(debounce.take(0x01), 0x00);
    EXPECT_EQ(debounce.take(0x01), 0x01);
    // Input 2 counts at once, input 6 after two reads, both from one word.
    EXPECT_EQ(debounce.take(0x23), 0x03);
    EXPECT_EQ(debounce.take(0x23), 0x23);
    EXPECT_EQ(debounce.take(0x20), 0x21);
    // Bits beyond the six inputs pass as read.
    EXPECT_EQ(debounce.take(0xE0), 0xE1);
}

TEST(InputDebounce, TheFirstReadOfARunIsTakenAsItIs)
{
    safety::InputDebounce debounce;
    debounce.setCounts({5, 5, 5, 5, 5, 5});
    EXPECT_EQ(debounce.take(0x09), 0x09);
    EXPECT_EQ(debounce.take(0x00), 0x09);
    debounce.restart();
    EXPECT_EQ(debounce.take(0x00), 0x00);
}

} // namespace
