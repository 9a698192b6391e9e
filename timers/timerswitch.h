// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/view.h"
#include "timers/chanform.h"

#include <QStringList>

class Clock;
struct Regional;

// The TIMERS function: the timer records as edited (TimerList), the copy
// that runs while the system is active (ActiveTimerList, whose running
// fields the timer engine writes), the switch and the timer editor, and the
// timer pass of every relay-write tick. The records it writes and the
// editor's clock follow the regional formats it is given.
class TimerSwitch
{
public:
    TimerSwitch(View& view, const Clock& clock, const Regional& regional)
        : m_view(view), m_clock(clock), m_regional(regional)
    {
    }
    TimerSwitch(const TimerSwitch&) = delete;
    TimerSwitch& operator=(const TimerSwitch&) = delete;

    [[nodiscard]] bool TimersOn() const { return m_timersOn; }
    [[nodiscard]] const QStringList& TimerList() const { return m_timerList; }
    [[nodiscard]] const QStringList& ActiveTimerList() const { return m_activeTimerList; }
    // The timer editor's form object.
    [[nodiscard]] ChanForm& chanForm() { return m_chanForm; }

    // The TIMERS switch; an empty list never switches on.
    void TimerSBClick();
    // The timer editor on the list; true when the user changed the records.
    [[nodiscard]] bool OutEditButtClick();
    // The timer pass of a relay-write tick on the running records: it
    // switches the relays of portOut that are due; -1 when a record is
    // faulty.
    [[nodiscard]] int ExecutePortTimerList(int& portOut);

    // Activation: the records run from their start again.
    void startRun() { m_activeTimerList = m_timerList; }
    // The records of a project, taken as they are; the running copy stays.
    void setTimerList(const QStringList& list) { m_timerList = list; }
    // Before a project load: the records go, the running ones too.
    void clearLists();

private:
    View& m_view;
    const Clock& m_clock;
    const Regional& m_regional;
    ChanForm m_chanForm{m_view, m_clock, m_regional};
    bool m_timersOn = false;
    QStringList m_timerList;
    QStringList m_activeTimerList;
};
