#pragma once

#include <QDialog>

class Controller;

// V217 Relay Timer Details
class TChanFm : public QDialog
{
    Q_OBJECT

public:
    explicit TChanFm(Controller& core, QWidget* parent = nullptr);

private:
    Controller& m_core;
};
