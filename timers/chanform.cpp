// SPDX-License-Identifier: GPL-3.0-or-later
#include "timers/chanform.h"

#include "common/clock.h"
#include "common/conversions.h"
#include "common/daynumber.h"
#include "common/keyfilter.h"
#include "common/regional.h"
#include "common/view.h"
#include "timers/chantimer.h"
#include "timers/schedulecheck.h"

#include <QDate>

#include <algorithm>

namespace {

// The date of every daily record; only its time of day counts.
constexpr int kDailyYear = 2002;

// Offsets within a group of six fields.
constexpr int kDay = 0;
constexpr int kMonth = 1;
constexpr int kYear = 2;
constexpr int kHour = 3;
constexpr int kMinute = 4;
constexpr int kSecond = 5;

bool isDigit(QChar key)
{
    return key >= QLatin1Char('0') && key <= QLatin1Char('9');
}

// The toggle filter: one digit after the point, in steps of 0.2 seconds.
keyfilter::DecimalText toggleText(QStringView text)
{
    return {text, QLatin1Char('.'), true};
}

} // namespace

ChanForm::ChanForm(View& view, const Clock& clock, const Regional& regional)
    : m_view(view), m_clock(clock), m_regional(regional)
{
}

bool ChanForm::isTimeTag(int tag)
{
    return tag >= kOnDayTag && tag <= kLastTimeTag && tag != kOnSecondTag + 1;
}

bool ChanForm::isDateTag(int tag)
{
    return isTimeTag(tag) && tag % kOffGroupTag <= kYear;
}

bool ChanForm::takeChannelFocusRequest()
{
    return std::exchange(m_channelFocusRequested, false);
}

// --- window events ---

void ChanForm::FormActivate()
{
    DataChanged = false;
    FocusTag = 0;
    // A project load may have replaced the list with a shorter one since the
    // window was last shown: start at the first record rather than read past
    // the end and take the list for damaged.
    if (RecIndex >= EditList.size()) {
        RecIndex = 0;
        RecNumLabel = QStringLiteral("0");
    }
    SetScreenData();
    EditsPanelEnabled = false;
    EditExisting = false;
    TimeLabel = LongTimeText(m_clock.now().time(), m_regional);
    Timer1Enabled = true;
}

void ChanForm::Timer1Timer()
{
    TimeLabel = LongTimeText(m_clock.now().time(), m_regional);
}

void ChanForm::FormClose()
{
    Timer1Enabled = false;
    EnableEditButtons(false);
}

void ChanForm::CancelButtClick()
{
    DataChanged = false;
}

bool ChanForm::OKButtClick()
{
    const QStringList warnings =
        schedule::ScheduleWarnings(EditList, m_boardSettings, m_clock.now().date());
    if (warnings.isEmpty())
        return true;
    // A week of daily records can give many; the box shows the first ones.
    constexpr qsizetype kShown = 10;
    QString text = QStringLiteral("Timer records have warnings.\r\r") +
                   warnings.mid(0, kShown).join(QLatin1Char('\r'));
    if (warnings.size() > kShown)
        text += QStringLiteral("\r... and %1 more").arg(warnings.size() - kShown);
    text += QStringLiteral("\r\rIf you choose to exit, the records will be used as they "
                           "are.\r\rContinue?");
    m_view.beep();
    return m_view.confirm(text, View::Buttons::YesNo, View::Answer::Yes) == View::Answer::No;
}

void ChanForm::setBoardSettings(const safety::BoardSettings& settings)
{
    m_boardSettings = settings;
}

// --- record buttons ---

void ChanForm::NewButtClick()
{
    if (EditsPanelEnabled)
        return;
    if (!DuplicateCB) {
        ClearTimerEdits();
        ClearToggleEdits();
        ClearCheckBoxes();
    }
    FocusTag = 0;
    EditExisting = false;
    RecNumLabel = QString::number(EditList.size() / chantimer::kRecordLines);
    EnableEditButtons(true);
}

