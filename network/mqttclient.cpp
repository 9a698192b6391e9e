// SPDX-License-Identifier: GPL-3.0-or-later
#include "network/mqttclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include <poll.h>

namespace network {

// What the client and the thread of its connect share. The client may be
// destroyed before the connect returns: the thread then destroys the
// library's handle itself.
struct MqttClient::Connecting
{
    // The client's hold and the thread's; the last to let go deletes it.
    static void release(Connecting* connecting)
    {
        bool last = false;
        {
            const std::lock_guard guard(connecting->lock);
            last = --connecting->holders == 0;
        }
        if (last)
            delete connecting;
    }

    std::mutex lock;
    int holders = 2;
    // Null once the client is gone.
    MqttClient* client = nullptr;
    // The connect has returned and its result is on its way to the client.
    bool done = false;
    int rc = MOSQ_ERR_SUCCESS;
    int error = 0;
    // The library's error lines during the connect.
    QStringList errors;
};

namespace {

// Writes what the library still holds for the socket, each wait bounded,
// for kDrainTime at most.
void flushBlocking(struct mosquitto* mosq, std::chrono::milliseconds limit)
{
    const int fd = mosquitto_socket(mosq);
    QElapsedTimer spent;
    spent.start();
    while (fd >= 0 && mosquitto_want_write(mosq) && spent.elapsed() < limit.count()) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 50) < 0 || mosquitto_loop_write(mosq, 1) != MOSQ_ERR_SUCCESS)
            break;
    }
}

// The last messages and the disconnect of a client that is gone, written
// from the event loop as the socket takes them; the handle is destroyed
// once they are out, after kDrainTime, or when the application's event loop
// ends (writing what is left then, bounded, as nothing waits any more).
class Drain : public QObject
{
public:
    explicit Drain(struct mosquitto* mosq)
        : m_mosq(mosq), m_write(mosquitto_socket(mosq), QSocketNotifier::Write)
    {
        connect(&m_write, &QSocketNotifier::activated, this, &Drain::writeReady);
        m_limit.setSingleShot(true);
        connect(&m_limit, &QTimer::timeout, this, &Drain::finish);
        m_limit.start(MqttClient::kDrainTime);
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
            flushBlocking(m_mosq, std::chrono::milliseconds(1000));
            finish();
        });
    }
    ~Drain() override { mosquitto_destroy(m_mosq); }
    Drain(const Drain&) = delete;
    Drain& operator=(const Drain&) = delete;

private:
    void writeReady()
    {
        if (mosquitto_loop_write(m_mosq, 1) != MOSQ_ERR_SUCCESS || !mosquitto_want_write(m_mosq))
            finish();
    }
    void finish()
    {
        m_write.setEnabled(false);
        m_limit.stop();
        deleteLater();
    }

    struct mosquitto* m_mosq;
    QSocketNotifier m_write;
    QTimer m_limit;
};

// Debian's folder of the CA certificates the system trusts (ca-certificates).
constexpr const char* kSystemCaFolder = "/etc/ssl/certs";

void initLibrary()
{
    // Once per process; the library is never cleaned up, the process ends.
    static const int done = mosquitto_lib_init();
    (void)done;
}

QString errorText(int rc)
{
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

MqttClient::MqttClient(Settings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings))
{
    initLibrary();
    const QByteArray id = m_settings.clientId.toUtf8();
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::connectCallback);
    mosquitto_message_callback_set(m_mosq, &MqttClient::messageCallback);
    mosquitto_log_callback_set(m_mosq, &MqttClient::logCallback);
    if (!m_settings.user.isEmpty()) {
        const QByteArray user = m_settings.user.toUtf8();
        const QByteArray password = m_settings.password.toUtf8();
        mosquitto_username_pw_set(m_mosq, user.constData(),
                                  m_settings.password.isEmpty() ? nullptr : password.constData());
    }
    if (!m_settings.willTopic.isEmpty()) {
        const QByteArray topic = m_settings.willTopic.toUtf8();
        mosquitto_will_set(m_mosq, topic.constData(),
                           static_cast<int>(m_settings.willPayload.size()),
                           m_settings.willPayload.constData(), 1, true);
    }
    m_misc.setInterval(std::chrono::milliseconds(500));
    connect(&m_misc, &QTimer::timeout, this, [this] { housekeeping(); });
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { attempt(); });
    m_answer.setSingleShot(true);
    connect(&m_answer, &QTimer::timeout, this, [this] {
        lost(QStringLiteral("no answer from the MQTT broker %1:%2 within %3 s")
                 .arg(m_settings.host)
                 .arg(m_settings.port)
                 .arg(static_cast<double>(m_settings.answerTime.count()) / 1000.0));
    });
}

