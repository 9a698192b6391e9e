// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/daynumber.h"
#include "common/regional.h"
#include "logger/loggerform.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

using F = LoggerForm::Field;

const Regional kRegional = Regional::fixed();

// Fills all thirteen fields: six ON values, six OFF values, the frequency.
void fill(LoggerForm& form, const QStringList& texts)
{
    for (int i = 0; i < LoggerForm::FieldCount; ++i)
        form.fields.at(static_cast<size_t>(i)) = texts.value(i);
}

// 01/07/2014 08:00:00 to 02/07/2014 18:30:00 at 1.0 s.
QStringList goodFields()
{
    return {"01", "07", "2014", "08", "00", "00", "02", "07", "2014", "18", "30", "00", "1.0"};
}

struct CheckCase
{
    const char* name;
    int field;
    QString text;
    QString error;
};

void PrintTo(const CheckCase& row, std::ostream* out)
{
    *out << row.name;
}

class CheckTheLogDataRows : public ::testing::TestWithParam<CheckCase>
{
};

TEST_P(CheckTheLogDataRows, ReportsTheFirstFailingTest)
{
    const CheckCase& row = GetParam();
    LoggerForm form{kRegional};
    QStringList texts = goodFields();
    texts[row.field] = row.text;
    fill(form, texts);

    EXPECT_EQ(form.CheckTheLogData(), row.error);
    EXPECT_EQ(form.LogDataValid, row.error.isEmpty());
    if (!row.error.isEmpty()) {
        EXPECT_EQ(form.LoggerFrequency, 0);
        // The ON value is kept once the ON group has passed.
        EXPECT_EQ(form.LoggerOnTime != 0, row.field >= F::OffDay);
        EXPECT_EQ(form.LoggerOffTime != 0, row.field >= F::Frequency);
    }
}

