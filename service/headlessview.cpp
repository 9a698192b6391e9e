// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/headlessview.h"

namespace service {

namespace {

QString answerWord(View::Answer answer)
{
    switch (answer) {
    case View::Answer::Ok:
        return QStringLiteral("OK");
    case View::Answer::Yes:
        return QStringLiteral("Yes");
    case View::Answer::No:
        return QStringLiteral("No");
    case View::Answer::Cancel:
        break;
    }
    return QStringLiteral("Cancel");
}

} // namespace

void HeadlessView::log(Level level, const QString& text)
{
    if (m_journal)
        m_journal->write(m_source, level, text);
    for (const auto& [watch, watcher] : std::as_const(m_lineWatchers))
        watcher(text);
}

int HeadlessView::watchLines(std::function<void(const QString&)> watcher)
{
    m_lineWatchers.append({++m_lastWatch, std::move(watcher)});
    return m_lastWatch;
}

void HeadlessView::unwatchLines(int watch)
{
    m_lineWatchers.removeIf([watch](const auto& w) { return w.first == watch; });
}

void HeadlessView::setStatusText(Panel panel, const QString& text)
{
    // The clock panel changes every second and says nothing about the board.
    if (panel == Panel::Clock)
        return;
    QString& last = panel == Panel::Port ? m_portText : m_messageText;
    if (text == last)
        return;
    last = text;
    if (!text.isEmpty())
        log(Level::Info, text);
    if (panel == Panel::Message && m_messageObserver)
        m_messageObserver(text);
}

void HeadlessView::showError(const QString& text)
{
    m_errorBoxes.append(text);
    log(Level::Error, text);
}

void HeadlessView::showInformation(const QString& text)
{
    log(Level::Warning, text);
}

View::Answer HeadlessView::confirm(const QString& text, Buttons, Answer escape)
{
    log(Level::Warning, text + QStringLiteral(" - answered ") + answerWord(escape));
    return escape;
}

void HeadlessView::showFailure(const QString& text)
{
    m_errorBoxes.append(text);
    log(Level::Error, text);
}

} // namespace service
