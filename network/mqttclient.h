// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

struct mosquitto;
struct mosquitto_message;

// An MQTT client on libmosquitto that lives in the thread of the Qt event
// loop which created it: its socket is watched by QSocketNotifiers, its
// housekeeping (keep-alive pings, resends) runs on a QTimer, and every
// callback below is called from that loop. No call waits for the network:
// the library's connect, which looks the broker's host name up with the
// blocking getaddrinfo, runs on a thread of its own while the client leaves
// the library alone, and hands the connection back to the event loop; the
// last messages of a client destroyed while the event loop runs leave from
// the event loop after it is gone (within kDrainTime). Only a client
// destroyed after its event loop has ended writes them before it returns,
// each wait bounded.
//
// A connection that cannot be made or is lost is made again after 1 s,
// doubling up to 30 s. What was published while not connected is dropped:
// the owner republishes its retained state from onConnected.
namespace network {

class MqttClient : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        QString host = QStringLiteral("localhost");
        int port = 1883;
        QString clientId;
        QString user;
        // Never written to a log line.
        QString password;
        // TLS with this CA file, the broker's certificate checked against it
        // and against the host name; while the file cannot be read, each
        // attempt fails as a lost connection does, never in plain TCP.
        // Empty: plain TCP, unless tls is set.
        QString caFile;
        // TLS with the system's CA certificates when no CA file is named.
        bool tls = false;
        // The broker publishes this (retained) when the connection dies.
        QString willTopic;
        QByteArray willPayload;
        // How long a connection may wait for the broker's acceptance.
        std::chrono::milliseconds answerTime = kAnswerTime;
    };

    static constexpr std::chrono::milliseconds kFirstRetry{1000};
    static constexpr std::chrono::milliseconds kLastRetry{30000};
    static constexpr int kKeepAliveSeconds = 30;
    // A broker that takes the connection but does not accept it within
    // this time counts as lost: neither the keep-alive nor the system ends
    // such an attempt (a host that holds TCP connections but no broker, a
    // network that drops what comes back).
    static constexpr std::chrono::milliseconds kAnswerTime{10000};
    // How long the last messages of a destroyed client may take to leave.
    static constexpr std::chrono::milliseconds kDrainTime{5000};

    explicit MqttClient(Settings settings, QObject* parent = nullptr);
    // A connected client publishes what it was asked to last, sends the
    // disconnect and leaves; the broker does not publish the will then.
    ~MqttClient() override;
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Called once the broker has accepted the connection (every time).
    void setOnConnected(std::function<void()> handler) { m_onConnected = std::move(handler); }
    // A message on a subscribed topic; retained: the broker kept it from
    // before this subscription was made (a new connection, a new
    // subscription), rather than passing it on as it was published.
    void setOnMessage(
        std::function<void(const QString& topic, const QByteArray& payload, bool retained)> handler)
    {
        m_onMessage = std::move(handler);
    }
    void setOnMessage(std::function<void(const QString& topic, const QByteArray& payload)> handler)
    {
        m_onMessage = [handler = std::move(handler)](const QString& topic,
                                                     const QByteArray& payload,
                                                     bool) { handler(topic, payload); };
    }
    // A line for the log: connection made, lost, refused.
    void setOnLog(std::function<void(bool warning, const QString& text)> handler)
    {
        m_onLog = std::move(handler);
    }

    // The broker answered the connection with a refusal, in its words; the
    // client tries again as after a lost connection.
    void setOnRefused(std::function<void(const QString& reason)> handler)
    {
        m_onRefused = std::move(handler);
    }

    // Starts connecting; the first attempt is made now.
    void start();
    [[nodiscard]] bool connected() const { return m_connected; }
    // QoS 0; false when not connected (nothing is queued).
    bool publish(const QString& topic, const QByteArray& payload, bool retain);
    // Subscriptions are made again on every connection.
    void subscribe(const QString& topic);

private:
    struct Connecting;

    bool setUpTls();
    void attempt();
    // Called by name from the connect's thread, so that the queued call is
    // made by Qt itself.
    Q_INVOKABLE void connectStarted();
    void watchSocket();
    void unwatchSocket();
    void lost(const QString& why);
    void readReady();
    void writeReady();
    void housekeeping();
    void updateWriteWatch();
    void log(bool warning, const QString& text);

    static void connectCallback(struct mosquitto*, void* self, int rc);
    static void logCallback(struct mosquitto*, void* self, int level, const char* text);
    static void connectingLogCallback(struct mosquitto*, void* connecting, int level,
                                      const char* text);
    static void messageCallback(struct mosquitto*, void* self, const mosquitto_message* m);

    Settings m_settings;
    struct mosquitto* m_mosq = nullptr;
    // While the library connects on its own thread: nothing here touches
    // m_mosq then.
    Connecting* m_connecting = nullptr;
    std::unique_ptr<QSocketNotifier> m_read;
    std::unique_ptr<QSocketNotifier> m_write;
    QTimer m_misc;
    QTimer m_retry;
    QTimer m_answer;
    std::chrono::milliseconds m_nextWait = kFirstRetry;
    QStringList m_subscriptions;
    bool m_connected = false;
    bool m_tlsReady = false;
    // The library's error lines since the last attempt.
    QStringList m_libraryErrors;
    std::function<void()> m_onConnected;
    std::function<void(const QString&, const QByteArray&, bool)> m_onMessage;
    std::function<void(bool, const QString&)> m_onLog;
    std::function<void(const QString&)> m_onRefused;
};

} // namespace network
