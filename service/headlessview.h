// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/view.h"
#include "service/journal.h"

#include <QStringList>

#include <functional>

// The controller's view when nobody is at the screen: every status text and
// every box becomes one log line with the board's name, every question gets
// its safe answer (the one Esc would give), every dialog and editor is
// cancelled, and the indicators are not drawn.
namespace service {

class HeadlessView final : public View
{
public:
    // journal null: nothing is written, the boxes are only collected (a
    // project check on a scratch controller).
    HeadlessView(QString source, Journal* journal) : m_source(std::move(source)), m_journal(journal)
    {
    }

    // The texts of the error and failure boxes since the last clearBoxes().
    [[nodiscard]] const QStringList& errorBoxes() const { return m_errorBoxes; }
    void clearBoxes() { m_errorBoxes.clear(); }
    // Told each new text of the message panel.
    void setMessageObserver(std::function<void(const QString&)> observer)
    {
        m_messageObserver = std::move(observer);
    }

    // Told every line the view writes to the journal, for the web panel's
    // last messages; the number given back stops it.
    int watchLines(std::function<void(const QString&)> watcher);
    void unwatchLines(int watch);

    void setStatusText(Panel panel, const QString& text) override;
    void setCaption(const QString&) override {}
    void showError(const QString& text) override;
    void showInformation(const QString& text) override;
    [[nodiscard]] Answer confirm(const QString& text, Buttons buttons, Answer escape) override;
    void showFailure(const QString& text) override;
    void beep() override {}
    [[nodiscard]] QString chooseFile(FileDialog) override { return {}; }
    [[nodiscard]] QString askText(const QString&, const QString&) override { return {}; }
    void showRelayIndicators(quint16, bool) override {}
    void showInputIndicators(int) override {}
    void setLamp(Lamp, bool) override {}
    void setSetButton(int, bool) override {}
    void setCountLabel(const QString&) override {}
    [[nodiscard]] bool showPortDialog(QString&) override { return false; }
    [[nodiscard]] bool showTimerEditor() override { return false; }
    [[nodiscard]] bool showRulesEditor() override { return false; }
    [[nodiscard]] bool showLoggerWindow() override { return false; }
    void showHelp() override {}
    [[nodiscard]] bool editorWindowVisible() const override { return false; }
    void requestClose() override {}

private:
    void log(Level level, const QString& text);

    QString m_source;
    Journal* m_journal;
    QStringList m_errorBoxes;
    // The last text of the port and message panels: a text set again
    // unchanged is not logged again.
    QString m_portText;
    QString m_messageText;
    std::function<void(const QString&)> m_messageObserver;
    QList<std::pair<int, std::function<void(const QString&)>>> m_lineWatchers;
    int m_lastWatch = 0;
};

} // namespace service