void ChanForm::EditButtClick()
{
    if (EditsPanelEnabled || EditList.isEmpty())
        return;
    EnableEditButtons(true);
    EditExisting = true;
}

void ChanForm::DeleteButtClick()
{
    if (EditsPanelEnabled || EditList.isEmpty())
        return;
    const QString question = QStringLiteral("This action will clear data record [%1].\r\rContinue?")
                                 .arg(RecIndex / chantimer::kRecordLines);
    if (m_view.confirm(question, View::Buttons::YesNo, View::Answer::No) == View::Answer::No)
        return;
    chantimer::DeleteRecord(EditList, RecIndex);
    DataChanged = true;
    RecIndex = std::max(RecIndex - chantimer::kRecordLines, 0);
    SetScreenData();
    showRecordNumber();
}

void ChanForm::PrevButtClick()
{
    if (EditsPanelEnabled)
        return;
    RecIndex -= chantimer::kRecordLines;
    if (RecIndex < 0)
        RecIndex = static_cast<int>(EditList.size()) - chantimer::kRecordLines;
    if (RecIndex < 0)
        RecIndex = 0;
    SetScreenData();
    showRecordNumber();
}

void ChanForm::NextButtClick()
{
    if (EditsPanelEnabled)
        return;
    RecIndex += chantimer::kRecordLines;
    if (RecIndex >= EditList.size())
        RecIndex = 0;
    SetScreenData();
    showRecordNumber();
}

void ChanForm::ClearAllButtClick()
{
    if (EditsPanelEnabled || EditList.isEmpty())
        return;
    if (m_view.confirm(QStringLiteral("This action will clear all Relay Timer data.\r\rContinue?"),
                       View::Buttons::YesNo, View::Answer::No) == View::Answer::No)
        return;
    EditList.clear();
    RecIndex = 0;
    ResetScreen();
    RecNumLabel = QStringLiteral("0");
    DataChanged = true;
}

// --- edit panel buttons ---

void ChanForm::NowButtClick()
{
    const QString pattern = m_clock.now().toString(QStringLiteral("ddMMyyyyHHmmss"));
    fillGroup(FocusTag >= kOffGroupTag ? kOffGroupTag : kOnDayTag, pattern);
}

void ChanForm::ClearButtClick()
{
    ResetScreen();
    m_channelFocusRequested = true;
}

void ChanForm::EditCancelButtClick()
{
    EnableEditButtons(false);
    SetScreenData();
    showRecordNumber();
}

void ChanForm::EnterButtClick()
{
    switch (CheckTimeValue()) {
    case 0:
        m_channelFocusRequested = true;
        break;
    case 1:
        EditCancelButtClick();
        break;
    default:
        EnableEditButtons(false);
        EnterTimedata();
        break;
    }
}

// --- fields ---

void ChanForm::SetDayBox(int index, bool checked)
{
    DayBoxes.at(static_cast<size_t>(index)) = checked;
    SunCBClick();
}

void ChanForm::SunCBClick()
{
    const bool daily = std::ranges::any_of(DayBoxes, [](bool box) { return box; });
    YMDpanelLeft = daily ? kYMDpanelHidden : kYMDpanelShown;
    SetEditEnables(!daily);
}

void ChanForm::OnDayEditEnter(int tag)
{
    if (isTimeTag(tag))
        FocusTag = tag;
}

bool ChanForm::OnDayEditKeyPress(QChar key)
{
    return beepUnless(isDigit(key) || key == kBackspace || key == kEnter);
}

bool ChanForm::ChannelEditKeyPress(QChar key)
{
    return OnDayEditKeyPress(key);
}

bool ChanForm::TogOffEditKeyPress(const QString& text, QChar key)
{
    if (key == kBackspace || key == kEnter)
        return true;
    return beepUnless(toggleText(text).take(key));
}