MqttClient::~MqttClient()
{
    m_misc.stop();
    m_retry.stop();
    m_answer.stop();
    m_read.reset();
    m_write.reset();
    if (m_connecting) {
        bool done = false;
        {
            const std::lock_guard guard(m_connecting->lock);
            m_connecting->client = nullptr;
            done = m_connecting->done;
        }
        Connecting::release(std::exchange(m_connecting, nullptr));
        // Still connecting: the handle is the thread's to destroy. Else its
        // result waits in the event queue, which drops it with this object.
        if (!done)
            return;
    }
    if (m_connected) {
        mosquitto_disconnect(m_mosq);
        if (mosquitto_want_write(m_mosq) && mosquitto_socket(m_mosq) >= 0) {
            // While the event loop runs, nothing in it waits for the broker.
            if (QCoreApplication::instance() != nullptr &&
                QThread::currentThread()->loopLevel() > 0) {
                new Drain(m_mosq);
                return;
            }
            flushBlocking(m_mosq, std::chrono::milliseconds(1000));
        }
    }
    mosquitto_destroy(m_mosq);
}

void MqttClient::log(bool warning, const QString& text)
{
    if (m_onLog)
        m_onLog(warning, text);
}

void MqttClient::start()
{
    attempt();
}

bool MqttClient::setUpTls()
{
    if (m_settings.caFile.isEmpty()) {
        const int rc =
            mosquitto_tls_set(m_mosq, nullptr, kSystemCaFolder, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            lost(QStringLiteral("cannot use the system's CA certificates in %1: %2")
                     .arg(QString::fromLatin1(kSystemCaFolder), errorText(rc)));
            return false;
        }
        m_tlsReady = true;
        return true;
    }
    // Without it the library would connect in plain TCP: no connection is
    // tried until the CA file can be read.
    QFile file(m_settings.caFile);
    if (!file.open(QIODevice::ReadOnly)) {
        lost(QStringLiteral("cannot read the CA file %1: %2")
                 .arg(m_settings.caFile, file.errorString()));
        return false;
    }
    const QByteArray ca = m_settings.caFile.toLocal8Bit();
    const int rc = mosquitto_tls_set(m_mosq, ca.constData(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        lost(QStringLiteral("cannot use the CA file %1: %2").arg(m_settings.caFile, errorText(rc)));
        return false;
    }
    m_tlsReady = true;
    return true;
}

void MqttClient::attempt()
{
    if ((m_settings.tls || !m_settings.caFile.isEmpty()) && !m_tlsReady && !setUpTls())
        return;
    m_libraryErrors.clear();
    // The library's connect looks the host name up with getaddrinfo, which
    // may wait seconds for a resolver; the rest of it (a non-blocking
    // socket, TLS set up to check the broker's certificate against this
    // host name) does not wait. So the whole connect runs on a thread of
    // its own, and the handle comes back to the event loop with its result.
    auto* connecting = new Connecting;
    connecting->client = this;
    m_connecting = connecting;
    mosquitto_log_callback_set(m_mosq, &MqttClient::connectingLogCallback);
    mosquitto_user_data_set(m_mosq, connecting);
    std::thread([connecting, mosq = m_mosq, host = m_settings.host.toUtf8(),
                 port = m_settings.port] {
        const int rc = mosquitto_connect_async(mosq, host.constData(), port, kKeepAliveSeconds);
        const int error = errno;
        {
            const std::lock_guard guard(connecting->lock);
            if (connecting->client == nullptr) {
                mosquitto_destroy(mosq);
            } else {
                connecting->rc = rc;
                connecting->error = error;
                connecting->done = true;
                // By name: the queued call is then built inside Qt, under
                // the event queue's lock; a functor would be allocated here
                // and read by the event loop with no lock a thread checker
                // sees.
                QMetaObject::invokeMethod(connecting->client, "connectStarted",
                                          Qt::QueuedConnection);
            }
        }
        Connecting::release(connecting);
    }).detach();
}

void MqttClient::connectStarted()
{
    Connecting* connecting = std::exchange(m_connecting, nullptr);
    int rc = MOSQ_ERR_SUCCESS;
    int error = 0;
    {
        // Taken after the thread has let it go: what the thread did to the
        // handle is seen here.
        const std::lock_guard guard(connecting->lock);
        rc = connecting->rc;
        error = connecting->error;
        m_libraryErrors = connecting->errors;
    }
    Connecting::release(connecting);
    mosquitto_user_data_set(m_mosq, this);
    mosquitto_log_callback_set(m_mosq, &MqttClient::logCallback);
    if (rc != MOSQ_ERR_SUCCESS) {
        lost(QStringLiteral("cannot connect to %1:%2: %3")
                 .arg(m_settings.host)
                 .arg(m_settings.port)
                 .arg(rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(error))
                                           : errorText(rc)));
        return;
    }
    m_answer.start(m_settings.answerTime);
    watchSocket();
}

void MqttClient::watchSocket()
{
    const int fd = mosquitto_socket(m_mosq);
    m_read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_read.get(), &QSocketNotifier::activated, this, [this] { readReady(); });
    m_write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(m_write.get(), &QSocketNotifier::activated, this, [this] { writeReady(); });
    updateWriteWatch();
    m_misc.start();
}

void MqttClient::unwatchSocket()
{
    m_misc.stop();
    // Possibly from inside one of their own handlers: deleted later.
    for (std::unique_ptr<QSocketNotifier>* n : {&m_read, &m_write}) {
        if (*n) {
            (*n)->setEnabled(false);
            n->release()->deleteLater();
        }
    }
}

