// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/ruleswindow.h"

#include "common/view.h"
#include "rules/rules.h"
#include "rules/rulesform.h"
#include "windowkit/pixelform.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// The memo of the rules editor. Every paste (the paste keys, the middle
// button, the memo's menu) and every drop comes through insertFromMimeData,
// where it takes the filter of typed keys: line breaks stay line breaks,
// refused characters are dropped with one beep.
class RulesMemoEdit : public QPlainTextEdit
{
public:
    RulesMemoEdit(View& view, QWidget* parent) : QPlainTextEdit(parent), m_view(view) {}

protected:
    void insertFromMimeData(const QMimeData* source) override
    {
        QString text = source->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QString accepted;
        accepted.reserve(text.size());
        bool refused = false;
        for (const QChar c : std::as_const(text)) {
            if (c == QChar(8))
                continue; // a key, not a character of the text
            const QChar kept = c == QLatin1Char('\n') ? c : rules::RulesMemoKeyPress(c);
            if (kept.isNull())
                refused = true;
            else
                accepted += kept;
        }
        if (refused)
            m_view.beep();
        QMimeData filtered;
        filtered.setText(accepted);
        QPlainTextEdit::insertFromMimeData(&filtered);
    }

private:
    View& m_view;
};

} // namespace

using pixelform::place;

TRulesFm::TRulesFm(RulesForm& form, View& view, QWidget* parent)
    : QDialog(parent), m_form(form), m_view(view)
{
    setObjectName(QStringLiteral("RulesFm"));
    setWindowTitle(QStringLiteral("V217 Rules Editor"));
    pixelform::setupFixedWindow(this, QSize(383, 254), pixelform::WindowFont::Desktop);

    m_rulesMemo =
        place<RulesMemoEdit>(this, QStringLiteral("RulesMemo"), QRect(0, 0, 383, 217), view);
    m_rulesMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_rulesMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_rulesMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab moves on to the buttons, as in any dialog; it is not rule text.
    m_rulesMemo->setTabChangesFocus(true);
    // Every typed character must come as a key event through the filter.
    m_rulesMemo->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_rulesMemo->installEventFilter(this);

    m_okButt = place<QPushButton>(this, QStringLiteral("OKbutt"), QRect(61, 224, 75, 25),
                                  QStringLiteral("OK"));
    m_okButt->setDefault(true);
    connect(m_okButt, &QPushButton::clicked, this, &QDialog::accept);

    m_cancelButt = place<QPushButton>(this, QStringLiteral("CancelButt"), QRect(248, 224, 75, 25),
                                      QStringLiteral("Cancel"));
    connect(m_cancelButt, &QPushButton::clicked, this, &TRulesFm::CancelButtClick);
}

RulesForm& TRulesFm::form()
{
    return m_form;
}

void TRulesFm::setBoardSettings(const safety::BoardSettings& settings)
{
    form().setBoardSettings(settings);
}

void TRulesFm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored by the window system keeps the text being edited.
    if (event->spontaneous())
        return;
    pixelform::centreOnScreen(this);
    showMemoLines();
    FormActivate();
}

void TRulesFm::FormActivate()
{
    m_rulesMemo->setFocus();
    form().FormActivate();
    m_rulesMemo->document()->setModified(false);
}

void TRulesFm::CancelButtClick()
{
    form().CancelButtClick();
    reject();
}

void TRulesFm::done(int result)
{
    RulesForm& rules = form();
    rules.RulesMemo = memoLines();
    rules.Modified = m_rulesMemo->document()->isModified();
    const bool canClose = rules.FormCloseQuery(m_view);
    // The check removes blank lines; the user sees the text it judged.
    if (rules.RulesMemo != memoLines()) {
        showMemoLines();
        m_rulesMemo->document()->setModified(rules.Modified);
    }
    if (canClose)
        QDialog::done(result);
}

void TRulesFm::keyPressEvent(QKeyEvent* event)
{
    // Esc is the Cancel button's key: the text is dropped unchecked. The close
    // box, in contrast, still checks it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_cancelButt->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TRulesFm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_rulesMemo && event->type() == QEvent::KeyPress)
        return RulesMemoKeyPress(static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool TRulesFm::RulesMemoKeyPress(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Escape || key == Qt::Key_Tab || key == Qt::Key_Backtab)
        return false;
    const bool chord =
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    QString typed = event->text();
    if (typed.isEmpty()) {
        // Keys that type nothing (arrows, Delete, Home) edit as usual; a
        // chord on a letter (copy, paste, select all) is a control character
        // and is dropped like one, whatever the platform put in its text.
        if (!(chord && key >= Qt::Key_A && key <= Qt::Key_Z))
            return false;
        typed = QString(QChar(key - Qt::Key_A + 1));
    } else if (chord && typed.at(0).isPrint()) {
        typed = QString(QChar(1));
    } else if (!chord && !typed.at(0).isPrint() && typed.at(0) != QChar(8) &&
               typed.at(0) != QChar(13)) {
        // Delete carries "\x7f" as its text on X11: a key that types
        // nothing, which edits as usual.
        return false;
    }

    QString accepted;
    for (const QChar c : std::as_const(typed)) {
        if (const QChar kept = rules::RulesMemoKeyPress(c); !kept.isNull())
            accepted += kept;
    }
    if (accepted.size() != typed.size())
        m_view.beep();
    if (accepted.isEmpty())
        return true;
    if (accepted == typed)
        return false;
    // The editor types the filtered character in place of the typed one. It
    // passes the filter unchanged, so this does not come back here.
    QKeyEvent filtered(QEvent::KeyPress, key, event->modifiers(), accepted, event->isAutoRepeat(),
                       static_cast<ushort>(event->count()));
    QCoreApplication::sendEvent(m_rulesMemo, &filtered);
    return true;
}

void TRulesFm::showMemoLines()
{
    m_rulesMemo->setPlainText(form().RulesMemo.join(QLatin1Char('\n')));
}

QStringList TRulesFm::memoLines() const
{
    return m_rulesMemo->toPlainText().split(QLatin1Char('\n'));
}
