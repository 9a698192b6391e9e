// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/portselection.h"

#include "common/conversions.h"
#include "common/seriallink.h"
#include "common/view.h"
#include "serial/serialdevices.h"

namespace board {

void PortSelection::choose()
{
    QString portText = m_serial.Active() ? QString::number(m_serial.Port()) : QString();
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Modify COM port..."));
    // After a failed open the message panel keeps its reason.
    if (m_view.showPortDialog(portText) && !open(portText))
        return;
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Communications idle"));
}

bool PortSelection::open(const QString& text)
{
    const int n = StrToIntDef(text, 0);
    bool opened = false;
    try {
        m_serial.setPort(n & 0xFF);
        m_serial.setActive(true);
        opened = m_serial.Active();
    } catch (const std::exception&) {
        opened = false;
    }
    if (!opened) {
        // The box keeps the system's words; the panel tells why, and is set
        // first so that it already says so while the box is up.
        m_failure =
            QStringLiteral("COM %1: %2").arg(n).arg(OpenFailureReason(m_serial.OpenError()));
        m_view.setStatusText(View::Panel::Message, m_failure);
        m_view.showError(QStringLiteral("There appears to be a problem accessing the COM Port"));
        m_view.setStatusText(View::Panel::Port, QStringLiteral("COM x"));
        return false;
    }
    m_failure.clear();
    m_view.setStatusText(View::Panel::Port, QStringLiteral("COM %1").arg(n));
    return true;
}

// The port stays open on a device that has gone, but it leads nowhere until
// it is opened again.
void PortSelection::hungUp()
{
    m_view.setStatusText(View::Panel::Port, QStringLiteral("COM x"));
}

bool PortSelection::reopen()
{
    return open(QString::number(m_serial.Port()));
}

} // namespace board
