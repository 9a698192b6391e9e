#pragma once

#include <QDialog>

class Controller;

// V217 Rules Editor
class TRulesFm : public QDialog
{
    Q_OBJECT

public:
    explicit TRulesFm(Controller& core, QWidget* parent = nullptr);

private:
    Controller& m_core;
};
