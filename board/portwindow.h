// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class View;
class FilteredEdit;
class QFrame;
class QLabel;
class QPushButton;

// V217 Serial Port Change: one edit box for the port digit, OK and Cancel.
class TPortFm : public QDialog
{
    Q_OBJECT

public:
    explicit TPortFm(View& view, QWidget* parent = nullptr);
    // Shows the dialog modally with portText in the edit box; on OK portText
    // holds what the user typed and the result is true.
    [[nodiscard]] bool execute(QString& portText);

    // Key filter of the edit box: true when the typed character may stay.
    [[nodiscard]] static bool PortEditAccepts(QChar typed);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormActivate();
    void OKbuttClick();
    // PortEditKeyPress: a refused key beeps.
    [[nodiscard]] bool PortEditKeyPress(QChar typed);
    // The same filter over a pasted, dropped or set text.
    [[nodiscard]] QString portEditText(QStringView typed, qsizetype room);

    View& m_view;
    QLabel* Label1 = nullptr;
    FilteredEdit* PortEdit = nullptr;
    QFrame* Bevel1 = nullptr;
    QPushButton* OKbutt = nullptr;
    QPushButton* BitBtn2 = nullptr;
};
