// SPDX-License-Identifier: GPL-3.0-or-later
// qmxv217d with --http and one simulated board: the latency of a command,
// from sending POST /api/v1/boards/NAME/relays/NN to the simulator
// receiving the relay word that carries it, and of an input change, from
// the simulator changing its inputs to the board page's WebSocket telling
// it; then what 50 open pages cost the service (each with its WebSocket and
// a trace request every 5 s, as the page makes, while an input changes
// every second): its CPU and resident memory against the same time with the
// server on and no page open. Both ends of a latency are timed on
// CLOCK_MONOTONIC.
//
//   v217-bench-web [--count N] [--seconds S]
#include "board/protocol.h"
#include "common/textlines.h"
#include "tools/boardfigures.h"
#include "tools/simulatedboard.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kBound{2000};
constexpr double kCommandGoalMs = 250;
constexpr double kInputGoalMs = 300;
constexpr int kPages = 50;
constexpr double kCpuGoalPercent = 2;
constexpr double kRssGoalMiB = 4;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "v217-bench-web: %s\n", what);
    std::exit(1);
}

class Bench
{
public:
    Bench() : m_sim(m_work.path(), 1) {}
    ~Bench()
    {
        m_pages.clear();
        m_service.terminate();
        m_service.waitForFinished(5000);
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    void start()
    {
        if (!m_sim.start())
            fail("the board simulator did not start");
        m_sim.setOnEvent([this](const SimulatedBoard::Event& event) { onEvent(event); });
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            m_port = probe.serverPort();
        }
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
             QStringLiteral("1"), QStringLiteral("--project"), project, QStringLiteral("--http"),
             QStringLiteral("127.0.0.1:%1").arg(m_port)});
        if (!m_service.waitForStarted(5000))
            fail("qmxv217d did not start");
        // The port is open once the service has read its configuration.
        const QDeadlineTimer up(std::chrono::seconds(10));
        for (;;) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(1000))
                break;
            if (up.hasExpired())
                fail("qmxv217d did not open its HTTP port");
            runEventsFor(milliseconds(50));
        }
        m_watcher = openPage(true);
        if (!waitFor([this] { return m_online; }, std::chrono::seconds(10)))
            fail("the board page did not say online");
    }

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
            QNetworkRequest request(QUrl(url(QStringLiteral("/api/v1/boards/bench/relays/%1")
                                                 .arg(relay, 2, 10, QLatin1Char('0')))));
            request.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain");
            const double sent = monotonicSeconds();
            QNetworkReply* reply = m_http.post(request, on ? "ON" : "OFF");
            QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
            if (waitFor([this] { return m_wordSeen.has_value(); }, kBound))
                f.ms.push_back((*m_wordSeen - sent) * 1000);
            else
                ++f.missed;
        }
        return f;
    }

    LatencyFigures inputs(int count)
    {
        LatencyFigures f;
        for (int i = 0; i < count; ++i) {
            pause();
            m_inputWord = (m_inputWord + 1) % 64;
            m_wantedInputs =
                QStringLiteral("%1").arg(m_inputWord, 2, 16, QLatin1Char('0')).toUpper();
            m_inputChanged.reset();
            m_inputShown.reset();
            m_sim.command("inputs " + QByteArray::number(m_inputWord));
            if (waitFor([this] { return m_inputChanged && m_inputShown; }, kBound))
                f.ms.push_back((*m_inputShown - *m_inputChanged) * 1000);
            else
                ++f.missed;
        }
        return f;
    }

    struct Cost
    {
        double cpuPercent = 0;
        double rssMiB = 0;
    };
    // The service's CPU over the time and its resident memory at the end,
    // with `pages` pages open, an input changing every second.
    Cost run(int pages, int seconds)
    {
        while (static_cast<int>(m_pages.size()) < pages)
            m_pages.push_back(openPage(false));
        QTimer inputs;
        QObject::connect(&inputs, &QTimer::timeout, &inputs, [this] {
            m_inputWord = (m_inputWord + 1) % 64;
            m_sim.command("inputs " + QByteArray::number(m_inputWord));
        });
        inputs.start(1000);
        QTimer traces;
        QObject::connect(&traces, &QTimer::timeout, &traces, [this] {
            for (size_t i = 0; i < m_pages.size(); ++i) {
                QNetworkReply* reply = m_http.get(
                    QNetworkRequest(QUrl(url(QStringLiteral("/api/v1/boards/bench/trace")))));
                QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
            }
        });
        if (pages > 0)
            traces.start(5000);
        const double cpuBefore = cpuSecondsOf(m_service.processId());
        const double started = monotonicSeconds();
        runEventsFor(std::chrono::seconds(seconds));
        const double cpu = cpuSecondsOf(m_service.processId()) - cpuBefore;
        const double wall = monotonicSeconds() - started;
        return {100 * cpu / wall,
                static_cast<double>(residentBytesOf(m_service.processId())) / (1024 * 1024)};
    }
    [[nodiscard]] int openPages() const
    {
        int open = 0;
        for (const auto& page : m_pages)
            open += page->state() == QAbstractSocket::ConnectedState ? 1 : 0;
        return open;
    }

