#include "logger/loggerwindow.h"

#include "controller/relay.h"

TLoggerFm::TLoggerFm(Controller& core, QWidget* parent) : QDialog(parent), m_core(core)
{
    setObjectName(QStringLiteral("LoggerFm"));
    setWindowTitle(QStringLiteral("V217 Logger Time Details"));
    setFixedSize(382, 217);
}
