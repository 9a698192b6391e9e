// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/view.h"

#include <QList>
#include <QMap>
#include <QString>

#include <array>
#include <deque>
#include <functional>

// A view that records everything the controller shows and answers every
// question from a queue the test fills (Yes when the queue is empty), or as
// Esc would when escapeQuestions is set.
class FakeView final : public View
{
public:
    struct Box
    {
        QString kind; // "Error", "Information", "Confirm", "Failure"
        QString text;
        // What Esc or the close button answers: OK for a box with only OK.
        Answer escape = Answer::Ok;
    };

    void setStatusText(Panel panel, const QString& text) override
    {
        const auto index = static_cast<size_t>(panel);
        status.at(index) = text;
        statusHistory.at(index).append(text);
    }
    void setCaption(const QString& text) override { caption = text; }
    void showError(const QString& text) override { addBox(QStringLiteral("Error"), text); }
    void showInformation(const QString& text) override
    {
        addBox(QStringLiteral("Information"), text);
    }
    Answer confirm(const QString& text, Buttons buttons, Answer escape) override
    {
        boxes.append({QStringLiteral("Confirm"), text, escape});
        lastButtons = buttons;
        if (onConfirm)
            onConfirm();
        if (escapeQuestions)
            return escape;
        if (answers.empty())
            return Answer::Yes;
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void showFailure(const QString& text) override { addBox(QStringLiteral("Failure"), text); }
    void beep() override { ++beeps; }
    QString chooseFile(FileDialog dialog) override
    {
        fileDialogs.append(dialog);
        if (files.empty())
            return {};
        const QString file = files.front();
        files.pop_front();
        return file;
    }
    QString askText(const QString& title, const QString& prompt) override
    {
        textPrompts.append(title + QLatin1Char('|') + prompt);
        if (texts.empty())
            return {};
        const QString text = texts.front();
        texts.pop_front();
        return text;
    }
    void showRelayIndicators(quint16 portOut, bool allIdle) override
    {
        relayWord = portOut;
        relaysIdle = allIdle;
        ++relayRedraws;
    }
    void showInputIndicators(int portIn) override
    {
        inputWord = portIn;
        ++inputRedraws;
    }
    void setLamp(Lamp lamp, bool lit) override { lamps[lamp] = lit; }
    void setSetButton(int index, bool set) override
    {
        setButtons.at(static_cast<size_t>(index)) = set;
    }
    void setCountLabel(const QString& text) override { countLabel = text; }
    bool showPortDialog(QString& portText) override
    {
        portDialogShownWith = portText;
        return onPortDialog ? onPortDialog(portText) : false;
    }
    bool showTimerEditor() override { return onTimerEditor ? onTimerEditor() : false; }
    bool showRulesEditor() override { return onRulesEditor ? onRulesEditor() : false; }
    bool showLoggerWindow() override { return onLoggerWindow ? onLoggerWindow() : false; }
    void showHelp() override { ++helpShown; }
    bool editorWindowVisible() const override { return editorVisible; }
    void requestClose() override { ++closeRequests; }

    [[nodiscard]] QStringList boxTexts() const
    {
        QStringList texts;
        for (const Box& box : boxes)
            texts.append(box.text);
        return texts;
    }
    [[nodiscard]] bool lamp(Lamp which) const { return lamps.value(which, false); }

    std::array<QString, 3> status{QStringLiteral("COM x"), QStringLiteral("Ready"), QString()};
    std::array<QStringList, 3> statusHistory;
    QString caption;
    QList<Box> boxes;
    std::deque<Answer> answers;
    bool escapeQuestions = false;
    Buttons lastButtons = Buttons::YesNo;
    int beeps = 0;
    QList<FileDialog> fileDialogs;
    std::deque<QString> files;
    // The prompts asked ("title|prompt") and the texts typed into them, in
    // turn (an empty queue cancels).
    QStringList textPrompts;
    std::deque<QString> texts;
    quint16 relayWord = 0;
    bool relaysIdle = true;
    int relayRedraws = 0;
    int inputWord = 0;
    int inputRedraws = 0;
    QMap<Lamp, bool> lamps;
    std::array<bool, 16> setButtons{};
    QString countLabel;
    QString portDialogShownWith;
    // Runs while a question is open, as the poll cycle does in its nested loop.
    std::function<void()> onConfirm;
    std::function<bool(QString&)> onPortDialog;
    std::function<bool()> onTimerEditor;
    std::function<bool()> onRulesEditor;
    std::function<bool()> onLoggerWindow;
    int helpShown = 0;
    bool editorVisible = false;
    int closeRequests = 0;

private:
    void addBox(const QString& kind, const QString& text) { boxes.append({kind, text}); }
};
