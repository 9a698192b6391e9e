// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopmqtt.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class View;

// The MQTT window of the Port menu: the settings of the desktop's MQTT
// connection, its state and its last lines. Not modal: it stays open beside
// the main window and follows the connection as it goes. OK checks and
// saves the settings and connects with them (or disconnects when MQTT is
// turned off); Cancel leaves everything as it was. The password field never
// shows its text.
class MqttWindow : public QDialog
{
    Q_OBJECT

public:
    // view: the boxes of the main window.
    MqttWindow(network::DesktopMqtt& mqtt, View& view, QWidget* parent = nullptr);
    ~MqttWindow() override;

    // The fields as the user has filled them in.
    [[nodiscard]] network::DesktopMqttSettings fields() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void loadFields();
    void refresh();
    void okClick();
    void chooseCaFile();

    network::DesktopMqtt& m_mqtt;
    View& m_view;
    QCheckBox* m_enabled = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_passwordFile = nullptr;
    QLineEdit* m_clientId = nullptr;
    QLineEdit* m_caFile = nullptr;
    QLineEdit* m_prefix = nullptr;
    QLineEdit* m_discoveryPrefix = nullptr;
    QCheckBox* m_discovery = nullptr;
    // TLS; a CA file named switches it on too.
    QCheckBox* m_tls = nullptr;
    QLabel* m_state = nullptr;
    QListWidget* m_log = nullptr;
};
