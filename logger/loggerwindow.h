// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <array>

class Clock;
class FilteredEdit;
class LoggerForm;
class QPushButton;
class View;

// V217 Logger Time Details: the schedule of the input logger. A thin window
// over the controller's LoggerForm, which holds the field texts, the stored
// values and the checks; this class mirrors the texts and turns clicks, key
// presses and focus changes into LoggerForm calls. Every way into a field
// passes its key filter (FilteredEdit).
class TLoggerFm : public QDialog
{
    Q_OBJECT

public:
    TLoggerFm(LoggerForm& form, View& view, const Clock& clock, QWidget* parent = nullptr);

    void NowButtClick();
    void ClearButtClick();
    void OKButtClick();
    void CancelButtClick();

    // Escape and the close box close the window like Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the stored values in the fields (the window becoming active).
    void FormActivate();
    // Copies the form's texts into the edit boxes.
    void showFields();
    [[nodiscard]] int fieldOf(const QObject* object) const;
    [[nodiscard]] bool keyAccepted(size_t field, QChar key);
    [[nodiscard]] QString textAccepted(size_t field, const QString& text, QStringView typed,
                                       qsizetype room);

    LoggerForm& m_form;
    View& m_view;
    const Clock& m_clock;
    std::array<FilteredEdit*, 13> m_edits{};
    QPushButton* m_nowButt = nullptr;
    QPushButton* m_clearButt = nullptr;
    QPushButton* m_okButt = nullptr;
    QPushButton* m_cancelButt = nullptr;
};
