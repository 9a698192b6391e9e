// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

#include <functional>

// A one-line field behind a key filter. Every way in passes the filter: typed
// keys, pastes (the paste keys, the middle button, the field's menu), drops,
// and texts set from outside the window through setText (an assistive
// technology's editable text, an automation tool). Such a text is judged as
// if typed into the empty field: the characters the filter refuses are
// dropped with one beep, and the field and the window's form hold what is
// left. Only the window's own texts, shown with showText, are taken as they
// are.
class FilteredEdit : public QLineEdit
{
    Q_OBJECT

public:
    // The key filter for one key typed into the field holding text:
    // Backspace (8), Enter (13) or a printable character. True lets the key
    // in; a refused key beeps.
    using KeyFilter = std::function<bool(const QString& text, QChar key)>;
    // The characters of typed that the filter lets into the field holding
    // text, judged in one pass as if typed one by one at its end, no more
    // than room of them (keyfilter::accept). Beeps once if it refused any.
    using TextFilter =
        std::function<QString(const QString& text, QStringView typed, qsizetype room)>;

    FilteredEdit(KeyFilter keyFilter, TextFilter textFilter, QWidget* parent);

    // Shows a text of the window's own, unjudged.
    void showText(const QString& text);

Q_SIGNALS:
    // The text changed other than through showText; it passed the filter.
    void changed(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void insertFiltered(const QString& typed);
    void textSet(const QString& text);
    [[nodiscard]] qsizetype room() const;

    KeyFilter m_keyFilter;
    TextFilter m_textFilter;
    // The text last shown, edited or judged: any other text in textChanged
    // was set from outside.
    QString m_known;
};
