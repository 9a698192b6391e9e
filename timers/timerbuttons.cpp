// The TIMERS panel of the main window and the hook of the timer engine into
// the relay-write tick.
#include "controller/relay.h"

#include "common/clock.h"
#include "common/daynumber.h"
#include "timers/timerpass.h"

int Controller::ExecutePortTimerList()
{
    return ExecuteTimerPass(ActiveTimerList, PortOut, DateTimeToDayNumber(m_clock.now()));
}

void Controller::TimerSBClick()
{
    if (TimersOn) {
        TimersOn = false;
        m_view.setLamp(View::Lamp::Timers, false);
        m_view.setStatusText(View::Panel::Message, QStringLiteral("Timers OFF"));
        return;
    }
    if (TimerList.isEmpty()) {
        m_view.showInformation(QStringLiteral("Timer list empty"));
        return;
    }
    TimersOn = true;
    m_view.setLamp(View::Lamp::Timers, true);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Timers ON"));
}

void Controller::OutEditButtClick()
{
    m_chanForm.EditList = TimerList;
    m_view.setStatusText(View::Panel::Clock, QString());
    if (!m_view.showTimerEditor())
        return;
    TimerList = m_chanForm.EditList;
    if (m_chanForm.DataChanged)
        ++ChangeCount;
}
