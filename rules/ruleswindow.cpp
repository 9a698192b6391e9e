#include "rules/ruleswindow.h"

#include "controller/relay.h"

TRulesFm::TRulesFm(Controller& core, QWidget* parent) : QDialog(parent), m_core(core)
{
    setObjectName(QStringLiteral("RulesFm"));
    setWindowTitle(QStringLiteral("V217 Rules Editor"));
    setFixedSize(383, 254);
}