QString ChanForm::OnDayEditText(QStringView typed, qsizetype room)
{
    const keyfilter::Accepted accepted = keyfilter::accept(typed, room, isDigit);
    (void)beepUnless(!accepted.refused);
    return accepted.text;
}

QString ChanForm::TogOffEditText(const QString& text, QStringView typed, qsizetype room)
{
    keyfilter::DecimalText toggle = toggleText(text);
    const keyfilter::Accepted accepted =
        keyfilter::accept(typed, room, [&toggle](QChar c) { return toggle.take(c); });
    (void)beepUnless(!accepted.refused);
    return accepted.text;
}

// --- operations ---

void ChanForm::SetScreenData()
{
    ClearTimerEdits();
    ClearToggleEdits();
    ClearCheckBoxes();
    if (EditList.isEmpty())
        return;
    const auto shown = chantimer::ReadForEditor(EditList, RecIndex);
    if (!shown) {
        m_view.showError(QStringLiteral("Error in data list"));
        EditList.clear();
        RecIndex = 0;
        ResetScreen();
        RecNumLabel = QStringLiteral("0");
        return;
    }
    ChannelEdit = shown->channel;
    fillGroup(kOnDayTag, shown->onPattern);
    fillGroup(kOffGroupTag, shown->offPattern);
    TogOnEdit = shown->togOn;
    TogOffEdit = shown->togOff;
    for (int d = 0; d < 7; ++d)
        SetDayBox(d, shown->days.at(static_cast<size_t>(d)));
}

int ChanForm::CheckTimeValue()
{
    if (!TogOnEdit.isEmpty() && TogOffEdit.isEmpty())
        return fail(QStringLiteral("Error: Missing Toggle OFF time"));
    if (TogOnEdit.isEmpty() && !TogOffEdit.isEmpty())
        return fail(QStringLiteral("Error: Missing Toggle ON time"));
    if (!TogOnEdit.isEmpty() && StrToFloat(TogOnEdit) == 0)
        return fail(QStringLiteral("Error: Toggle ON time = 0"));
    if (!TogOffEdit.isEmpty() && StrToFloat(TogOffEdit) == 0)
        return fail(QStringLiteral("Error: Toggle OFF time = 0"));

    int filled = 0;
    for (int tag = kOnDayTag; tag <= kLastTimeTag; ++tag) {
        if (isTimeTag(tag) &&
            (!TimeEdits.at(tag).isEmpty() || (isDateTag(tag) && !DateEditsEnabled)))
            ++filled;
    }
    if (filled == 0)
        return 1;
    if (filled != 12)
        return fail(QStringLiteral("Error: Times need completing"));

    // One group of six fields into a day number; false when a check failed.
    const auto encodeGroup = [this](const QString& name, int firstTag, double& dayNumber) {
        const auto value = [&](int offset) { return StrToInt(TimeEdits.at(firstTag + offset)); };
        int day = 1;
        int month = 1;
        int year = kDailyYear;
        if (DateEditsEnabled) {
            day = value(kDay);
            month = value(kMonth);
            year = value(kYear);
        }
        const auto refuse = [&](const QString& what) {
            fail(QStringLiteral("Error: %1 %2").arg(name, what));
            return false;
        };
        if (day == 0)
            return refuse(QStringLiteral("Day value = 0"));
        if (month > 12)
            return refuse(QStringLiteral("Month value > 12"));
        // Month 0 would pass the checks above but forms no date.
        if (month == 0)
            return refuse(QStringLiteral("Month value = 0"));
        if (year < 2002 || year > 2100)
            return refuse(QStringLiteral("Year value out of limits. [2002 - 2100]"));
        // The month-length test takes every fourth year as a leap year; 2100
        // is none, so its 29 February is refused by the calendar itself.
        if (!CheckMonthDays(day, month, year) || !QDate::isValid(year, month, day))
            return refuse(QStringLiteral("Day value does not match Month/Year"));
        const int hour = value(kHour);
        const int minute = value(kMinute);
        const int second = value(kSecond);
        if (hour > 23)
            return refuse(QStringLiteral("Hour value > 23"));
        if (minute > 59)
            return refuse(QStringLiteral("Minute value > 59"));
        if (second > 59)
            return refuse(QStringLiteral("Second value > 59"));
        const auto encoded = EncodeDayNumber(year, month, day, hour, minute, second);
        if (!encoded)
            return refuse(QStringLiteral("Time value is not a time of day"));
        dayNumber = *encoded;
        return true;
    };
    double on = 0;
    if (!encodeGroup(QStringLiteral("ON"), kOnDayTag, on))
        return 0;
    OnDateTime = on;
    double off = 0;
    if (!encodeGroup(QStringLiteral("OFF"), kOffGroupTag, off))
        return 0;

    if (ChannelEdit.size() != 2)
        return fail(QStringLiteral("Error: Channel entry must be 2 digits. [01- 16]"));
    const int channel = StrToIntDef(ChannelEdit, 0);
    if (channel < 1 || channel > 16)
        return fail(QStringLiteral("Error: Channel incorrect. [01 - 16]"));

    OffDateTime = off;
    ChannelText = ChannelEdit;
    TogOnText = TogOnEdit.isEmpty() ? QStringLiteral("0") : TogOnEdit;
    TogOffText = TogOffEdit.isEmpty() ? QStringLiteral("0") : TogOffEdit;
    DaysText.clear();
    for (const bool box : DayBoxes)
        DaysText += box ? QLatin1Char('1') : QLatin1Char('0');
    return 2;
}

