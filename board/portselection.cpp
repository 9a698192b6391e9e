#include "board/portselection.h"

#include "common/conversions.h"
#include "common/seriallink.h"
#include "common/view.h"

namespace board {

void PortSelection::choose()
{
    QString portText = m_serial.Active() ? QString::number(m_serial.Port()) : QString();
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Modify COM port..."));
    if (m_view.showPortDialog(portText))
        open(portText);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Communications idle"));
}

void PortSelection::open(const QString& text)
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
        m_view.showError(QStringLiteral("There appears to be a problem accessing the COM Port"));
        m_view.setStatusText(View::Panel::Port, QStringLiteral("COM x"));
        return;
    }
    m_view.setStatusText(View::Panel::Port, QStringLiteral("COM %1").arg(n));
}

// The port stays open on a device that has gone, but it leads nowhere until
// it is opened again.
void PortSelection::hungUp()
{
    m_view.setStatusText(View::Panel::Port, QStringLiteral("COM x"));
}

bool PortSelection::reopen()
{
    open(QString::number(m_serial.Port()));
    return m_serial.Active();
}

} // namespace board
