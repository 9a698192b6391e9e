#include "help/helpwindow.h"

#include "controller/relay.h"

THelpFm::THelpFm(Controller& core, QWidget* parent) : QDialog(parent), m_core(core)
{
    setObjectName(QStringLiteral("HelpFm"));
    setWindowTitle(QStringLiteral("QMX T95 Help"));
    setFixedSize(465, 273);
}