void MqttClient::lost(const QString& why)
{
    const bool wasConnected = std::exchange(m_connected, false);
    m_answer.stop();
    unwatchSocket();
    mosquitto_disconnect(m_mosq);
    if (wasConnected)
        m_nextWait = kFirstRetry;
    // What the library said of it, such as OpenSSL's reason for a refused
    // certificate.
    const QString detail =
        m_libraryErrors.isEmpty()
            ? QString()
            : QStringLiteral(" (%1)").arg(m_libraryErrors.join(QStringLiteral("; ")));
    m_libraryErrors.clear();
    log(true, QStringLiteral("%1%2; connecting again in %3 s")
                  .arg(why, detail)
                  .arg(static_cast<double>(m_nextWait.count()) / 1000.0));
    m_retry.start(m_nextWait);
    m_nextWait = std::min(m_nextWait * 2, kLastRetry);
}

void MqttClient::readReady()
{
    const int rc = mosquitto_loop_read(m_mosq, 1);
    if (rc != MOSQ_ERR_SUCCESS) {
        lost(QStringLiteral("MQTT connection to %1:%2 lost: %3")
                 .arg(m_settings.host)
                 .arg(m_settings.port)
                 .arg(errorText(rc)));
        return;
    }
    updateWriteWatch();
}

void MqttClient::writeReady()
{
    const int rc = mosquitto_loop_write(m_mosq, 1);
    if (rc != MOSQ_ERR_SUCCESS) {
        lost(QStringLiteral("MQTT connection to %1:%2 failed: %3")
                 .arg(m_settings.host)
                 .arg(m_settings.port)
                 .arg(errorText(rc)));
        return;
    }
    updateWriteWatch();
}

void MqttClient::housekeeping()
{
    const int rc = mosquitto_loop_misc(m_mosq);
    if (rc != MOSQ_ERR_SUCCESS) {
        lost(QStringLiteral("MQTT connection to %1:%2 timed out")
                 .arg(m_settings.host)
                 .arg(m_settings.port));
        return;
    }
    updateWriteWatch();
}

void MqttClient::updateWriteWatch()
{
    if (m_write)
        m_write->setEnabled(mosquitto_want_write(m_mosq));
}

bool MqttClient::publish(const QString& topic, const QByteArray& payload, bool retain)
{
    if (!m_connected)
        return false;
    const QByteArray t = topic.toUtf8();
    const int rc =
        mosquitto_publish(m_mosq, nullptr, t.constData(), static_cast<int>(payload.size()),
                          payload.constData(), 0, retain);
    updateWriteWatch();
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::subscribe(const QString& topic)
{
    m_subscriptions.append(topic);
    if (m_connected) {
        const QByteArray t = topic.toUtf8();
        mosquitto_subscribe(m_mosq, nullptr, t.constData(), 0);
        updateWriteWatch();
    }
}

void MqttClient::connectCallback(struct mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MqttClient*>(self);
    if (rc != 0) {
        // The broker closes the connection next; the read handler sees it.
        const QString reason = QString::fromUtf8(mosquitto_connack_string(rc));
        client->log(true, QStringLiteral("the broker %1:%2 refused the connection: %3")
                              .arg(client->m_settings.host)
                              .arg(client->m_settings.port)
                              .arg(reason));
        if (client->m_onRefused)
            client->m_onRefused(reason);
        return;
    }
    client->m_answer.stop();
    client->m_connected = true;
    client->m_nextWait = kFirstRetry;
    client->log(false, QStringLiteral("connected to MQTT broker %1:%2")
                           .arg(client->m_settings.host)
                           .arg(client->m_settings.port));
    for (const QString& topic : std::as_const(client->m_subscriptions)) {
        const QByteArray t = topic.toUtf8();
        mosquitto_subscribe(client->m_mosq, nullptr, t.constData(), 0);
    }
    if (client->m_onConnected)
        client->m_onConnected();
}

void MqttClient::logCallback(struct mosquitto*, void* self, int level, const char* text)
{
    auto* client = static_cast<MqttClient*>(self);
    if ((level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)) != 0 && text != nullptr &&
        client->m_libraryErrors.size() < 4)
        client->m_libraryErrors.append(QString::fromUtf8(text));
}

// On the thread of the connect: into what the client reads back with the
// result.
void MqttClient::connectingLogCallback(struct mosquitto*, void* connecting, int level,
                                       const char* text)
{
    auto* c = static_cast<Connecting*>(connecting);
    if ((level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)) != 0 && text != nullptr && c->errors.size() < 4)
        c->errors.append(QString::fromUtf8(text));
}

void MqttClient::messageCallback(struct mosquitto*, void* self, const struct mosquitto_message* m)
{
    auto* client = static_cast<MqttClient*>(self);
    if (!client->m_onMessage || m->topic == nullptr)
        return;
    client->m_onMessage(QString::fromUtf8(m->topic),
                        QByteArray(static_cast<const char*>(m->payload), m->payloadlen), m->retain);
}

} // namespace network
