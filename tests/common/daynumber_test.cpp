// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/daynumber.h"
#include "common/regional.h"
#include "support/timezone.h"

#include <gtest/gtest.h>

TEST(DayNumber, GeneralFormOfDayNumbers)
{
    EXPECT_EQ(FormatGeneral(*EncodeDayNumber(2014, 7, 3, 17, 30, 0), u'.'),
              QStringLiteral("41823.7291666667"));
    EXPECT_EQ(FormatGeneral(*EncodeDayNumber(2014, 7, 3, 18, 0, 0), u'.'),
              QStringLiteral("41823.75"));
    EXPECT_EQ(FormatGeneral(*EncodeDayNumber(2002, 1, 1, 0, 0, 0), u'.'), QStringLiteral("37257"));
    EXPECT_EQ(FormatGeneral(*EncodeDayNumber(2002, 1, 1, 8, 0, 0), u'.'),
              QStringLiteral("37257.3333333333"));
    EXPECT_EQ(FormatGeneral(0, u'.'), QStringLiteral("0"));
    EXPECT_EQ(FormatGeneral(-1.5, u'.'), QStringLiteral("-1.5"));
    EXPECT_EQ(FormatGeneral(1.2 - 0.2, u'.'), QStringLiteral("1"));
}

TEST(DayNumber, GeneralFormUsesTheRegionalSeparator)
{
    EXPECT_EQ(FormatGeneral(41823.75, u','), QStringLiteral("41823,75"));
    EXPECT_EQ(FormatGeneral(37257, u','), QStringLiteral("37257"));
}

TEST(DayNumber, CalendarValuesThatAreNoDate)
{
    EXPECT_FALSE(EncodeDayNumber(2014, 0, 1, 0, 0, 0));
    EXPECT_FALSE(EncodeDayNumber(2100, 2, 29, 0, 0, 0));
    EXPECT_TRUE(EncodeDayNumber(2004, 2, 29, 0, 0, 0));
    EXPECT_FALSE(EncodeDayNumber(2014, 1, 1, 24, 0, 0));
    EXPECT_EQ(*EncodeDayNumber(1899, 12, 30, 12, 0, 0), 0.5);
}

TEST(DayNumber, FieldPatternRoundsToTheMillisecond)
{
    // 10:00:01 is stored a little below the exact second.
    const double stored = FormatGeneral(*EncodeDayNumber(2014, 7, 3, 10, 0, 1), u'.').toDouble();
    EXPECT_EQ(FormatFieldPattern(stored), QStringLiteral("03072014100001"));
    EXPECT_EQ(FormatFieldPattern(41823.7291666667), QStringLiteral("03072014173000"));
    EXPECT_EQ(FormatFieldPattern(1e12), QString());
}

TEST(DayNumber, WeekdaysAndTimeOfDay)
{
    EXPECT_EQ(DayOfWeek(*EncodeDayNumber(2014, 7, 3, 17, 30, 0)), 5);  // Thursday
    EXPECT_EQ(DayOfWeek(*EncodeDayNumber(2014, 7, 6, 0, 0, 0)), 1);    // Sunday
    EXPECT_EQ(DayOfWeek(*EncodeDayNumber(2014, 7, 5, 23, 59, 59)), 7); // Saturday
    EXPECT_EQ(DayOfWeek(-1.0), 6);                                     // Friday
    EXPECT_EQ(DayOfWeek(0.5), 7);                                      // Saturday
    // Day numbers far beyond any clock (a project file can hold them).
    for (const double far : {1e270, -1e270, 1e18})
        EXPECT_GE(DayOfWeek(far), 1);
    EXPECT_DOUBLE_EQ(TimeOfDay(41823.75), 0.75);
    const QDateTime back = DayNumberToDateTime(41823.7291666667);
    EXPECT_EQ(back, QDateTime(QDate(2014, 7, 3), QTime(17, 30), QTimeZone::utc()));
    EXPECT_DOUBLE_EQ(DateTimeToDayNumber(back), *EncodeDayNumber(2014, 7, 3, 17, 30, 0));
}

TEST(DayNumber, MonthLengths)
{
    EXPECT_TRUE(CheckMonthDays(29, 2, 2004));
    EXPECT_FALSE(CheckMonthDays(29, 2, 2003));
    EXPECT_TRUE(CheckMonthDays(29, 2, 2100));
    EXPECT_FALSE(CheckMonthDays(31, 4, 2014));
    EXPECT_TRUE(CheckMonthDays(31, 12, 2014));
    EXPECT_TRUE(CheckMonthDays(31, 0, 2014));
    EXPECT_TRUE(CheckMonthDays(31, 13, 2014));
}

TEST(DayNumber, DateTimeTextLeavesOutMidnight)
{
    EXPECT_EQ(DateTimeText(*EncodeDayNumber(2014, 7, 3, 17, 30, 5), Regional::fixed()),
              QStringLiteral("03/07/2014 17:30:05"));
    EXPECT_EQ(DateTimeText(*EncodeDayNumber(2014, 7, 3, 0, 0, 0), Regional::fixed()),
              QStringLiteral("03/07/2014"));
}

TEST(DayNumber, WallTimesThatTheLocalZoneSkipsAreShownAsTheyAre)
{
    for (const SkippedWallTime& skipped : skippedWallTimes()) {
        SCOPED_TRACE(skipped.zone.toStdString());
        const ScopedTimeZone zone(skipped.zone);
        ASSERT_TRUE(isSkipped(skipped));
        const QDate& d = skipped.date;
        const QTime& t = skipped.time;
        const double day = *EncodeDayNumber(d.year(), d.month(), d.day(), t.hour(), t.minute(), 0);
        const QString date = d.toString(QStringLiteral("dd/MM/yyyy"));
        const QString time = t.toString(QStringLiteral("HH:mm:ss"));
        EXPECT_EQ(FormatFieldPattern(day),
                  d.toString(QStringLiteral("ddMMyyyy")) + t.toString(QStringLiteral("HHmmss")));
        EXPECT_EQ(DateTimeText(day, Regional::fixed()), date + QLatin1Char(' ') + time);
        const QDateTime back = DayNumberToDateTime(day);
        EXPECT_EQ(back.date(), d);
        EXPECT_EQ(back.time(), t);
        EXPECT_DOUBLE_EQ(DateTimeToDayNumber(back), day);
    }
}
