// SPDX-License-Identifier: GPL-3.0-or-later
// qmxv217d with --http and one simulated board: the latency of a command,
// from sending POST /api/v1/boards/NAME/relays/NN to the simulator
// receiving the relay word that carries it, and of an input change, from
// the simulator changing its inputs to the board page's WebSocket telling
// it; then what 50 open pages cost the service (each with its WebSocket and
// a trace request every 5 s, as the page makes, while an input changes
// every second): its CPU against the same time with the server on and no
// page open, and its resident memory against the same service without
// --http. Both ends of a latency are timed on CLOCK_MONOTONIC.
//
//   v217-bench-web [--count N] [--seconds S]
#include "board/protocol.h"
#include "common/textlines.h"
#include "tools/boardfigures.h"
#include "tools/simulatedboard.h"
#include "tools/waituntil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
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
    struct Cost
    {
        double cpuPercent = 0;
        double rssMiB = 0;
        // Of the RSS, what no file backs.
        double ownMiB = 0;
    };
    Bench() : m_sim(m_work.path(), 1) {}
    ~Bench()
    {
        m_pages.clear();
        m_service.terminate();
        m_service.waitForFinished(5000);
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    void startBoard()
    {
        if (!m_sim.start())
            fail("the board simulator did not start");
        m_sim.setOnEvent([this](const SimulatedBoard::Event& event) { onEvent(event); });
        WriteTextLines(project(), {"0", "0", "0", "[t]", "[r]"});
    }

    // The same service on the same board without --http, for the same time
    // and the same input changes: what the server itself costs is measured
    // against this.
    Cost withoutServer(int seconds)
    {
        QProcess plain;
        launch(plain, {});
        m_polled = false;
        if (!m_wait.until([this] { return m_polled; }, std::chrono::seconds(10)))
            fail("qmxv217d without --http did not poll the board");
        const Cost cost = measure(plain, seconds);
        plain.terminate();
        if (!plain.waitForFinished(5000))
            fail("qmxv217d without --http did not stop");
        return cost;
    }

    void start()
    {
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            m_port = probe.serverPort();
        }
        launch(m_service, {QStringLiteral("--http"), QStringLiteral("127.0.0.1:%1").arg(m_port)});
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
        if (!m_wait.until([this] { return m_online; }, std::chrono::seconds(10)))
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
            if (m_wait.until([this] { return m_wordSeen.has_value(); }, kBound))
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
            if (m_wait.until([this] { return m_inputChanged && m_inputShown; }, kBound))
                f.ms.push_back((*m_inputShown - *m_inputChanged) * 1000);
            else
                ++f.missed;
        }
        return f;
    }

    // The service's CPU over the time and its resident memory at the end,
    // with `pages` pages open, an input changing every second.
    Cost run(int pages, int seconds)
    {
        while (static_cast<int>(m_pages.size()) < pages)
            m_pages.push_back(openPage(false));
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
        return measure(m_service, seconds);
    }
    [[nodiscard]] int openPages() const
    {
        int open = 0;
        for (const auto& page : m_pages)
            open += page->state() == QAbstractSocket::ConnectedState ? 1 : 0;
        return open;
    }

