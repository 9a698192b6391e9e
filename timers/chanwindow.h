// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QTimer>

#include <array>

class ChanForm;
class FilteredEdit;
class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QWidget;
class View;

namespace safety {
struct BoardSettings;
}

// V217 Relay Timer Details: the window over ChanForm. It copies every change
// of a field's text into the form, turns clicks, key presses and focus changes
// into the form's handlers, and shows the form's state after each of them. A
// failure in a handler shows the failure box through the View.
class TChanFm : public QDialog
{
    Q_OBJECT

public:
    TChanFm(ChanForm& form, View& view, QWidget* parent = nullptr);

    // The title bar and frame around the client area: the outer heights of
    // the form are this much taller than the dialog's own height.
    static constexpr int kFrameHeight = 27;
    static constexpr int kClientWidth = 419;

    // The board's interlock groups and maximum on-times, which OK checks
    // the records against.
    void setBoardSettings(const safety::BoardSettings& settings);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Filter
    {
        Digits,
        Channel,
        Toggle
    };

    FilteredEdit* addEdit(QWidget* parent, const QString& name, int tag, QRect geometry,
                          int maxLength, Filter filter);
    QPushButton* addButton(QWidget* parent, const QString& name, const QString& caption,
                           QRect geometry, void (ChanForm::*handler)());
    // Runs a handler of the form and shows the result.
    template <typename Handler> void call(Handler&& handler);
    void OKButtClick();
    void showState();
    [[nodiscard]] bool keyAccepted(Filter filter, const QString& text, QChar key);
    [[nodiscard]] QString textAccepted(Filter filter, const QString& text, QStringView typed,
                                       qsizetype room);

    ChanForm& m_form;
    View& m_view;
    QTimer m_timer1;
    bool m_placed = false;

    QFrame* m_editsPanel = nullptr;
    QWidget* m_ymdPanel = nullptr;
    FilteredEdit* m_channelEdit = nullptr;
    QLabel* m_recNumLabel = nullptr;
    QLabel* m_timeLabel = nullptr;
    std::array<FilteredEdit*, 13> m_timeEdits{};
    FilteredEdit* m_togOnEdit = nullptr;
    FilteredEdit* m_togOffEdit = nullptr;
    std::array<QCheckBox*, 7> m_dayBoxes{};
    QCheckBox* m_duplicateCB = nullptr;
    std::array<QPushButton*, 4> m_editButtons{}; // Now, Clear, Enter, Cancel
};