void ChanForm::EnterTimedata()
{
    const QStringList record =
        chantimer::MakeRecord(ChannelText, OnDateTime, OffDateTime, TogOnText, TogOffText, DaysText,
                              m_regional.decimalPoint);
    if (EditExisting) {
        chantimer::OverwriteRecord(EditList, RecIndex, record);
    } else {
        chantimer::AppendRecord(EditList, record);
        RecIndex = static_cast<int>(EditList.size()) - chantimer::kRecordLines;
    }
    EditsPanelEnabled = false;
    DataChanged = true;
}

void ChanForm::EnableEditButtons(bool on)
{
    EditsPanelEnabled = on;
    EditButtonsEnabled = on;
    OuterHeight = on ? kEditingHeight : kBrowsingHeight;
    if (on)
        m_channelFocusRequested = true;
}

void ChanForm::ResetScreen()
{
    ClearTimerEdits();
    ClearToggleEdits();
    ClearCheckBoxes();
    ChannelEdit = QStringLiteral("01");
}

void ChanForm::ClearTimerEdits()
{
    for (QString& text : TimeEdits)
        text.clear();
}

void ChanForm::ClearToggleEdits()
{
    TogOnEdit.clear();
    TogOffEdit.clear();
}

void ChanForm::ClearCheckBoxes()
{
    for (int d = 0; d < 7; ++d)
        SetDayBox(d, false);
}

void ChanForm::SetEditEnables(bool on)
{
    DateEditsEnabled = on;
}

// --- helpers ---

int ChanForm::fail(const QString& message)
{
    m_view.showError(message);
    return 0;
}

void ChanForm::fillGroup(int firstTag, const QString& pattern)
{
    static constexpr std::array<std::pair<int, int>, 6> kSpans{
        {{0, 2}, {2, 2}, {4, 4}, {8, 2}, {10, 2}, {12, 2}}};
    for (int i = 0; i < 6; ++i) {
        const auto [from, length] = kSpans.at(static_cast<size_t>(i));
        TimeEdits.at(static_cast<size_t>(firstTag + i)) = pattern.mid(from, length);
    }
}

void ChanForm::showRecordNumber()
{
    RecNumLabel = QString::number(RecIndex / chantimer::kRecordLines);
}

bool ChanForm::beepUnless(bool accepted)
{
    if (!accepted)
        m_view.beep();
    return accepted;
}