private:
    QString project() const { return m_work.filePath(QStringLiteral("p.iom")); }
    void launch(QProcess& service, const QStringList& extra)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_work.path());
        env.insert(QStringLiteral("XDG_STATE_HOME"), m_work.filePath(QStringLiteral("state")));
        service.setProcessEnvironment(env);
        service.setStandardErrorFile(m_work.filePath(QStringLiteral("service.log")),
                                     QIODevice::Append);
        service.start(
            QCoreApplication::applicationDirPath() + QStringLiteral("/../service/qmxv217d"),
            QStringList{QStringLiteral("--name"), QStringLiteral("bench"), QStringLiteral("--port"),
                        QStringLiteral("1"), QStringLiteral("--project"), project()} +
                extra);
        if (!service.waitForStarted(5000))
            fail("qmxv217d did not start");
    }
    // The service's CPU over the time and its resident memory at the end,
    // an input changing every second.
    Cost measure(QProcess& service, int seconds)
    {
        QTimer inputs;
        QObject::connect(&inputs, &QTimer::timeout, &inputs, [this] {
            m_inputWord = (m_inputWord + 1) % 64;
            m_sim.command("inputs " + QByteArray::number(m_inputWord));
        });
        inputs.start(1000);
        const double cpuBefore = cpuSecondsOf(service.processId());
        const double started = monotonicSeconds();
        runEventsFor(std::chrono::seconds(seconds));
        const double cpu = cpuSecondsOf(service.processId()) - cpuBefore;
        const double wall = monotonicSeconds() - started;
        const auto mib = [](qint64 bytes) { return static_cast<double>(bytes) / (1024 * 1024); };
        return {100 * cpu / wall, mib(residentBytesOf(service.processId())),
                mib(anonymousResidentBytesOf(service.processId()))};
    }
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
    void pause() { runEventsFor(milliseconds(m_random.bounded(200))); }

    void onEvent(const SimulatedBoard::Event& event)
    {
        if (event.kind == "rx")
            m_polled = true;
        if (event.kind == "rx" && !m_wordSeen && event.text == m_wantedWord)
            m_wordSeen = event.time;
        else if (event.kind == "info" && event.text.startsWith("inputs ") && !m_inputChanged)
            m_inputChanged = event.time;
        m_wait.wake();
    }
    void onPage(const QString& text)
    {
        const double now = monotonicSeconds();
        const QJsonObject board = QJsonDocument::fromJson(text.toUtf8()).object();
        m_online = board[QStringLiteral("availability")] == QStringLiteral("online");
        if (!m_inputShown && board[QStringLiteral("inputs")] == m_wantedInputs)
            m_inputShown = now;
        m_wait.wake();
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
    bool m_polled = false;
    QByteArray m_wantedWord;
    std::optional<double> m_wordSeen;
    int m_inputWord = 0;
    QString m_wantedInputs;
    std::optional<double> m_inputChanged;
    std::optional<double> m_inputShown;
    // Woken at each event of the simulator and each message.
    WakeableWait m_wait;
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
    bench.startBoard();
    const Bench::Cost plain = bench.withoutServer(seconds);
    bench.start();
    const LatencyFigures commands = bench.commands(count);
    const LatencyFigures inputs = bench.inputs(count);
    std::printf("qmxv217d --http on one simulated board\n");
    commands.print("command", count);
    inputs.print("input change", count);
    const Bench::Cost idle = bench.run(0, seconds);
    const Bench::Cost pages = bench.run(kPages, seconds);
    const auto row = [seconds](const char* what, const Bench::Cost& cost) {
        std::printf("%-15s CPU %5.2f %%  RSS %6.1f MiB, of it %5.1f MiB its own  (%d s)\n", what,
                    cost.cpuPercent, cost.rssMiB, cost.ownMiB, seconds);
    };
    row("without --http", plain);
    row("no page open", idle);
    row("50 pages open", pages);
    std::printf("(%d of the %d pages connected at the end)\n", bench.openPages(), kPages);
    const double cpu = pages.cpuPercent - idle.cpuPercent;
    const double rss = pages.rssMiB - plain.rssMiB;
    std::printf("the pages cost CPU %+.2f %%; the server and its pages RSS %+.1f MiB, of it "
                "%+.1f MiB its own\n",
                cpu, rss, pages.ownMiB - plain.ownMiB);
    const auto met = [](bool yes) { return yes ? "met" : "not met"; };
    const double pagesRss = pages.rssMiB - idle.rssMiB;
    std::printf("goals: command p99 < %.0f ms %s, input p99 < %.0f ms %s, pages CPU < %.0f %% %s, "
                "pages RSS < %.0f MiB %s (%+.1f), server and pages RSS < %.0f MiB %s\n",
                kCommandGoalMs, met(commands.met(kCommandGoalMs)), kInputGoalMs,
                met(inputs.met(kInputGoalMs)), kCpuGoalPercent, met(cpu < kCpuGoalPercent),
                kRssGoalMiB, met(pagesRss < kRssGoalMiB), pagesRss, kRssGoalMiB,
                met(rss < kRssGoalMiB));
    return 0;
}
