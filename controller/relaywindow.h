#pragma once

#include "controller/relay.h"
#include "controller/view.h"

#include <QMainWindow>
#include <QTimer>

#include <array>

class QLabel;
class QPushButton;
class TPortFm;
class TRulesFm;
class TChanFm;
class TLoggerFm;
class THelpFm;

// The main window: shows what the controller tells it and turns clicks into
// controller calls.
class TIOmodFM : public QMainWindow, public View
{
    Q_OBJECT

public:
    struct Windows
    {
        TPortFm* port = nullptr;
        TRulesFm* rules = nullptr;
        TChanFm* chan = nullptr;
        TLoggerFm* logger = nullptr;
        THelpFm* help = nullptr;
    };

    TIOmodFM(SerialLink& serial, const Clock& clock, QWidget* parent = nullptr);

    [[nodiscard]] Controller& core() { return m_core; }
    void setWindows(const Windows& windows) { m_windows = windows; }

    // View
    void setStatusText(int panel, const QString& text) override;
    void setCaption(const QString& caption) override;
    void showError(const QString& text) override;
    void showInformation(const QString& text) override;
    [[nodiscard]] Answer confirm(const QString& text, Buttons buttons) override;
    void showFailure(const QString& text) override;
    void beep() override;
    [[nodiscard]] QString chooseFile(FileDialog dialog) override;
    void showRelayIndicators(quint16 portOut, bool allIdle) override;
    void showInputIndicators(int portIn) override;
    void setLamp(Lamp lamp, bool lit) override;
    void setSetButton(int index, bool set) override;
    void setCountLabel(const QString& text) override;
    [[nodiscard]] bool showPortDialog(QString& portText) override;
    [[nodiscard]] bool showTimerEditor() override;
    [[nodiscard]] bool showRulesEditor() override;
    [[nodiscard]] bool showLoggerWindow() override;
    void showHelp() override;
    [[nodiscard]] bool editorWindowVisible() const override;
    void requestClose() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    void createStatusBar();

    Controller m_core;
    Windows m_windows;
    QTimer m_timer1;
    std::array<QLabel*, 3> m_panels{};
    QPushButton* m_activeButt = nullptr;
};
