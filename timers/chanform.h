// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "safety/boardsettings.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>

class Clock;
class View;
struct Regional;

// The timer editor without its widgets: the working copy of the records,
// the texts and states of the window's controls, and every handler. The
// window (TChanFm) copies every change of a field's text into the control
// fields, calls the handlers and shows the fields again afterwards. Boxes and questions go
// through the View, the time through the Clock; the clock label and the
// records it writes follow the regional formats it is given.
class ChanForm
{
public:
    // Tags of the controls. The twelve date and time fields carry their own
    // Tags: the ON group 0 to 5, the OFF group 7 to 12.
    static constexpr int kOnDayTag = 0;
    static constexpr int kOnMonthTag = 1;
    static constexpr int kOnYearTag = 2;
    static constexpr int kOnHourTag = 3;
    static constexpr int kOnMinuteTag = 4;
    static constexpr int kOnSecondTag = 5;
    static constexpr int kOffDayTag = 7;
    static constexpr int kOffGroupTag = kOffDayTag;
    static constexpr int kLastTimeTag = 12;
    static constexpr int kToggleTag = 100; // both toggle fields, and DuplicateCB
    static constexpr int kChannelTag = 200;
    static constexpr int kDayBoxTag = 0;

    // Outer window heights: the whole window, or only the edit panel.
    static constexpr int kBrowsingHeight = 283;
    static constexpr int kEditingHeight = 202;
    // Left edge of YMDpanel: in place, or out of the 419-pixel-wide window.
    static constexpr int kYMDpanelShown = 25;
    static constexpr int kYMDpanelHidden = 600;
    static constexpr std::chrono::seconds kClockPeriod{1};

    // The two control keys the key filters accept besides their characters.
    static constexpr QChar kBackspace{8};
    static constexpr QChar kEnter{13};

    ChanForm(View& view, const Clock& clock, const Regional& regional);

    // --- window state ---
    QStringList EditList;
    int RecIndex = 0;
    bool EditExisting = false;
    bool DataChanged = false;
    int FocusTag = 0;
    double OnDateTime = 0;
    double OffDateTime = 0;
    QString ChannelText;
    QString TogOnText;
    QString TogOffText;
    QString DaysText;

    // --- the controls ---
    QString ChannelEdit = QStringLiteral("01");
    // The date and time fields by Tag; index 6 is unused.
    std::array<QString, kLastTimeTag + 1> TimeEdits;
    QString TogOnEdit;
    QString TogOffEdit;
    // SunCB to SatCB.
    std::array<bool, 7> DayBoxes{};
    bool DuplicateCB = false;
    QString RecNumLabel = QStringLiteral("0");
    QString TimeLabel;
    bool EditsPanelEnabled = false;
    // NowButt, ClearButt, EnterButt and EditCancelButt.
    bool EditButtonsEnabled = false;
    // The six date fields (SetEditEnables).
    bool DateEditsEnabled = true;
    int YMDpanelLeft = kYMDpanelShown;
    int OuterHeight = kBrowsingHeight;
    bool Timer1Enabled = false;

    [[nodiscard]] static bool isTimeTag(int tag);
    [[nodiscard]] static bool isDateTag(int tag);

    // True once after a handler asked for the focus in ChannelEdit.
    [[nodiscard]] bool takeChannelFocusRequest();

    // --- window events ---
    void FormActivate();
    void Timer1Timer();
    void FormClose();
    void CancelButtClick();
    // OK: true when the window may close with the records. With the
    // board's settings, records that switch relays of one interlock group on
    // together or hold a relay on past its maximum on-time in the week from
    // today are asked about first, as the rules editor asks about its
    // warnings: Yes (and Esc) go on editing, No closes.
    [[nodiscard]] bool OKButtClick();
    void setBoardSettings(const safety::BoardSettings& settings);

    // --- record buttons ---
    void NewButtClick();
    void EditButtClick();
    void DeleteButtClick();
    void PrevButtClick();
    void NextButtClick();
    void ClearAllButtClick();

    // --- edit panel buttons ---
    void NowButtClick();
    void ClearButtClick();
    void EditCancelButtClick();
    // May throw V217Error for a field that is no number (a toggle field
    // holding only "."): nothing is written and editing goes on.
    void EnterButtClick();

    // --- fields ---
    // Selects or clears day box index (0 = Sunday) and runs SunCBClick.
    void SetDayBox(int index, bool checked);
    void SunCBClick();
    void OnDayEditEnter(int tag);
    // Key filters: true when the key goes into the field; a refused key
    // sounds the beep.
    [[nodiscard]] bool OnDayEditKeyPress(QChar key);
    [[nodiscard]] bool ChannelEditKeyPress(QChar key);
    [[nodiscard]] bool TogOffEditKeyPress(const QString& text, QChar key);
    // The same filters over a text that arrives in one piece (a paste, a drop,
    // a text set from outside) for a field holding text: the characters they
    // let in, no more than room of them (keyfilter::accept). One beep for
    // whatever they refuse.
    [[nodiscard]] QString OnDayEditText(QStringView typed, qsizetype room);
    [[nodiscard]] QString TogOffEditText(const QString& text, QStringView typed, qsizetype room);

    // --- operations ---
    void SetScreenData();
    // 0: a check failed and its box was shown; 1: nothing entered;
    // 2: valid, the record values are ready for EnterTimedata.
    [[nodiscard]] int CheckTimeValue();
    void EnterTimedata();
    void EnableEditButtons(bool on);
    void ResetScreen();
    void ClearTimerEdits();
    void ClearToggleEdits();
    void ClearCheckBoxes();
    void SetEditEnables(bool on);

private:
    // Shows the error box of a failed check; returns 0, the result of CheckTimeValue then.
    int fail(const QString& message);
    void fillGroup(int firstTag, const QString& pattern);
    void showRecordNumber();
    [[nodiscard]] bool beepUnless(bool accepted);

    View& m_view;
    const Clock& m_clock;
    safety::BoardSettings m_boardSettings;
    const Regional& m_regional;
    bool m_channelFocusRequested = false;
};