QString on(const char* text)
{
    return QStringLiteral("Error: ON ") + QLatin1String(text);
}
QString off(const char* text)
{
    return QStringLiteral("Error: OFF ") + QLatin1String(text);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CheckTheLogDataRows,
    ::testing::Values(
        CheckCase{"AllGood", F::Frequency, "1.0", {}},
        CheckCase{"OnDayZero", F::OnDay, "0", on("Day value = 0")},
        CheckCase{"OnDayZeroZero", F::OnDay, "00", on("Day value = 0")},
        CheckCase{"OnMonthZero", F::OnMonth, "0", on("Month value = 0")},
        CheckCase{"OnMonth13", F::OnMonth, "13", on("Month value > 12")},
        CheckCase{"OnYear2001", F::OnYear, "2001", on("Year value out of limits. [2002 - 2100]")},
        CheckCase{"OnYear2101", F::OnYear, "2101", on("Year value out of limits. [2002 - 2100]")},
        CheckCase{"OnYear2002", F::OnYear, "2002", {}},
        CheckCase{"OnYear2100", F::OnYear, "2100", {}},
        CheckCase{"OnDay32", F::OnDay, "32", on("Day value does not match Month/Year")},
        CheckCase{"OnHour24", F::OnHour, "24", on("Hour value > 23")},
        CheckCase{"OnMinute60", F::OnMinute, "60", on("Minute value > 59")},
        CheckCase{"OnSecond60", F::OnSecond, "60", on("Second value > 59")},
        CheckCase{"OnDayPasted", F::OnDay, "a1", on("Day value is not a number")},
        CheckCase{"OnYearSigned", F::OnYear, "-201", on("Year value is not a number")},
        CheckCase{"OffDayZero", F::OffDay, "0", off("Day value = 0")},
        CheckCase{"OffMonthZero", F::OffMonth, "00", off("Month value = 0")},
        CheckCase{"OffMonth13", F::OffMonth, "13", off("Month value > 12")},
        CheckCase{"OffYear2001", F::OffYear, "2001",
                  off("Year value out of limits. [2002 - 2100]")},
        CheckCase{"OffYear2101", F::OffYear, "2101",
                  off("Year value out of limits. [2002 - 2100]")},
        CheckCase{"OffDay31", F::OffDay, "31", {}},
        CheckCase{"OffHour24", F::OffHour, "24", off("Hour value > 23")},
        CheckCase{"OffMinute60", F::OffMinute, "60", off("Minute value > 59")},
        CheckCase{"OffSecond60", F::OffSecond, "99", off("Second value > 59")},
        CheckCase{"OffSecondPasted", F::OffSecond, " 5", off("Second value is not a number")},
        CheckCase{"FrequencyEmpty", F::Frequency, "", "Error: Missing frequency"},
        CheckCase{"FrequencyPoint", F::Frequency, ".", "Error: Missing frequency"},
        CheckCase{"FrequencyZero", F::Frequency, "0", "Error: Frequency = 0"},
        CheckCase{"FrequencyZeroPoint", F::Frequency, "0.0", "Error: Frequency = 0"},
        CheckCase{"FrequencyDoubleZero", F::Frequency, "00", "Error: Frequency = 0"},
        CheckCase{"FrequencyTenth", F::Frequency, "0.1", {}},
        CheckCase{"FrequencyTrailingPoint", F::Frequency, "5.", {}},
        CheckCase{"FrequencyPasted", F::Frequency, "abc", "Error: Frequency value is not a number"},
        CheckCase{"FrequencyTwoPoints", F::Frequency, "1.2.3",
                  "Error: Frequency value is not a number"},
        CheckCase{"FrequencyNegative", F::Frequency, "-1",
                  "Error: Frequency value is not a number"}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

struct DateCase
{
    const char* day;
    const char* month;
    const char* year;
    bool valid;
};

void PrintTo(const DateCase& row, std::ostream* out)
{
    *out << row.day << '/' << row.month << '/' << row.year;
}

class MonthDays : public ::testing::TestWithParam<DateCase>
{
};

// The same date rules hold in both groups.
TEST_P(MonthDays, InBothGroups)
{
    const DateCase& row = GetParam();
    for (const int first : {int(F::OnDay), int(F::OffDay)}) {
        LoggerForm form{kRegional};
        QStringList texts = goodFields();
        texts[first] = QString::fromLatin1(row.day);
        texts[first + 1] = QString::fromLatin1(row.month);
        texts[first + 2] = QString::fromLatin1(row.year);
        fill(form, texts);
        const QString group = first == F::OnDay ? QStringLiteral("ON") : QStringLiteral("OFF");
        EXPECT_EQ(form.CheckTheLogData(),
                  row.valid
                      ? QString()
                      : QStringLiteral("Error: %1 Day value does not match Month/Year").arg(group))
            << row.day << "/" << row.month << "/" << row.year;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, MonthDays,
    ::testing::Values(DateCase{"29", "02", "2004", true}, DateCase{"29", "02", "2003", false},
                      DateCase{"28", "02", "2003", true}, DateCase{"29", "02", "2100", false},
                      DateCase{"28", "02", "2100", true}, DateCase{"31", "04", "2014", false},
                      DateCase{"30", "04", "2014", true}, DateCase{"31", "12", "2014", true},
                      DateCase{"31", "06", "2014", false}, DateCase{"31", "01", "2014", true}),
    [](const ::testing::TestParamInfo<DateCase>& info) {
        const DateCase& row = info.param;
        return std::string("D") + row.day + "M" + row.month + "Y" + row.year;
    });

TEST(CheckTheLogData, StoresTheDateTimesAndTheFrequency)
{
    LoggerForm form{kRegional};
    fill(form, goodFields());
    form.fields[F::Frequency] = QStringLiteral("2.5");
    EXPECT_EQ(form.CheckTheLogData(), QString());
    EXPECT_TRUE(form.LogDataValid);
    EXPECT_EQ(form.LoggerOnTime, *EncodeDayNumber(2014, 7, 1, 8, 0, 0));
    EXPECT_EQ(form.LoggerOffTime, *EncodeDayNumber(2014, 7, 2, 18, 30, 0));
    EXPECT_EQ(form.LoggerFrequency, 2.5);
}

TEST(CheckTheLogData, AnOffTimeBeforeTheOnTimeIsAccepted)
{
    LoggerForm form{kRegional};
    fill(form, {"02", "07", "2014", "08", "00", "00", "01", "07", "2014", "08", "00", "00", "1"});
    EXPECT_EQ(form.CheckTheLogData(), QString());
    EXPECT_GT(form.LoggerOnTime, form.LoggerOffTime);
}

TEST(CheckTheLogData, ElevenOfTwelveTimeFieldsNeedCompleting)
{
    for (int missing = F::OnDay; missing < F::Frequency; ++missing) {
        LoggerForm form{kRegional};
        QStringList texts = goodFields();
        texts[missing].clear();
        fill(form, texts);
        EXPECT_EQ(form.CheckTheLogData(), QStringLiteral("Error: Times need completing"))
            << "field " << missing;
        EXPECT_FALSE(form.LogDataValid);
        EXPECT_EQ(form.LoggerOnTime, 0);
    }
}

TEST(CheckTheLogData, AnEmptyWindowIsNoScheduleAndNoError)
{
    LoggerForm form{kRegional};
    form.LoggerOnTime = 41000;
    form.LoggerOffTime = 41001;
    form.LoggerFrequency = 1;
    form.LogDataValid = true;
    form.fields[F::Frequency] = QStringLiteral("1.0");
    EXPECT_EQ(form.CheckTheLogData(), QString());
    EXPECT_FALSE(form.LogDataValid);
    EXPECT_EQ(form.LoggerOnTime, 0);
    EXPECT_EQ(form.LoggerOffTime, 0);
    EXPECT_EQ(form.LoggerFrequency, 0);
}

TEST(SetLoggerEdits, FillsTheGroupsAndTheFrequency)
{
    LoggerForm form{kRegional};
    form.LoggerOnTime = *EncodeDayNumber(2014, 7, 3, 9, 5, 7);
    form.LoggerFrequency = 5;
    form.LogDataChanged = true;
    form.SetLoggerEdits();
    const QStringList expected{"03", "07", "2014", "09", "05", "07", "", "", "", "", "", "", "5.0"};
    for (int i = 0; i < LoggerForm::FieldCount; ++i)
        EXPECT_EQ(form.fields.at(static_cast<size_t>(i)), expected.at(i)) << "field " << i;
    EXPECT_FALSE(form.LogDataChanged);

    form.LoggerFrequency = 0.44;
    form.SetLoggerEdits();
    EXPECT_EQ(form.fields[F::Frequency], QStringLiteral("0.4"));
    form.LoggerFrequency = 0;
    form.SetLoggerEdits();
    EXPECT_EQ(form.fields[F::Frequency], QString());
}

TEST(SetLoggerEdits, ACheckedWindowComesBackUnchanged)
{
    LoggerForm form{kRegional};
    fill(form, goodFields());
    ASSERT_EQ(form.CheckTheLogData(), QString());
    form.SetLoggerEdits();
    for (int i = 0; i < LoggerForm::FieldCount; ++i)
        EXPECT_EQ(form.fields.at(static_cast<size_t>(i)), goodFields().at(i));
}

TEST(NowButtClick, FillsTheGroupThatLastHadTheFocus)
{
    LoggerForm form{kRegional};
    const QDateTime now(QDate(2026, 12, 8), QTime(15, 4, 9, 500));
    form.NowButtClick(now);
    EXPECT_EQ(form.fields[F::OffDay], QStringLiteral("08"));
    EXPECT_EQ(form.fields[F::OffSecond], QStringLiteral("09"));
    EXPECT_TRUE(form.fields[F::OnDay].isEmpty());
    EXPECT_FALSE(form.LogDataChanged);

    form.OnDayEditEnter();
    form.NowButtClick(now.addSecs(60));
    EXPECT_EQ(form.fields[F::OnYear], QStringLiteral("2026"));
    EXPECT_EQ(form.fields[F::OnMinute], QStringLiteral("05"));
    EXPECT_EQ(form.fields[F::OffMinute], QStringLiteral("04"));
    form.OffDayEditEnter();
    EXPECT_FALSE(form.NowFillsOn);
}

TEST(ClearButtClick, EmptiesTheFieldsAndKeepsTheStoredValues)
{
    LoggerForm form{kRegional};
    fill(form, goodFields());
    ASSERT_EQ(form.CheckTheLogData(), QString());
    const double onTime = form.LoggerOnTime;
    form.ClearButtClick();
    for (const QString& field : form.fields)
        EXPECT_TRUE(field.isEmpty());
    EXPECT_TRUE(form.LogDataChanged);
    EXPECT_EQ(form.LoggerOnTime, onTime);
    EXPECT_TRUE(form.LogDataValid);
}

TEST(KeyFilters, TimeFieldsTakeDigitsBackspaceAndEnter)
{
    LoggerForm form{kRegional};
    for (const QChar key : {QChar('x'), QChar('.'), QChar(' '), QChar('-')})
        EXPECT_FALSE(form.OnDayEditKeyPress(key)) << int(key.unicode());
    EXPECT_FALSE(form.LogDataChanged);
    for (const QChar key : {QChar('0'), QChar('9'), QChar(8), QChar(13)})
        EXPECT_TRUE(form.OnDayEditKeyPress(key)) << int(key.unicode());
    EXPECT_TRUE(form.LogDataChanged);
}

// Types key into the frequency field through the filter, as the window does.
bool type(LoggerForm& form, QChar key)
{
    if (!form.FrequencyEditKeyPress(key))
        return false;
    if (key == QChar(8))
        form.fields[F::Frequency].chop(1);
    else if (key != QChar(13))
        form.fields[F::Frequency] += key;
    return true;
}

TEST(KeyFilters, FrequencyTakesOnePointAndOneDigitAfterIt)
{
    LoggerForm form{kRegional};
    EXPECT_TRUE(type(form, '1'));
    EXPECT_TRUE(type(form, '.'));
    EXPECT_TRUE(type(form, '5'));
    EXPECT_EQ(form.fields[F::Frequency], QStringLiteral("1.5"));
    EXPECT_TRUE(form.LogDataChanged);
    EXPECT_FALSE(type(form, '7'));
    EXPECT_FALSE(type(form, '.'));
    EXPECT_FALSE(type(form, 'e'));
    EXPECT_EQ(form.fields[F::Frequency], QStringLiteral("1.5"));
    EXPECT_TRUE(type(form, QChar(13)));
    EXPECT_TRUE(type(form, QChar(8)));
    EXPECT_TRUE(type(form, '2'));
    EXPECT_EQ(form.fields[F::Frequency], QStringLiteral("1.2"));
}

TEST(KeyFilters, FrequencyIsJudgedOnTheWholeText)
{
    LoggerForm form{kRegional};
    // Whatever the caret position, a digit after "1.5" is refused, and the
    // digits before the point are not limited.
    form.fields[F::Frequency] = QStringLiteral("1.5");
    EXPECT_FALSE(form.FrequencyEditKeyPress('3'));
    form.fields[F::Frequency] = QStringLiteral("12345.");
    EXPECT_TRUE(form.FrequencyEditKeyPress('3'));
    form.fields[F::Frequency] = QStringLiteral("123456789");
    EXPECT_TRUE(form.FrequencyEditKeyPress('0'));
    EXPECT_TRUE(form.FrequencyEditKeyPress('.'));
    form.LogDataChanged = false;
    EXPECT_FALSE(form.FrequencyEditKeyPress(','));
    EXPECT_FALSE(form.LogDataChanged);
}

} // namespace
