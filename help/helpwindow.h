#pragma once

#include <QDialog>

class Controller;

// QMX T95 Help: the usage notes, read-only, closed with OK.
class THelpFm : public QDialog
{
    Q_OBJECT

public:
    explicit THelpFm(Controller& core, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};
