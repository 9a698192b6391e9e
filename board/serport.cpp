// Port selection: Port -> Set, the port dialog's result, and the opening of
// a numbered port with its outcome in the port panel.
#include "controller/relay.h"

#include "common/conversions.h"
#include "common/seriallink.h"

void Controller::Set1Click()
{
    QString portText = m_serial.Active() ? QString::number(m_serial.Port()) : QString();
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Modify COM port..."));
    if (m_view.showPortDialog(portText))
        OpenSerialPort(portText);
    m_view.setStatusText(View::Panel::Message, QStringLiteral("Communications idle"));
}

void Controller::OpenSerialPort(const QString& text)
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
void Controller::Serial1HangUp()
{
    m_view.setStatusText(View::Panel::Port, QStringLiteral("COM x"));
}

// Activation on a port whose device hung up opens the same port again first,
// so a board that was plugged back in runs without its port being chosen
// again. A failed open has shown the port problem, and the system stays
// idle. What the board sent before this open (its prompt as it powered up)
// is judged while still idle, as after choosing the port, so it is not taken
// for the start of the first reply.
bool Controller::reopenHungUpPort()
{
    OpenSerialPort(QString::number(m_serial.Port()));
    if (!m_serial.Active())
        return false;
    Serial1RxData();
    return true;
}
