#pragma once

#include <QDialog>

class Controller;

// QMX T95 Help
class THelpFm : public QDialog
{
    Q_OBJECT

public:
    explicit THelpFm(Controller& core, QWidget* parent = nullptr);

private:
    Controller& m_core;
};
