// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/boardprobe.h"
#include "serial/serialdevices.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class SerialLink;
class View;

namespace board {
class PollCycle;
class PortSelection;
} // namespace board

// Port -> Devices: the serial devices of this machine as the survey sees
// them, the COM links of the port folder, and what to do with a device:
// link it as a COM number and open that port as Port -> Set would, add one
// discovery cannot know by its path, or ask it whether a V217 is there. Not
// modal; it keeps its place in a file of its own and follows the devices
// coming and going while it is open.
class DevicesWindow : public QWidget
{
    Q_OBJECT

public:
    // The survey and the root it reads under ("/" on the machine, where the
    // devices' names are their paths), the port it opens, the poll cycle and
    // the serial link it checks against, and the view that shows its boxes
    // and asks for paths; the owner keeps them alive.
    DevicesWindow(SerialDevices& devices, const QString& root, board::PortSelection& port,
                  const board::PollCycle& poll, const SerialLink& serial, View& view,
                  QWidget* parent = nullptr);

    // Reads the survey again; the selected device stays selected.
    void refresh();
    // The device selected in the table, if any.
    [[nodiscard]] const SerialDeviceInfo* selectedDevice() const;
    [[nodiscard]] const DeviceSurvey& survey() const { return m_survey; }

    static inline const QString kPlaceName = QStringLiteral("devices");

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LinkButtonClick();
    void AddPathButtonClick();
    void IdentifyButtonClick();
    void showProbeResult();
    void select(const QString& node);
    void updateButtons();
    void fitColumns();
    [[nodiscard]] bool isActiveBoardPort(const QString& node) const;
    // Where a path as the system names it is found under the root.
    [[nodiscard]] QString underRoot(const QString& path) const;

    SerialDevices& m_devices;
    const QString m_root;
    board::PortSelection& m_port;
    const board::PollCycle& m_poll;
    const SerialLink& m_serial;
    View& m_view;
    DeviceSurvey m_survey;
    board::BoardProbe m_probe;

    QLabel* m_source = nullptr;
    QTableWidget* m_deviceTable = nullptr;
    QTableWidget* m_linkTable = nullptr;
    QSpinBox* m_comNumber = nullptr;
    QPushButton* m_link = nullptr;
    QPushButton* m_addPath = nullptr;
    QPushButton* m_identify = nullptr;
    QLabel* m_identifyResult = nullptr;
    bool m_placed = false;
    bool m_surveyed = false;
    bool m_watching = false;
};
