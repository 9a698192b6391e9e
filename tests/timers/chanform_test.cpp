// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/rig.h"
#include "timers/chanform.h"
#include "timers/chantimer.h"
#include "timertest.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString kDataListError = QStringLiteral("Error in data list");
constexpr int kOn = ChanForm::kOnDayTag;
constexpr int kOff = ChanForm::kOffGroupTag;

QStringList channelRecord(const QString& channel)
{
    return dateRecord(channel, at(2014, 7, 3, 10, 0), at(2014, 7, 3, 11, 0));
}

// Sets a group of six fields from "dd mm yyyy hh mm ss".
void fill(ChanForm& form, int firstTag, const QString& values)
{
    const QStringList parts = values.split(QLatin1Char(' '));
    for (int i = 0; i < 6; ++i)
        form.TimeEdits.at(static_cast<size_t>(firstTag + i)) = parts.at(i);
}

// The fields of a valid record: relay 05, 3 July 2014 17:30 to 18:00.
void fillValid(ChanForm& form)
{
    form.ChannelEdit = "05";
    fill(form, kOn, "03 07 2014 17 30 00");
    fill(form, kOff, "03 07 2014 18 00 00");
}

QString group(const ChanForm& form, int firstTag)
{
    QStringList parts;
    for (int i = 0; i < 6; ++i)
        parts.append(form.TimeEdits.at(static_cast<size_t>(firstTag + i)));
    return parts.join(QLatin1Char(' '));
}

// Types keys into a toggle field through its filter.
QString typeToggle(ChanForm& form, const QString& keys)
{
    QString text;
    for (const QChar key : keys) {
        if (form.TogOffEditKeyPress(text, key))
            text += key;
    }
    return text;
}

class ChanFormTest : public ::testing::Test
{
protected:
    void openWith(const QStringList& list)
    {
        form.EditList = list;
        form.FormActivate();
    }

    Rig rig;
    ChanForm& form = rig.core.chanForm();
};

} // namespace

