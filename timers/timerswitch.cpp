// SPDX-License-Identifier: GPL-3.0-or-later
#include "timers/timerswitch.h"

#include "common/clock.h"
#include "common/daynumber.h"
#include "common/regional.h"
#include "timers/timerpass.h"

int TimerSwitch::ExecutePortTimerList(int& portOut)
{
    return ExecuteTimerPass(m_activeTimerList, portOut, DateTimeToDayNumber(m_clock.now()),
                            m_regional.decimalPoint);
}

void TimerSwitch::TimerSBClick()
{
    if (m_timersOn) {
        m_timersOn = false;
        m_view.setLamp(View::Lamp::Timers, false);
        m_view.setStatusText(View::Panel::Message, QStringLiteral("Timers OFF"));
        return;
    }
    if (m_timerList.isEmpty()) {
        m_view.showInformation(QStringLiteral("Timer list empty"));
        return;
    }
    m_timersOn = true;
    m_view.setLamp(View::Lamp::Timers, true);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Timers ON"));
}

bool TimerSwitch::OutEditButtClick()
{
    m_chanForm.EditList = m_timerList;
    m_view.setStatusText(View::Panel::Clock, QString());
    if (!m_view.showTimerEditor())
        return false;
    m_timerList = m_chanForm.EditList;
    return m_chanForm.DataChanged;
}

void TimerSwitch::clearLists()
{
    m_timerList.clear();
    m_activeTimerList.clear();
}
