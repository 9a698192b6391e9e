#pragma once

#include <QDialog>

class Controller;

// V217 Serial Port Change
class TPortFm : public QDialog
{
    Q_OBJECT

public:
    explicit TPortFm(Controller& core, QWidget* parent = nullptr);
    // Shows the dialog modally with portText in the edit box; on OK portText
    // holds what the user typed and the result is true.
    [[nodiscard]] bool execute(QString& portText);

private:
    Controller& m_core;
};