private:
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    std::unique_ptr<QWebSocket> openPage(bool watcher)
    {
        auto page = std::make_unique<QWebSocket>(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
        if (watcher)
            QObject::connect(page.get(), &QWebSocket::textMessageReceived, page.get(),
                             [this](const QString& text) { onPage(text); });
        page->open(
            QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/boards/bench/events").arg(m_port)));
        return page;
    }
    template <typename Condition> bool waitFor(Condition condition, milliseconds bound)
    {
        const QDeadlineTimer deadline(bound);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QEventLoop loop;
            QTimer::singleShot(milliseconds(deadline.remainingTime()), &loop, &QEventLoop::quit);
            m_waiting = &loop;
            loop.exec();
            m_waiting = nullptr;
        }
        return true;
    }
    void wake()
    {
        if (m_waiting)
            m_waiting->quit();
    }
    void pause() { runEventsFor(milliseconds(m_random.bounded(200))); }

    void onEvent(const SimulatedBoard::Event& event)
    {
        if (event.kind == "rx" && !m_wordSeen && event.text == m_wantedWord)
            m_wordSeen = event.time;
        else if (event.kind == "info" && event.text.startsWith("inputs ") && !m_inputChanged)
            m_inputChanged = event.time;
        wake();
    }
    void onPage(const QString& text)
    {
        const double now = monotonicSeconds();
        const QJsonObject board = QJsonDocument::fromJson(text.toUtf8()).object();
        m_online = board[QStringLiteral("availability")] == QStringLiteral("online");
        if (!m_inputShown && board[QStringLiteral("inputs")] == m_wantedInputs)
            m_inputShown = now;
        wake();
    }

    QTemporaryDir m_work;
    SimulatedBoard m_sim;
    QProcess m_service;
    quint16 m_port = 0;
    QNetworkAccessManager m_http;
    std::unique_ptr<QWebSocket> m_watcher;
    std::vector<std::unique_ptr<QWebSocket>> m_pages;
    QRandomGenerator m_random{20261210};
    bool m_online = false;
    QByteArray m_wantedWord;
    std::optional<double> m_wordSeen;
    int m_inputWord = 0;
    QString m_wantedInputs;
    std::optional<double> m_inputChanged;
    std::optional<double> m_inputShown;
    QEventLoop* m_waiting = nullptr;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int count = 200;
    int seconds = 30;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QStringLiteral("--count"))
            count = args.at(i + 1).toInt();
        else if (args.at(i) == QStringLiteral("--seconds"))
            seconds = args.at(i + 1).toInt();
    }
    if (count < 1 || seconds < 1)
        fail("--count and --seconds want numbers above 0");

    Bench bench;
    bench.start();
    const LatencyFigures commands = bench.commands(count);
    const LatencyFigures inputs = bench.inputs(count);
    std::printf("qmxv217d --http on one simulated board\n");
    commands.print("command", count);
    inputs.print("input change", count);
    const Bench::Cost idle = bench.run(0, seconds);
    const Bench::Cost pages = bench.run(kPages, seconds);
    std::printf("no page open   CPU %5.2f %%  RSS %6.1f MiB  (%d s)\n", idle.cpuPercent,
                idle.rssMiB, seconds);
    std::printf("%d pages open  CPU %5.2f %%  RSS %6.1f MiB  (%d s, %d connected)\n", kPages,
                pages.cpuPercent, pages.rssMiB, seconds, bench.openPages());
    const double cpu = pages.cpuPercent - idle.cpuPercent;
    const double rss = pages.rssMiB - idle.rssMiB;
    std::printf("the pages cost CPU %+.2f %%, RSS %+.1f MiB\n", cpu, rss);
    std::printf("goals: command p99 < %.0f ms %s, input p99 < %.0f ms %s, pages CPU < %.0f %% "
                "%s, RSS < %.0f MiB %s\n",
                kCommandGoalMs, commands.met(kCommandGoalMs) ? "met" : "not met", kInputGoalMs,
                inputs.met(kInputGoalMs) ? "met" : "not met", kCpuGoalPercent,
                cpu < kCpuGoalPercent ? "met" : "not met", kRssGoalMiB,
                rss < kRssGoalMiB ? "met" : "not met");
    return 0;
}
