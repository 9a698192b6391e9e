// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/mqttwindow.h"

#include "common/view.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

QLineEdit* edit(QWidget* parent, const QString& name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    return field;
}

} // namespace

MqttWindow::MqttWindow(network::DesktopMqtt& mqtt, View& view, QWidget* parent)
    : QDialog(parent), m_mqtt(mqtt), m_view(view)
{
    setObjectName(QStringLiteral("MqttFm"));
    setWindowTitle(tr("MQTT"));
    auto* layout = new QVBoxLayout(this);
    m_enabled = new QCheckBox(tr("Publish and obey MQTT"), this);
    m_enabled->setObjectName(QStringLiteral("MqttEnabled"));
    layout->addWidget(m_enabled);

    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_name = edit(this, QStringLiteral("NameEdit"));
    m_name->setPlaceholderText(network::DefaultBoardName());
    m_host = edit(this, QStringLiteral("HostEdit"));
    m_host->setPlaceholderText(QStringLiteral("localhost"));
    m_port = edit(this, QStringLiteral("PortEdit"));
    m_port->setValidator(new QIntValidator(1, 65535, m_port));
    m_user = edit(this, QStringLiteral("UserEdit"));
    m_password = edit(this, QStringLiteral("PasswordEdit"));
    m_password->setEchoMode(QLineEdit::Password);
    m_passwordFile = edit(this, QStringLiteral("PasswordFileEdit"));
    m_passwordFile->setPlaceholderText(tr("or a file whose first line is the password"));
    m_clientId = edit(this, QStringLiteral("ClientIdEdit"));
    m_clientId->setPlaceholderText(network::DefaultClientId());
    m_caFile = edit(this, QStringLiteral("CaFileEdit"));
    m_caFile->setPlaceholderText(tr("none: the system's CA certificates"));
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile, 1);
    auto* caButt = new QPushButton(tr("C&hoose\u2026"), this);
    caButt->setObjectName(QStringLiteral("CaFileButt"));
    caRow->addWidget(caButt);
    m_tls = new QCheckBox(tr("Use &TLS"), this);
    m_tls->setObjectName(QStringLiteral("TlsCheck"));
    m_prefix = edit(this, QStringLiteral("TopicPrefixEdit"));
    m_discoveryPrefix = edit(this, QStringLiteral("DiscoveryPrefixEdit"));
    m_discovery = new QCheckBox(tr("Announce the board to Home Assistant"), this);
    m_discovery->setObjectName(QStringLiteral("DiscoveryCheck"));
    form->addRow(tr("&Name:"), m_name);
    form->addRow(tr("&Broker host:"), m_host);
    form->addRow(tr("P&ort:"), m_port);
    form->addRow(tr("&User name:"), m_user);
    form->addRow(tr("&Password:"), m_password);
    form->addRow(tr("Password &file:"), m_passwordFile);
    form->addRow(tr("&Client id:"), m_clientId);
    form->addRow(QString(), m_tls);
    // A row of a layout has no buddy of its own: the label needs one for
    // its mnemonic, or it would show the ampersand.
    auto* caLabel = new QLabel(tr("C&A file:"), this);
    caLabel->setBuddy(m_caFile);
    form->addRow(caLabel, caRow);
    form->addRow(tr("Topic p&refix:"), m_prefix);
    form->addRow(tr("&Discovery prefix:"), m_discoveryPrefix);
    form->addRow(QString(), m_discovery);

    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("MqttState"));
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_state->setWordWrap(true);
    layout->addWidget(m_state);
    m_log = new QListWidget(this);
    m_log->setObjectName(QStringLiteral("MqttLog"));
    m_log->setMinimumHeight(120);
    layout->addWidget(m_log, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKButt"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelButt"));
    layout->addWidget(buttons);
    resize(460, 560);

    connect(ok, &QPushButton::clicked, this, &MqttWindow::okClick);
    connect(cancel, &QPushButton::clicked, this, &MqttWindow::reject);
    connect(caButt, &QPushButton::clicked, this, &MqttWindow::chooseCaFile);
    connect(m_name, &QLineEdit::textChanged, this, [this](const QString& name) {
        m_prefix->setPlaceholderText(
            network::DefaultTopicPrefix(name.isEmpty() ? network::DefaultBoardName() : name));
    });
    m_mqtt.setOnChanged([this] { refresh(); });
    loadFields();
    refresh();
}

MqttWindow::~MqttWindow()
{
    m_mqtt.setOnChanged(nullptr);
}

void MqttWindow::showEvent(QShowEvent* event)
{
    // What the window shows is what runs, not what an earlier Cancel left.
    if (!event->spontaneous())
        loadFields();
    refresh();
    QDialog::showEvent(event);
}

void MqttWindow::loadFields()
{
    const network::DesktopMqttSettings& s = m_mqtt.settings();
    m_enabled->setChecked(s.enabled);
    m_name->setText(s.boardName());
    m_host->setText(s.mqtt.host);
    m_port->setText(QString::number(s.mqtt.port));
    m_user->setText(s.mqtt.user);
    m_password->setText(s.mqtt.password);
    m_passwordFile->setText(s.mqtt.passwordFile);
    m_clientId->setText(s.mqtt.clientId);
    m_caFile->setText(s.mqtt.caFile);
    m_tls->setChecked(s.mqtt.tls || !s.mqtt.caFile.isEmpty());
    m_prefix->setText(s.mqtt.topicPrefix);
    m_discoveryPrefix->setText(s.mqtt.discoveryPrefix);
    m_discovery->setChecked(s.mqtt.discovery);
}

network::DesktopMqttSettings MqttWindow::fields() const
{
    // A key of mqtt.conf that the window does not show keeps its value.
    network::DesktopMqttSettings s = m_mqtt.settings();
    s.enabled = m_enabled->isChecked();
    s.name = m_name->text().trimmed();
    s.mqtt.host = m_host->text().trimmed();
    bool ok = false;
    s.mqtt.port = m_port->text().trimmed().toInt(&ok);
    if (!ok)
        s.mqtt.port = 0;
    s.mqtt.user = m_user->text().trimmed();
    s.mqtt.password = m_password->text();
    s.mqtt.passwordFile = m_passwordFile->text().trimmed();
    s.mqtt.clientId = m_clientId->text().trimmed();
    s.mqtt.caFile = m_caFile->text().trimmed();
    s.mqtt.tls = m_tls->isChecked() || !s.mqtt.caFile.isEmpty();
    s.mqtt.topicPrefix = m_prefix->text().trimmed();
    s.mqtt.discoveryPrefix = m_discoveryPrefix->text().trimmed();
    s.mqtt.discovery = m_discovery->isChecked();
    return s;
}

void MqttWindow::refresh()
{
    m_state->setText(m_mqtt.stateText());
    m_log->clear();
    m_log->addItems(m_mqtt.logLines());
    m_log->scrollToBottom();
}

void MqttWindow::okClick()
{
    QString problem;
    if (!m_mqtt.save(fields(), problem)) {
        m_view.showError(problem);
        return;
    }
    accept();
}

void MqttWindow::chooseCaFile()
{
    const QString file = QFileDialog::getOpenFileName(
        this, tr("CA file"), m_caFile->text(), tr("Certificates (*.crt *.pem);;All files (*)"));
    if (!file.isEmpty())
        m_caFile->setText(file);
}
