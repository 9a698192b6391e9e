// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace safety {
struct BoardSettings;
}

class RulesForm;
class View;
class QKeyEvent;
class QPlainTextEdit;
class QPushButton;
class RulesForm;

// V217 Rules Editor: shows the rules form's lines in RulesMemo, filters the
// typed keys and leaves the close decision to the form. The text goes from
// the form into the memo when the window opens and back before every close
// query, so the check sees exactly what the user sees.
class TRulesFm : public QDialog
{
    Q_OBJECT

public:
    TRulesFm(RulesForm& form, View& view, QWidget* parent = nullptr);

    // Every way of closing (OK, Cancel, Esc, the close box) ends here and
    // runs the close query first.
    void done(int result) override;

    // The board's interlock groups: a text that switches relays of one
    // group on together is questioned on closing.
    void setBoardSettings(const safety::BoardSettings& settings);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormActivate();
    void CancelButtClick();
    // True when the key event was dealt with here and must not reach the memo.
    bool RulesMemoKeyPress(QKeyEvent* event);
    void showMemoLines();
    [[nodiscard]] QStringList memoLines() const;
    [[nodiscard]] RulesForm& form();

    RulesForm& m_form;
    View& m_view;
    QPlainTextEdit* m_rulesMemo = nullptr;
    QPushButton* m_okButt = nullptr;
    QPushButton* m_cancelButt = nullptr;
};