TEST(ChanFormCheck, RefusesEachFieldInOrder)
{
    using Change = std::function<void(ChanForm&)>;
    struct Case
    {
        const char* name;
        Change change;
        QString message;
    };
    const auto on = [](const char* values) {
        return Change([values](ChanForm& f) { fill(f, kOn, QString::fromLatin1(values)); });
    };
    const auto off = [](const char* values) {
        return Change([values](ChanForm& f) { fill(f, kOff, QString::fromLatin1(values)); });
    };
    const QList<Case> cases{
        {"toggle OFF missing", [](ChanForm& f) { f.TogOnEdit = "1.2"; },
         "Error: Missing Toggle OFF time"},
        {"toggle ON missing", [](ChanForm& f) { f.TogOffEdit = "1"; },
         "Error: Missing Toggle ON time"},
        {"toggle ON zero",
         [](ChanForm& f) {
             f.TogOnEdit = "0";
             f.TogOffEdit = "1";
         },
         "Error: Toggle ON time = 0"},
        {"toggle OFF zero",
         [](ChanForm& f) {
             f.TogOnEdit = "1";
             f.TogOffEdit = "0.0";
         },
         "Error: Toggle OFF time = 0"},
        {"toggles before times",
         [](ChanForm& f) {
             f.TogOnEdit = "1";
             f.TimeEdits.fill({});
         },
         "Error: Missing Toggle OFF time"},
        {"one field empty", [](ChanForm& f) { f.TimeEdits.at(11).clear(); },
         "Error: Times need completing"},
        {"ON day 0", on("00 07 2014 17 30 00"), "Error: ON Day value = 0"},
        {"ON month 13", on("03 13 2014 17 30 00"), "Error: ON Month value > 12"},
        {"ON month 0", on("03 00 2014 17 30 00"), "Error: ON Month value = 0"},
        {"ON year 2001", on("03 07 2001 17 30 00"),
         "Error: ON Year value out of limits. [2002 - 2100]"},
        {"ON year 2101", on("03 07 2101 17 30 00"),
         "Error: ON Year value out of limits. [2002 - 2100]"},
        {"ON 31 April", on("31 04 2014 17 30 00"), "Error: ON Day value does not match Month/Year"},
        {"ON 29 February 2003", on("29 02 2003 17 30 00"),
         "Error: ON Day value does not match Month/Year"},
        {"ON 29 February 2100", on("29 02 2100 17 30 00"),
         "Error: ON Day value does not match Month/Year"},
        {"ON hour 24", on("03 07 2014 24 30 00"), "Error: ON Hour value > 23"},
        {"ON minute 60", on("03 07 2014 17 60 00"), "Error: ON Minute value > 59"},
        {"ON second 60", on("03 07 2014 17 30 60"), "Error: ON Second value > 59"},
        {"OFF day 0", off("00 07 2014 18 00 00"), "Error: OFF Day value = 0"},
        {"OFF month 13", off("03 13 2014 18 00 00"), "Error: OFF Month value > 12"},
        {"OFF month 0", off("03 00 2014 18 00 00"), "Error: OFF Month value = 0"},
        {"OFF year 2001", off("03 07 2001 18 00 00"),
         "Error: OFF Year value out of limits. [2002 - 2100]"},
        {"OFF 29 February 2003", off("29 02 2003 18 00 00"),
         "Error: OFF Day value does not match Month/Year"},
        {"OFF 29 February 2100", off("29 02 2100 18 00 00"),
         "Error: OFF Day value does not match Month/Year"},
        {"OFF hour 24", off("03 07 2014 24 00 00"), "Error: OFF Hour value > 23"},
        {"OFF minute 60", off("03 07 2014 18 60 00"), "Error: OFF Minute value > 59"},
        {"OFF second 60", off("03 07 2014 18 00 60"), "Error: OFF Second value > 59"},
        {"ON before OFF",
         [](ChanForm& f) {
             fill(f, kOn, "00 07 2014 17 30 00");
             fill(f, kOff, "03 07 2014 25 00 00");
         },
         "Error: ON Day value = 0"},
        {"times before the relay",
         [](ChanForm& f) {
             fill(f, kOff, "03 07 2014 18 00 99");
             f.ChannelEdit = "5";
         },
         "Error: OFF Second value > 59"},
        {"one-digit relay", [](ChanForm& f) { f.ChannelEdit = "1"; },
         "Error: Channel entry must be 2 digits. [01- 16]"},
        {"relay 00", [](ChanForm& f) { f.ChannelEdit = "00"; },
         "Error: Channel incorrect. [01 - 16]"},
        {"relay 17", [](ChanForm& f) { f.ChannelEdit = "17"; },
         "Error: Channel incorrect. [01 - 16]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        ChanForm& form = rig.core.chanForm();
        fillValid(form);
        c.change(form);
        EXPECT_EQ(form.CheckTimeValue(), 0);
        EXPECT_EQ(rig.view.boxTexts(), QStringList{c.message});
        if (!rig.view.boxes.isEmpty()) {
            EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Error"));
        }
    }
}

TEST(ChanFormCheck, ValidRecords)
{
    struct Case
    {
        const char* name;
        std::function<void(ChanForm&)> change;
        double on;
        QString days;
        QString togOn;
    };
    const QList<Case> cases{
        {"29 February 2004", [](ChanForm& f) { fill(f, kOn, "29 02 2004 00 00 00"); },
         *EncodeDayNumber(2004, 2, 29, 0, 0, 0), "0000000", "0"},
        {"year 2100", [](ChanForm& f) { fill(f, kOn, "31 12 2100 23 59 59"); },
         *EncodeDayNumber(2100, 12, 31, 23, 59, 59), "0000000", "0"},
        {"toggles",
         [](ChanForm& f) {
             f.TogOnEdit = "1.2";
             f.TogOffEdit = "1";
         },
         *EncodeDayNumber(2014, 7, 3, 17, 30, 0), "0000000", "1.2"},
        {"daily: the hidden dates count as 1 January 2002",
         [](ChanForm& f) {
             fill(f, kOn, "   08 00 00");
             fill(f, kOff, "   08 30 00");
             f.SetDayBox(1, true);
             f.SetDayBox(5, true);
         },
         *EncodeDayNumber(2002, 1, 1, 8, 0, 0), "0100010", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        ChanForm& form = rig.core.chanForm();
        fillValid(form);
        c.change(form);
        EXPECT_EQ(form.CheckTimeValue(), 2);
        EXPECT_TRUE(rig.view.boxes.isEmpty());
        EXPECT_EQ(form.OnDateTime, c.on);
        EXPECT_EQ(form.DaysText, c.days);
        EXPECT_EQ(form.TogOnText, c.togOn);
        EXPECT_EQ(form.ChannelText, QStringLiteral("05"));
    }
}

TEST(ChanFormCheck, NothingEntered)
{
    Rig rig;
    ChanForm& form = rig.core.chanForm();
    EXPECT_EQ(form.CheckTimeValue(), 1);
    // With a day box selected the hidden date fields count as filled.
    form.SetDayBox(0, true);
    EXPECT_EQ(form.CheckTimeValue(), 0);
    EXPECT_EQ(rig.view.boxTexts(), QStringList{"Error: Times need completing"});
}

TEST_F(ChanFormTest, KeyFilters)
{
    EXPECT_EQ(typeToggle(form, "1.3"), QStringLiteral("1."));
    EXPECT_EQ(rig.view.beeps, 1);
    EXPECT_EQ(typeToggle(form, "1.46"), QStringLiteral("1.4"));
    EXPECT_EQ(typeToggle(form, "1..2"), QStringLiteral("1.2"));
    EXPECT_EQ(typeToggle(form, "15.8"), QStringLiteral("15.8"));
    EXPECT_EQ(typeToggle(form, "a1-0 "), QStringLiteral("10"));
    EXPECT_EQ(rig.view.beeps, 6);
    EXPECT_TRUE(form.TogOffEditKeyPress("1.4", ChanForm::kBackspace));
    EXPECT_TRUE(form.TogOffEditKeyPress("1.4", ChanForm::kEnter));

    for (const QChar key : QStringLiteral("0123456789"))
        EXPECT_TRUE(form.OnDayEditKeyPress(key));
    EXPECT_TRUE(form.ChannelEditKeyPress(ChanForm::kBackspace));
    EXPECT_TRUE(form.ChannelEditKeyPress(ChanForm::kEnter));
    const int beeps = rig.view.beeps;
    for (const QChar key : QStringLiteral(".-+ aZ")) {
        EXPECT_FALSE(form.OnDayEditKeyPress(key));
        EXPECT_FALSE(form.ChannelEditKeyPress(key));
    }
    EXPECT_EQ(rig.view.beeps, beeps + 12);
}

TEST_F(ChanFormTest, APointAloneEndsInTheFailureBox)
{
    openWith(kRelay5Record);
    form.NewButtClick();
    fillValid(form);
    form.TogOnEdit = typeToggle(form, ".");
    form.TogOffEdit = "1";
    rig.core.run([this] { form.EnterButtClick(); });
    EXPECT_EQ(rig.view.boxTexts(), QStringList{"'.' is not a valid floating point value."});
    EXPECT_EQ(rig.view.boxes.at(0).kind, QStringLiteral("Failure"));
    EXPECT_EQ(form.EditList, kRelay5Record);
    EXPECT_TRUE(form.EditsPanelEnabled);
    EXPECT_FALSE(form.DataChanged);
}

TEST_F(ChanFormTest, NewAndEnterAppend)
{
    openWith(kRelay5Record);
    form.NewButtClick();
    EXPECT_EQ(form.RecNumLabel, QStringLiteral("1"));
    EXPECT_EQ(form.OuterHeight, ChanForm::kEditingHeight);
    EXPECT_TRUE(form.EditButtonsEnabled);
    EXPECT_TRUE(form.takeChannelFocusRequest());
    EXPECT_EQ(form.ChannelEdit, QStringLiteral("05")); // the relay field keeps its text
    EXPECT_TRUE(group(form, kOn).trimmed().isEmpty());

    form.ChannelEdit = "12";
    fill(form, kOn, "   08 00 00");
    fill(form, kOff, "   08 30 00");
    form.SetDayBox(1, true);
    form.SetDayBox(5, true);
    form.TogOnEdit = "1.2";
    form.TogOffEdit = "1";
    form.EnterButtClick();
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(form.EditList, kRelay5Record + kRelay12Record);
    EXPECT_EQ(form.RecIndex, 9);
    EXPECT_TRUE(form.DataChanged);
    EXPECT_FALSE(form.EditsPanelEnabled);
    EXPECT_EQ(form.OuterHeight, ChanForm::kBrowsingHeight);
}

TEST_F(ChanFormTest, EditOverwritesInPlace)
{
    openWith(channelRecord("01") + channelRecord("02"));
    form.NextButtClick();
    form.EditButtClick();
    EXPECT_TRUE(form.EditExisting);
    form.ChannelEdit = "09";
    form.EnterButtClick();
    EXPECT_EQ(form.EditList, channelRecord("01") + channelRecord("09"));
    EXPECT_EQ(form.RecIndex, 9);
    EXPECT_EQ(form.RecNumLabel, QStringLiteral("1"));
}

TEST_F(ChanFormTest, EnterWithNothingActsAsCancel)
{
    openWith(kRelay5Record);
    form.NewButtClick();
    form.EnterButtClick();
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(form.EditList, kRelay5Record);
    EXPECT_FALSE(form.EditsPanelEnabled);
    EXPECT_FALSE(form.DataChanged);
    EXPECT_EQ(group(form, kOn), QStringLiteral("03 07 2014 17 30 00"));
    EXPECT_EQ(form.RecNumLabel, QStringLiteral("0"));
}

TEST_F(ChanFormTest, AFailedCheckKeepsEditing)
{
    openWith(kRelay5Record);
    form.NewButtClick();
    (void)form.takeChannelFocusRequest();
    fillValid(form);
    form.ChannelEdit = "17";
    form.EnterButtClick();
    EXPECT_EQ(rig.view.boxTexts(), QStringList{"Error: Channel incorrect. [01 - 16]"});
    EXPECT_TRUE(form.EditsPanelEnabled);
    EXPECT_TRUE(form.takeChannelFocusRequest());
    EXPECT_EQ(form.ChannelEdit, QStringLiteral("17"));
    EXPECT_EQ(form.EditList, kRelay5Record);
}

TEST_F(ChanFormTest, NewWithDuplicateKeepsTheFields)
{
    openWith(kRelay12Record);
    form.DuplicateCB = true;
    form.NewButtClick();
    EXPECT_EQ(group(form, kOff).right(8), QStringLiteral("08 30 00"));
    EXPECT_EQ(form.TogOnEdit, QStringLiteral("1.2"));
    EXPECT_TRUE(form.DayBoxes.at(1));
    form.EnterButtClick();
    EXPECT_EQ(form.EditList, kRelay12Record + kRelay12Record);
}

TEST_F(ChanFormTest, NowFillsTheGroupThatLastHadTheFocus)
{
    rig.clock.set(at(2014, 7, 3, 9, 8, 7, 999));
    openWith({});
    form.NewButtClick();
    form.NowButtClick();
    EXPECT_EQ(group(form, kOn), QStringLiteral("03 07 2014 09 08 07"));
    EXPECT_TRUE(group(form, kOff).trimmed().isEmpty());

    form.OnDayEditEnter(ChanForm::kOffGroupTag + 3);
    rig.clock.set(at(2014, 7, 4, 23, 0));
    form.NowButtClick();
    EXPECT_EQ(group(form, kOff), QStringLiteral("04 07 2014 23 00 00"));

    // New forgets the focus; the date fields fill even when hidden.
    form.EditCancelButtClick();
    form.NewButtClick();
    form.SetDayBox(3, true);
    form.NowButtClick();
    EXPECT_EQ(group(form, kOn), QStringLiteral("04 07 2014 23 00 00"));
}

TEST_F(ChanFormTest, DayBoxesHideTheDates)
{
    openWith({});
    EXPECT_EQ(form.YMDpanelLeft, ChanForm::kYMDpanelShown);
    form.SetDayBox(6, true);
    EXPECT_EQ(form.YMDpanelLeft, ChanForm::kYMDpanelHidden);
    EXPECT_FALSE(form.DateEditsEnabled);
    form.SetDayBox(2, true);
    form.SetDayBox(6, false);
    EXPECT_EQ(form.YMDpanelLeft, ChanForm::kYMDpanelHidden);
    form.SetDayBox(2, false);
    EXPECT_EQ(form.YMDpanelLeft, ChanForm::kYMDpanelShown);
    EXPECT_TRUE(form.DateEditsEnabled);

    // A daily record shown by Next hides them, a date-mode record shows them.
    openWith(kRelay5Record + kRelay12Record);
    EXPECT_EQ(form.YMDpanelLeft, ChanForm::kYMDpanelShown);
    form.NextButtClick();
    EXPECT_EQ(form.YMDpanelLeft, ChanForm::kYMDpanelHidden);
    form.NextButtClick();
    EXPECT_EQ(form.YMDpanelLeft, ChanForm::kYMDpanelShown);
}

TEST_F(ChanFormTest, PreviousAndNextWrap)
{
    openWith(channelRecord("01") + channelRecord("02") + channelRecord("03"));
    EXPECT_EQ(form.ChannelEdit, QStringLiteral("01"));
    form.PrevButtClick();
    EXPECT_EQ(form.RecIndex, 18);
    EXPECT_EQ(form.RecNumLabel, QStringLiteral("2"));
    EXPECT_EQ(form.ChannelEdit, QStringLiteral("03"));
    form.NextButtClick();
    EXPECT_EQ(form.RecIndex, 0);
    EXPECT_EQ(form.RecNumLabel, QStringLiteral("0"));
    form.NextButtClick();
    EXPECT_EQ(form.ChannelEdit, QStringLiteral("02"));
    EXPECT_FALSE(form.DataChanged);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(ChanFormTest, RecordButtonsRestWhileEditing)
{
    const QStringList list = channelRecord("01") + channelRecord("02");
    openWith(list);
    form.EditButtClick();
    form.NextButtClick();
    form.PrevButtClick();
    form.DeleteButtClick();
    form.ClearAllButtClick();
    form.NewButtClick();
    EXPECT_EQ(form.RecIndex, 0);
    EXPECT_TRUE(form.EditExisting);
    EXPECT_EQ(form.EditList, list);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
}

TEST_F(ChanFormTest, DeleteShowsTheRightRecord)
{
    struct Case
    {
        int recIndex;
        QString question;
        QStringList left;
        QString shown;
        QString label;
    };
    const QStringList three = channelRecord("01") + channelRecord("02") + channelRecord("03");
    const QList<Case> cases{
        {0, "This action will clear data record [0].\r\rContinue?",
         channelRecord("02") + channelRecord("03"), "02", "0"},
        {9, "This action will clear data record [1].\r\rContinue?",
         channelRecord("01") + channelRecord("03"), "01", "0"},
        {18, "This action will clear data record [2].\r\rContinue?",
         channelRecord("01") + channelRecord("02"), "02", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recIndex);
        Rig fresh;
        ChanForm& f = fresh.core.chanForm();
        f.EditList = three;
        f.RecIndex = c.recIndex;
        f.FormActivate();
        fresh.view.answers = {View::Answer::No};
        f.DeleteButtClick();
        EXPECT_EQ(f.EditList, three);
        EXPECT_FALSE(f.DataChanged);
        f.DeleteButtClick();
        EXPECT_EQ(fresh.view.boxTexts(), (QStringList{c.question, c.question}));
        EXPECT_EQ(f.EditList, c.left);
        EXPECT_EQ(f.ChannelEdit, c.shown);
        EXPECT_EQ(f.RecNumLabel, c.label);
        EXPECT_TRUE(f.DataChanged);
    }
}

TEST_F(ChanFormTest, DeleteAll)
{
    openWith(kRelay12Record);
    rig.view.answers = {View::Answer::No};
    form.ClearAllButtClick();
    EXPECT_EQ(form.EditList, kRelay12Record);
    form.ClearAllButtClick();
    EXPECT_EQ(rig.view.boxTexts().last(),
              QStringLiteral("This action will clear all Relay Timer data.\r\rContinue?"));
    EXPECT_TRUE(form.EditList.isEmpty());
    EXPECT_TRUE(form.DataChanged);
    EXPECT_EQ(form.ChannelEdit, QStringLiteral("01"));
    EXPECT_FALSE(form.DayBoxes.at(1));
    EXPECT_EQ(form.YMDpanelLeft, ChanForm::kYMDpanelShown);
    // Nothing left to delete or edit.
    const int boxes = static_cast<int>(rig.view.boxes.size());
    form.DeleteButtClick();
    form.ClearAllButtClick();
    form.EditButtClick();
    EXPECT_EQ(rig.view.boxes.size(), boxes);
    EXPECT_FALSE(form.EditsPanelEnabled);
}

TEST_F(ChanFormTest, DamagedListsAreReportedAndEmptied)
{
    QStringList badOn = kRelay5Record;
    badOn[chantimer::OnTime] = "17:30";
    QStringList beyondCalendar = kRelay5Record;
    beyondCalendar[chantimer::OffTime] = "1e12";
    for (const QStringList& list : {badOn, beyondCalendar, kRelay5Record.mid(0, 5)}) {
        Rig fresh;
        ChanForm& f = fresh.core.chanForm();
        f.RecNumLabel = "3";
        f.EditList = list;
        f.FormActivate();
        EXPECT_EQ(fresh.view.boxTexts(), QStringList{kDataListError});
        EXPECT_TRUE(f.EditList.isEmpty());
        EXPECT_EQ(f.RecIndex, 0);
        EXPECT_EQ(f.ChannelEdit, QStringLiteral("01"));
        EXPECT_EQ(f.RecNumLabel, QStringLiteral("0"));
    }
}

TEST_F(ChanFormTest, AShorterListAfterALoadShowsTheFirstRecord)
{
    form.RecIndex = 18;
    form.RecNumLabel = "2";
    openWith(channelRecord("07"));
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(form.EditList, channelRecord("07"));
    EXPECT_EQ(form.RecIndex, 0);
    EXPECT_EQ(form.RecNumLabel, QStringLiteral("0"));
    EXPECT_EQ(form.ChannelEdit, QStringLiteral("07"));
}

TEST_F(ChanFormTest, ShowingRecordsFromAFile)
{
    QStringList list = kRelay5Record;
    list[chantimer::Channel] = "17";
    list[chantimer::Days] = "01000001";
    list[chantimer::TogOn] = "0.4";
    openWith(list);
    EXPECT_TRUE(rig.view.boxes.isEmpty());
    EXPECT_EQ(form.ChannelEdit, QStringLiteral("01"));
    EXPECT_EQ(form.DayBoxes, (std::array<bool, 7>{false, true}));
    EXPECT_EQ(form.TogOnEdit, QStringLiteral("0.4"));
    EXPECT_TRUE(form.TogOffEdit.isEmpty());
}

TEST_F(ChanFormTest, EachShowingStartsFresh)
{
    rig.clock.set(at(2014, 7, 3, 9, 8, 7));
    form.DataChanged = true;
    form.FocusTag = 9;
    form.EditExisting = true;
    openWith(kRelay5Record);
    EXPECT_FALSE(form.DataChanged);
    EXPECT_EQ(form.FocusTag, 0);
    EXPECT_FALSE(form.EditExisting);
    EXPECT_FALSE(form.EditsPanelEnabled);
    EXPECT_TRUE(form.Timer1Enabled);
    EXPECT_EQ(form.TimeLabel, QStringLiteral("09:08:07"));
    rig.clock.advanceMs(1000);
    form.Timer1Timer();
    EXPECT_EQ(form.TimeLabel, QStringLiteral("09:08:08"));

    form.NewButtClick();
    form.FormClose(); // the edit is abandoned
    EXPECT_FALSE(form.Timer1Enabled);
    EXPECT_FALSE(form.EditsPanelEnabled);
    EXPECT_EQ(form.OuterHeight, ChanForm::kBrowsingHeight);
    EXPECT_EQ(form.EditList, kRelay5Record);
}

TEST_F(ChanFormTest, OkAndCancelThroughTheEditButton)
{
    rig.startUp();
    rig.core.timers().setTimerList(channelRecord("01") + channelRecord("02"));
    rig.view.onTimerEditor = [this] {
        form.FormActivate();
        form.NextButtClick();
        form.PrevButtClick();
        form.FormClose();
        return true;
    };
    rig.core.OutEditButtClick();
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
    EXPECT_EQ(rig.core.timers().TimerList(), channelRecord("01") + channelRecord("02"));

    rig.view.onTimerEditor = [this] {
        form.FormActivate();
        form.DeleteButtClick();
        form.CancelButtClick();
        form.FormClose();
        return false;
    };
    rig.core.OutEditButtClick();
    EXPECT_EQ(rig.core.project().ChangeCount(), 0);
    EXPECT_EQ(rig.core.timers().TimerList(), channelRecord("01") + channelRecord("02"));

    rig.view.onTimerEditor = [this] {
        form.FormActivate();
        form.DeleteButtClick();
        form.FormClose();
        return true;
    };
    rig.core.OutEditButtClick();
    EXPECT_EQ(rig.core.project().ChangeCount(), 1);
    EXPECT_EQ(rig.core.timers().TimerList(), channelRecord("02"));
}
