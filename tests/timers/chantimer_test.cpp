// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/conversions.h"
#include "timers/chantimer.h"
#include "timertest.h"

#include <gtest/gtest.h>

using namespace chantimer;

namespace {

QStringList numbered(int records)
{
    QStringList list;
    for (int k = 0; k < records; ++k) {
        for (int line = 0; line < kRecordLines; ++line)
            list.append(QStringLiteral("%1.%2").arg(k).arg(line));
    }
    return list;
}

} // namespace

TEST(TimerRecordList, TheEditorWritesTheExampleRecordsLineForLine)
{
    EXPECT_EQ(MakeRecord("05", *EncodeDayNumber(2014, 7, 3, 17, 30, 0),
                         *EncodeDayNumber(2014, 7, 3, 18, 0, 0), "0", "0", "0000000", u'.'),
              kRelay5Record);
    EXPECT_EQ(MakeRecord("12", *EncodeDayNumber(2002, 1, 1, 8, 0, 0),
                         *EncodeDayNumber(2002, 1, 1, 8, 30, 0), "1.2", "1", "0100010", u'.'),
              kRelay12Record);
    // A daily record from midnight has no point in its ON line.
    EXPECT_EQ(MakeRecord("01", 37257, 37257.5, "0", "0", "1000000", u'.').at(OnTime),
              QStringLiteral("37257"));
}

TEST(TimerRecordList, AppendOverwriteDelete)
{
    QStringList list = numbered(3);
    const QStringList record = MakeRecord("07", 37257, 37257.5, "0", "0", "0000001", u'.');

    AppendRecord(list, record);
    ASSERT_EQ(list.size(), 36);
    EXPECT_EQ(list.mid(27), record);

    OverwriteRecord(list, 9, record);
    EXPECT_EQ(list.mid(9, 9), record);
    EXPECT_EQ(list.at(8), QStringLiteral("0.8"));
    EXPECT_EQ(list.at(18), QStringLiteral("2.0"));

    // Deleting record 1 moves the record from line 18 up to line 9.
    DeleteRecord(list, 9);
    ASSERT_EQ(list.size(), 27);
    EXPECT_EQ(list.at(9), QStringLiteral("2.0"));
    EXPECT_EQ(list.mid(18), record);

    DeleteRecord(list, 27); // past the end: nothing
    EXPECT_EQ(list.size(), 27);
}

TEST(TimerRecordList, ShortRecordsFromAFileAreHandledWhole)
{
    // Overwriting a record cut short makes it whole; deleting it removes
    // what is there.
    QStringList list = numbered(1) + QStringList{"05", "1", "2", "0", "0", "0000000"};
    const QStringList record = MakeRecord("07", 37257, 37257.5, "0", "0", "0000001", u'.');
    OverwriteRecord(list, 9, record);
    EXPECT_EQ(list.size(), 18);
    EXPECT_EQ(list.mid(9), record);

    list = numbered(1) + QStringList{"05", "1"};
    DeleteRecord(list, 9);
    EXPECT_EQ(list, numbered(1));
}

TEST(TimerRecordList, DaysLine)
{
    EXPECT_FALSE(IsDaily("0000000"));
    EXPECT_TRUE(IsDaily("0100010"));
    EXPECT_TRUE(IsDaily("1"));
    EXPECT_TRUE(DaySelected("0100010", 2)); // Monday
    EXPECT_TRUE(DaySelected("0100010", 6)); // Friday
    EXPECT_FALSE(DaySelected("0100010", 1));
    EXPECT_TRUE(DaySelected("1", 1));
    EXPECT_FALSE(DaySelected("1", 7));       // beyond a short line
    EXPECT_FALSE(DaySelected("2111111", 1)); // only "1" selects
}

TEST(TimerRecordList, TheEditorReadsRecords)
{
    auto shown = ReadForEditor(kRelay5Record + kRelay12Record, 9);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->channel, QStringLiteral("12"));
    EXPECT_EQ(shown->onPattern, QStringLiteral("01012002080000"));
    EXPECT_EQ(shown->offPattern, QStringLiteral("01012002083000"));
    EXPECT_EQ(shown->togOn, QStringLiteral("1.2"));
    EXPECT_EQ(shown->togOff, QStringLiteral("1"));
    EXPECT_EQ(shown->days, (std::array<bool, 7>{false, true, false, false, false, true, false}));

    shown = ReadForEditor(kRelay5Record, 0);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->onPattern, QStringLiteral("03072014173000"));
    EXPECT_TRUE(shown->togOn.isEmpty());
    EXPECT_TRUE(shown->togOff.isEmpty());
}

TEST(TimerRecordList, ReaderRulesOfTheEditor)
{
    struct Case
    {
        const char* name;
        int line;
        QString text;
        bool damaged;
    };
    const QList<Case> cases{
        {"relay not a number", Channel, "x5", false},
        {"relay 17", Channel, "17", false},
        {"relay 00", Channel, "00", false},
        {"ON not a number", OnTime, "41823,7,5", true},
        {"OFF not a number", OffTime, "", true},
        {"ON beyond the calendar", OnTime, "1e12", true},
        {"short Days", Days, "1", false},
        {"long Days", Days, "01000001", false},
        {"run-time lines are not read", TogCount, "garbage", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList list = kRelay5Record;
        list[c.line] = c.text;
        const auto shown = ReadForEditor(list, 0);
        ASSERT_EQ(!shown, c.damaged);
        if (shown && c.line == Channel) {
            EXPECT_EQ(shown->channel, QStringLiteral("01"));
        }
    }
    QStringList list = kRelay5Record;
    list[Days] = "1";
    EXPECT_EQ(ReadForEditor(list, 0)->days, (std::array<bool, 7>{true}));
    list[Days] = "01000001";
    EXPECT_EQ(ReadForEditor(list, 0)->days, (std::array<bool, 7>{false, true}));

    // Missing lines among 0 to 5 are damage; missing run-time lines are not.
    EXPECT_FALSE(ReadForEditor(kRelay5Record.mid(0, 5), 0));
    EXPECT_TRUE(ReadForEditor(kRelay5Record.mid(0, 6), 0));
    EXPECT_FALSE(ReadForEditor(kRelay5Record, 9));
}

TEST(TimerRecordList, NumbersReadAsTheFullConversionReadsThem)
{
    const QStringList texts{"41823.7291666667",
                            "37257",
                            " 1.2 ",
                            "0.4",
                            "1,2",
                            "-1.5",
                            "+3",
                            ".5",
                            "5.",
                            "1e3",
                            "1E-3",
                            "1.5e+2",
                            "007",
                            "0",
                            "",
                            " ",
                            ".",
                            ",",
                            "-",
                            "+",
                            "+-1",
                            "--1",
                            "1-2",
                            "1..2",
                            "1.2.3",
                            "1,2,3",
                            "1e",
                            "e5",
                            "1e400",
                            "1e-400",
                            "inf",
                            "nan",
                            "0x10",
                            "1 2",
                            "٣",
                            "12345678901234567890123456789012345678901234567890"};
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        bool ok = false;
        const double expected = StrToFloatOk(text, &ok);
        const std::optional<double> parsed = ParseNumber(text);
        ASSERT_EQ(parsed.has_value(), ok);
        if (ok) {
            EXPECT_EQ(*parsed, expected);
        }
    }
}
