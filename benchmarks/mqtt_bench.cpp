// SPDX-License-Identifier: GPL-3.0-or-later
// qmxv217d with --mqtt on Debian's mosquitto and one simulated board: the
// latency of a command, from publishing relay/NN/set to the simulator
// receiving the relay word that carries it, and of an input change, from
// the simulator changing its inputs to input/N/state arriving here. Both
// ends are timed on CLOCK_MONOTONIC: the simulator stamps what it receives
// and changes, this process what it publishes and receives.
//
//   v217-bench-mqtt [--count N]
#include "board/protocol.h"
#include "common/textlines.h"
#include "network/mqttclient.h"
#include "tools/boardfigures.h"
#include "tools/broker.h"
#include "tools/simulatedboard.h"
#include "tools/waituntil.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kBound{2000};
constexpr double kGoalMs = 250;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "v217-bench-mqtt: %s\n", what);
    std::exit(1);
}

class Bench
{
public:
    Bench() : m_sim(m_work.path(), 1)
    {
        // A line per message would be work on the broker's side of the
        // figures.
        m_broker.setQuiet(true);
    }

    void start()
    {
        if (!m_broker.start())
            fail("mosquitto did not start");
        if (!m_sim.start())
            fail("the board simulator did not start");
        m_sim.setOnEvent([this](const SimulatedBoard::Event& event) { onEvent(event); });

        network::MqttClient::Settings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = m_broker.port();
        s.clientId = QStringLiteral("bench");
        m_client = std::make_unique<network::MqttClient>(s);
        m_client->setOnMessage(
            [this](const QString& topic, const QByteArray& payload) { onMessage(topic, payload); });
        m_client->subscribe(kPrefix + QStringLiteral("#"));
        m_client->start();

        const QString project = m_work.filePath(QStringLiteral("p.iom"));
        WriteTextLines(project, {"0", "0", "0", "[t]", "[r]"});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_work.path());
        env.insert(QStringLiteral("XDG_STATE_HOME"), m_work.filePath(QStringLiteral("state")));
        m_service.setProcessEnvironment(env);
        m_service.setStandardErrorFile(m_work.filePath(QStringLiteral("service.log")));
        m_service.start(
            QCoreApplication::applicationDirPath() + QStringLiteral("/../service/qmxv217d"),
            {QStringLiteral("--name"), QStringLiteral("bench"), QStringLiteral("--port"),
             QStringLiteral("1"), QStringLiteral("--project"), project, QStringLiteral("--mqtt"),
             QStringLiteral("mqtt://127.0.0.1:%1").arg(m_broker.port())});
        if (!m_service.waitForStarted(5000))
            fail("qmxv217d did not start");
        if (!m_wait.until(
                [this] {
                    return m_availability == "online" && m_relayStates == 16 && m_inputStates == 6;
                },
                std::chrono::seconds(10)))
            fail("qmxv217d did not publish the board");
    }

    ~Bench()
    {
        m_service.terminate();
        m_service.waitForFinished(5000);
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    // Relay 1 on, relay 2 on, ... relay 16 on, relay 1 off, ...: each
    // command changes the word.
    LatencyFigures commands(int count)
    {
        LatencyFigures f;
        int word = 0;
        for (int i = 0; i < count; ++i) {
            pause();
            const int relay = i % 16 + 1;
            const bool on = (i / 16) % 2 == 0;
            word = on ? word | (1 << (relay - 1)) : word & ~(1 << (relay - 1));
            m_wantedWord = ShownRelayCommand(word);
            m_wordSeen.reset();
            const double sent = monotonicSeconds();
            m_client->publish(
                kPrefix + QStringLiteral("relay/%1/set").arg(relay, 2, 10, QLatin1Char('0')),
                on ? "ON" : "OFF", false);
            if (m_wait.until([this] { return m_wordSeen.has_value(); }, kBound))
                f.ms.push_back((*m_wordSeen - sent) * 1000);
            else
                ++f.missed;
        }
        return f;
    }

    // Input 1 on, 2 on, ... 6 on, 1 off, ...: each change one input.
    LatencyFigures inputs(int count)
    {
        LatencyFigures f;
        int word = 0;
        for (int i = 0; i < count; ++i) {
            pause();
            const int input = i % 6 + 1;
            const bool on = (i / 6) % 2 == 0;
            word = on ? word | (1 << (input - 1)) : word & ~(1 << (input - 1));
            m_wantedInput = QStringLiteral("%1input/%2/state").arg(kPrefix).arg(input);
            m_wantedPayload = on ? "ON" : "OFF";
            m_inputChanged.reset();
            m_inputArrived.reset();
            m_sim.command("inputs " + QByteArray::number(word));
            if (m_wait.until([this] { return m_inputChanged && m_inputArrived; }, kBound))
                f.ms.push_back((*m_inputArrived - *m_inputChanged) * 1000);
            else
                ++f.missed;
        }
        return f;
    }

private:
    inline static const QString kPrefix = QStringLiteral("qmxv217/bench/");

    // A gap of 0 to 200 ms, so each command and change meets the poll
    // cycle at another point of its 200 ms.
    void pause() { runEventsFor(milliseconds(m_random.bounded(200))); }

    void onEvent(const SimulatedBoard::Event& event)
    {
        if (event.kind == "rx" && !m_wordSeen && event.text == m_wantedWord)
            m_wordSeen = event.time;
        else if (event.kind == "info" && event.text.startsWith("inputs ") && !m_inputChanged)
            m_inputChanged = event.time;
        m_wait.wake();
    }

    void onMessage(const QString& topic, const QByteArray& payload)
    {
        const double now = monotonicSeconds();
        if (topic == m_wantedInput && payload == m_wantedPayload && !m_inputArrived)
            m_inputArrived = now;
        else if (topic == kPrefix + QStringLiteral("availability"))
            m_availability = payload;
        else if (topic.startsWith(kPrefix + QStringLiteral("relay/")))
            ++m_relayStates;
        else if (topic.startsWith(kPrefix + QStringLiteral("input/")))
            ++m_inputStates;
        m_wait.wake();
    }

    QTemporaryDir m_work;
    Broker m_broker;
    SimulatedBoard m_sim;
    QProcess m_service;
    std::unique_ptr<network::MqttClient> m_client;
    QRandomGenerator m_random{20261209};
    QByteArray m_availability;
    int m_relayStates = 0;
    int m_inputStates = 0;
    QByteArray m_wantedWord;
    std::optional<double> m_wordSeen;
    QString m_wantedInput;
    QByteArray m_wantedPayload;
    std::optional<double> m_inputChanged;
    std::optional<double> m_inputArrived;
    // Woken at each event of the simulator and each message.
    WakeableWait m_wait;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int count = 200;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QStringLiteral("--count"))
            count = args.at(i + 1).toInt();
    }
    if (count < 1)
        fail("--count wants a number above 0");

    Bench bench;
    bench.start();
    const double started = monotonicSeconds();
    const LatencyFigures commands = bench.commands(count);
    const LatencyFigures inputs = bench.inputs(count);
    std::printf("qmxv217d on one simulated board, mosquitto on 127.0.0.1, %.0f s\n",
                monotonicSeconds() - started);
    commands.print("command", count);
    inputs.print("input change", count);
    if (commands.missed + inputs.missed > 0)
        std::printf("missed (nothing within %lld ms): %d commands, %d input changes\n",
                    static_cast<long long>(kBound.count()), commands.missed, inputs.missed);
    const bool met = commands.met(kGoalMs) && inputs.met(kGoalMs);
    std::printf("goal p99 under %.0f ms (one 200 ms poll cycle and the broker): %s\n", kGoalMs,
                met ? "met" : "not met");
    return 0;
}
