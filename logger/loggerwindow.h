#pragma once

#include <QDialog>

class Controller;

// V217 Logger Time Details
class TLoggerFm : public QDialog
{
    Q_OBJECT

public:
    explicit TLoggerFm(Controller& core, QWidget* parent = nullptr);

private:
    Controller& m_core;
};
