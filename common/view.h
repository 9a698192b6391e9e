// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/conversions.h"

#include <QString>
#include <QtGlobal>

#include <exception>

// Everything the controller shows the user or asks the user goes through this
// interface: the main window implements it, tests implement it with a
// recording fake that answers questions and reads every status text.
class View
{
public:
    enum class Answer
    {
        Ok,
        Yes,
        No,
        Cancel
    };
    enum class Buttons
    {
        YesNo,
        YesNoCancel
    };
    // The lamp switches and lamp buttons of the main window.
    enum class Lamp
    {
        Activate,
        Timers,
        InputRules,
        LogTimer,
        LogNow,
        SetAll,
        ClearAll,
        Activity
    };
    // The three file dialogs of the main window.
    enum class FileDialog
    {
        SaveLog,
        OpenProject,
        SaveProject
    };

    virtual ~View() = default;

    // The three panels of the status bar, numbered from the left.
    enum class Panel
    {
        Port = 0,
        Message = 1,
        Clock = 2
    };

    virtual void setStatusText(Panel panel, const QString& text) = 0;
    virtual void setCaption(const QString& caption) = 0;

    // Modal boxes. Error: caption "Error", OK. Information: caption
    // "Information", OK. Confirmation: caption "Confirm", "&Yes"/"&No"
    // (and "Cancel"). Failure: caption "QMX V217", error icon, OK; the text is
    // already completed with its final ".".
    virtual void showError(const QString& text) = 0;
    virtual void showInformation(const QString& text) = 0;
    // `escape` is the answer that Esc and the box's close button give: each
    // question names its safe side, the one that loses nothing.
    [[nodiscard]] virtual Answer confirm(const QString& text, Buttons buttons, Answer escape) = 0;
    virtual void showFailure(const QString& text) = 0;
    virtual void beep() = 0;

    // File dialogs; an empty result means the user cancelled.
    [[nodiscard]] virtual QString chooseFile(FileDialog dialog) = 0;
    // A one-line text asked for in a small box with the caption title, the
    // prompt above the line, OK and Cancel; an empty result means the user
    // cancelled (or confirmed an empty line).
    [[nodiscard]] virtual QString askText(const QString& title, const QString& prompt) = 0;

    // Indicators. Relays: the idle face for all when allIdle, else the on or
    // off face from portOut. Inputs: the two-lamp picture of each input
    // recoloured from portIn.
    virtual void showRelayIndicators(quint16 portOut, bool allIdle) = 0;
    virtual void showInputIndicators(int portIn) = 0;
    virtual void setLamp(Lamp lamp, bool lit) = 0;
    // SET button of relay index (0 = relay 1): green lamp when set, red when clear.
    virtual void setSetButton(int index, bool set) = 0;
    virtual void setCountLabel(const QString& text) = 0;

    // Modal windows. Each returns true when the window closed with OK. The
    // editors work on the controller's form objects (timer editor, rules
    // editor, logger window); the port dialog on the text passed in and out.
    [[nodiscard]] virtual bool showPortDialog(QString& portText) = 0;
    [[nodiscard]] virtual bool showTimerEditor() = 0;
    [[nodiscard]] virtual bool showRulesEditor() = 0;
    [[nodiscard]] virtual bool showLoggerWindow() = 0;
    virtual void showHelp() = 0;
    // True while the timer editor or the logger window is visible: the clock
    // panel stands still then.
    [[nodiscard]] virtual bool editorWindowVisible() const = 0;
    // Ask the main window to close; the close query decides.
    virtual void requestClose() = 0;
};

// Runs a handler of the controller or of a window; a failure it does not
// catch itself ends it and shows the failure box captioned "QMX V217". The
// program then goes on.
template <typename Handler> void runHandler(View& view, Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        view.showFailure(failureText(e));
    }
}
