// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowkit/filterededit.h"

#include "common/keyfilter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

FilteredEdit::FilteredEdit(KeyFilter keyFilter, TextFilter textFilter, QWidget* parent)
    : QLineEdit(parent), m_keyFilter(std::move(keyFilter)), m_textFilter(std::move(textFilter))
{
    // An input method would hand over its text without a key event.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    // textEdited comes before textChanged: what the user did through this
    // class is known by then.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_known = text;
        Q_EMIT changed(text);
    });
    connect(this, &QLineEdit::textChanged, this, &FilteredEdit::textSet);
}

void FilteredEdit::showText(const QString& text)
{
    // Setting the text it already holds would still move the caret to the
    // end while the user types.
    if (text == this->text())
        return;
    m_known = text.left(maxLength());
    setText(text);
}

qsizetype FilteredEdit::room() const
{
    return maxLength() - (text().size() - selectedText().size());
}

void FilteredEdit::insertFiltered(const QString& typed)
{
    const QString accepted = m_textFilter(text(), typed, room());
    if (!accepted.isEmpty())
        insert(accepted);
}

// A text set from outside is judged as if typed into the empty field.
void FilteredEdit::textSet(const QString& text)
{
    if (text == m_known)
        return;
    m_known = m_textFilter(QString(), text, maxLength());
    if (m_known != text)
        setText(m_known);
    Q_EMIT changed(m_known);
}

void FilteredEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste)) {
        insertFiltered(QGuiApplication::clipboard()->text());
        return;
    }
    QString typed;
    if (event->key() == Qt::Key_Backspace)
        typed = keyfilter::kBackspace;
    else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        typed = keyfilter::kEnter;
    else if (!(event->modifiers() & Qt::ControlModifier))
        typed = event->text();
    // Only printable characters are judged. Esc, Tab and Delete carry a
    // control character as their text on X11, and chords such as Ctrl+C
    // type nothing: they edit, move or close as usual.
    if (typed.isEmpty() ||
        (typed.size() == 1 && !typed.front().isPrint() && typed.front() != keyfilter::kBackspace &&
         typed.front() != keyfilter::kEnter)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (typed.size() > 1) {
        insertFiltered(typed);
        return;
    }
    if (m_keyFilter(text(), typed.front()))
        QLineEdit::keyPressEvent(event);
}

void FilteredEdit::mouseReleaseEvent(QMouseEvent* event)
{
    // The selection paste of the middle button; the press has put the caret.
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() != Qt::MiddleButton || !clipboard->supportsSelection() || isReadOnly()) {
        QLineEdit::mouseReleaseEvent(event);
        return;
    }
    deselect();
    insertFiltered(clipboard->text(QClipboard::Selection));
}

void FilteredEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The menu's Paste is known by its caption, "&Paste" and the shortcut
    // after a tab, in the translation QLineEdit itself uses.
    const QString pasteCaption = QLineEdit::tr("&Paste");
    for (QAction* action : menu->actions()) {
        if (action->text().section(QLatin1Char('\t'), 0, 0) != pasteCaption)
            continue;
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this,
                [this] { insertFiltered(QGuiApplication::clipboard()->text()); });
    }
    menu->popup(event->globalPos());
}

void FilteredEdit::dropEvent(QDropEvent* event)
{
    const QString accepted =
        m_textFilter(text(), event->mimeData()->text(), maxLength() - text().size());
    if (accepted.isEmpty()) {
        event->ignore();
        return;
    }
    QMimeData filtered;
    filtered.setText(accepted);
    QDropEvent judged(event->position(), event->possibleActions(), &filtered, event->buttons(),
                      event->modifiers(), event->type());
    judged.setDropAction(event->dropAction());
    QLineEdit::dropEvent(&judged);
    event->setDropAction(judged.dropAction());
    event->setAccepted(judged.isAccepted());
}
