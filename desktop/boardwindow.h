// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/boardconf.h"

#include <QDialog>
#include <QList>
#include <QPair>

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class View;

// The Board window of the Port menu: the board's 16 relays (name, interlock
// group, maximum on-time), its 6 inputs (name, debounce) and the dead time
// of the interlock groups. Not modal, like the MQTT window. A relay joins a
// group by its number; relays of one number are never on together. Every
// field is checked as it is typed, with the problem beside it and below the
// lists; OK refuses while any is wrong, and otherwise saves board.conf and
// applies the settings at once, while the system runs too. A failed save is
// told and leaves the window open with the entries as they are; Cancel (or
// Escape) leaves everything as it was.
class BoardWindow : public QDialog
{
    Q_OBJECT

public:
    // Groups are numbered 1 to this; no group has fewer than two relays.
    static constexpr int kGroups = safety::kRelays / 2;

    // view: the boxes of the main window.
    BoardWindow(DesktopBoard& board, View& view, QWidget* parent = nullptr);

    // A field that is wrong, with what is wrong with it.
    using Problem = QPair<QWidget*, QString>;
    // The settings the fields give (the rest, such as the start state, as
    // they run); problems lists the fields that are wrong.
    [[nodiscard]] safety::BoardSettings fields(QList<Problem>& problems) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct RelayRow
    {
        QLineEdit* name = nullptr;
        QComboBox* group = nullptr;
        QLineEdit* maxOn = nullptr;
    };
    struct InputRow
    {
        QLineEdit* name = nullptr;
        QSpinBox* debounce = nullptr;
    };

    void loadFields();
    // Marks the wrong fields and shows the problems and the groups.
    void check();
    void okClick();
    // The fields that can be wrong, in tab order.
    [[nodiscard]] QList<QWidget*> checkedFields() const;
    [[nodiscard]] QWidget* relaysBox();
    [[nodiscard]] QWidget* inputsBox();
    [[nodiscard]] QWidget* interlockBox();

    DesktopBoard& m_board;
    View& m_view;
    std::array<RelayRow, safety::kRelays> m_relays;
    std::array<InputRow, safety::kInputs> m_inputs;
    QLineEdit* m_deadTime = nullptr;
    QLabel* m_interlockLine = nullptr;
    QLabel* m_fileState = nullptr;
    QLabel* m_problems = nullptr;
    QPushButton* m_ok = nullptr;
    bool m_loading = false;
};
