// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/view.h"
#include "controller/relay.h"

#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>

#include <array>
#include <functional>

class QAbstractButton;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;
class TPortFm;
class TRulesFm;
class TChanFm;
class TLoggerFm;
class THelpFm;
namespace safety {
struct BoardSettings;
}

// The main window: shows what the controller tells it and turns clicks and
// its tick into controller calls; the modal windows it opens for the
// controller are given to it whole. Its controls are placed in pixels from
// one table (mainwindowtable.cpp) and carry their system names as object
// names.
class TIOmodFM : public QMainWindow, public View
{
    Q_OBJECT

public:
    struct Windows
    {
        TPortFm& port;
        TRulesFm& rules;
        TChanFm& chan;
        TLoggerFm& logger;
        THelpFm& help;
    };

    // The client area below the menu bar, with the status bar along its foot.
    static constexpr QSize kClientSize{396, 350};

    TIOmodFM(Controller& core, const Windows& windows, QWidget* parent = nullptr);

    // A window of the View menu: the item shows it, or raises it when it is
    // open already. The windows are not modal and keep their own place.
    void addViewWindow(const QString& text, const QString& name, QWidget& window);
    // A window of the Port menu, after its Set item; shown the same way.
    void addPortWindow(const QString& text, const QString& name, QWidget& window);
    // The names of the board's relays and inputs, in the tooltips of their
    // lamps and SET buttons; without names the tooltips are the usual ones.
    void showBoardNames(const safety::BoardSettings& settings);
    // Told each new text of the message panel.
    void setMessageObserver(std::function<void(const QString&)> observer)
    {
        m_messageObserver = std::move(observer);
    }

    // View
    void setStatusText(Panel panel, const QString& text) override;
    void setCaption(const QString& caption) override;
    void showError(const QString& text) override;
    void showInformation(const QString& text) override;
    [[nodiscard]] Answer confirm(const QString& text, Buttons buttons, Answer escape) override;
    void showFailure(const QString& text) override;
    void beep() override;
    [[nodiscard]] QString chooseFile(FileDialog dialog) override;
    [[nodiscard]] QString askText(const QString& title, const QString& prompt) override;
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
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void createStatusBar();
    void connectControls();
    void connectButton(const QString& name, void (Controller::*handler)());
    void addWindowItem(QMenu& menu, const QString& text, const QString& name, QWidget& window);
    [[nodiscard]] QLabel* pictureLabel(const QString& name) const;
    bool pressFeedback(QObject* watched, QEvent* event);

    Controller& m_core;
    Windows m_windows;
    QTimer m_timer1;
    QWidget* m_client = nullptr;
    QMenu* m_portMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    std::function<void(const QString&)> m_messageObserver;
    std::array<QLabel*, 3> m_panels{};
    std::array<QLabel*, 16> m_relayIndicators{};
    std::array<QLabel*, 6> m_inputIndicators{};
    std::array<QImage, 6> m_inputPictures;
    std::array<QToolButton*, 16> m_setButtons{};
    // "02 (Pump)", or empty for a relay without a name.
    std::array<QString, 16> m_relayLabels;
    QPixmap m_onFace;
    QPixmap m_offFace;
    QPixmap m_allOffFace;
    QImage m_ledPicture;
    QLabel* m_ledImage = nullptr;
    QWidget* m_statusBar = nullptr;
    QPushButton* m_setAllButt = nullptr;
    QPushButton* m_clearAllButt = nullptr;
    bool m_centred = false;
};
