#include "timers/chanwindow.h"

#include "controller/relay.h"

TChanFm::TChanFm(Controller& core, QWidget* parent) : QDialog(parent), m_core(core)
{
    setObjectName(QStringLiteral("ChanFm"));
    setWindowTitle(QStringLiteral("V217 Relay Timer Details"));
    setFixedSize(419, 256);
}
