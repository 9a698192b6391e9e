#include "board/portwindow.h"

#include "controller/relay.h"

TPortFm::TPortFm(Controller& core, QWidget* parent) : QDialog(parent), m_core(core)
{
    setObjectName(QStringLiteral("PortFm"));
    setWindowTitle(QStringLiteral("V217 Serial Port Change"));
    setFixedSize(208, 80);
}

bool TPortFm::execute(QString& portText)
{
    Q_UNUSED(portText);
    return exec() == QDialog::Accepted;
}
