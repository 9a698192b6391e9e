// SPDX-License-Identifier: GPL-3.0-or-later
// The soak of qmxv217d: the service process with several simulated boards on
// one configuration, relay 1 of each following its input 1 by the rules and
// the logger writing a line on every input read into the board's log file,
// the inputs changing at random and a fault injected every few seconds, each
// board in turn and each kind of fault in turn. It judges from what the
// simulators saw, and from the service's log files and /proc, that
//  - every outage a fault causes ends: the service takes the board's input
//    reads again within kRecoverDeadline, without a person;
//  - replies in pieces cause no outage, and nothing else causes one either;
//  - every input read the service took is a data line of the board's log
//    file, numbered without a gap within its log run: no line is lost;
//  - the service's resident set and its open descriptors stay flat;
//  - SIGTERM switches every board off (its R0000 echoed) and exits 0.
// With the web panel on (--web) it also keeps a page of each board open and
// reads /metrics every second: every read is answered 200 within
// kMetricsBound, no page is cut off, and once the faults are over every page
// says its board is online.
// It prints, for each board, the outages and the share of the time under
// control.
#include "tools/servicesoak.h"

#include "common/textlines.h"
#include "tools/boardfigures.h"
#include "tools/simulatedboard.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Two input reads the service took at most this far apart: the cycle ran
// between them, and the board was under control.
constexpr double kControlGap = 0.3;
// An input reply counts as taken when the next command, within this time,
// is the next cycle's relay write: one tick away, or a few on a loaded
// machine. After a reply the service refused, the next command is at least
// the 0.5 s wait away.
constexpr double kTakenWithin = 0.4;
constexpr double kRecoverDeadline = 10.0;
// Input reads taken in a row, at most kControlGap apart, once the fault is
// over: the board is back.
constexpr int kRecoveredReads = 3;
constexpr qint64 kRssSlack = 2 * 1024 * 1024;
// A board being opened again while /proc is read.
constexpr int kFdSlack = 2;
// A read of /metrics answered later than this counts as not answered.
constexpr auto kMetricsBound = 2s;

enum class Fault
{
    Garbage,
    LowerCase,
    Silence,
    Split,
    LateReply,
    HangUp
};
constexpr std::array kFaults{Fault::Garbage, Fault::Silence,   Fault::LowerCase,
                             Fault::Split,   Fault::LateReply, Fault::HangUp};

const char* faultName(Fault fault)
{
    switch (fault) {
    case Fault::Garbage:
        return "garbage";
    case Fault::LowerCase:
        return "lower-case digit";
    case Fault::Silence:
        return "silence";
    case Fault::Split:
        return "split replies";
    case Fault::LateReply:
        return "late replies";
    case Fault::HangUp:
        return "hang-up and re-link";
    }
    return "?";
}

// The command that starts a fault, the one that ends it, and when.
struct FaultScript
{
    QByteArray start;
    QByteArray undo;
    double undoAfter = 0;
};

FaultScript scriptOf(Fault fault)
{
    switch (fault) {
    case Fault::Garbage:
        return {"garbage", {}, 0};
    case Fault::LowerCase:
        return {"lowercase", {}, 0};
    case Fault::Silence:
        return {"silent on", "silent off", 2.0};
    case Fault::Split:
        return {"split 3 20", "split 1", 3.0};
    case Fault::LateReply:
        return {"delay 150", "delay 0", 0.5};
    case Fault::HangUp:
        return {"hangup", "relink", 1.0};
    }
    return {};
}

bool isGoodInputReply(const QByteArray& reply)
{
    // As the simulator prints it: CR and LF escaped.
    static const QByteArray head = "I0\\r\\n";
    static const QByteArray tail = "\\r\\n#";
    if (reply.size() != head.size() + 2 + tail.size() || !reply.startsWith(head) ||
        !reply.endsWith(tail))
        return false;
    const auto digit = [](char c) { return c >= '0' && c <= '7'; };
    return digit(reply.at(head.size())) && digit(reply.at(head.size() + 1));
}

int openDescriptors(qint64 pid)
{
    return static_cast<int>(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                                .size());
}

struct SoakBoard
{
    SoakBoard(const QString& home, const QString& name) : sim(home, 1), name(name) {}

    SimulatedBoard sim;
    QString name;
    QString link;
    QString logFile;
    QTimer inputs;

    // The board's side of the last command.
    QByteArray lastCommand;
    QByteArray reply;
    double replyAt = 0;
    // The input reads the service took.
    double lastRead = 0;
    long long reads = 0;
    // Good input replies right before a hang-up, which the service may or
    // may not have taken.
    int unsure = 0;
    double controlled = 0;
    double controlledInRun = 0;
    std::vector<double> outages;

    // The fault in progress: injected, then undone (the board put right),
    // then over once the service takes the board's reads again.
    enum class Stage
    {
        None,
        Injected,
        Undone
    };
    Stage stage = Stage::None;
    Fault fault = Fault::Garbage;
    double faultAt = 0;
    double undoneAt = 0;
    double recoveredAt = 0;
    int cleanReads = 0;
    int faults = 0;
    int survived = 0;
    int unexpected = 0;
    std::vector<double> recoveries;
    int allOffEchoes = 0;
    // What its log file held at the end.
    int logRuns = 0;
    long long dataLines = 0;
    // Its page of the web panel, and what the page was last told.
    std::unique_ptr<QWebSocket> page;
    long long pageMessages = 0;
    bool pageOnline = false;
};

class ServiceSoak : public QObject
{
public:
    ServiceSoak(const ServiceSoakOptions& options, const QString& work, const QString& service)
        : m_options(options), m_work(work), m_program(service), m_random(options.seed)
    {
        m_step.setInterval(100ms);
        connect(&m_step, &QTimer::timeout, this, &ServiceSoak::step);
        m_sample.setInterval(5s);
        connect(&m_sample, &QTimer::timeout, this, &ServiceSoak::sample);
        connect(&m_service, &QProcess::readyReadStandardError, this, &ServiceSoak::readJournal);
        m_metrics.setInterval(1s);
        connect(&m_metrics, &QTimer::timeout, this, &ServiceSoak::readMetrics);
    }

    int run()
    {
        if (!startBoards() || !startService())
            return 2;
        for (const auto& board : m_boards) {
            const double since = monotonicSeconds();
            while (board->reads < 3 && monotonicSeconds() - since < 10)
                runEventsFor(50ms);
            if (board->reads < 3) {
                std::fprintf(stderr, "%s: the service did not start polling\n",
                             qPrintable(board->name));
                return 2;
            }
        }
        if (m_options.web && !openPages())
            return 2;
        m_start = monotonicSeconds();
        m_nextFault = m_start + m_options.faultEvery;
        for (const auto& board : m_boards)
            scheduleInputChange(*board);
        m_step.start();
        m_sample.start();
        sample();
        QEventLoop loop;
        QTimer::singleShot(std::chrono::milliseconds(static_cast<qint64>(m_options.seconds * 1000)),
                           &loop, &QEventLoop::quit);
        loop.exec();
        m_step.stop();
        m_sample.stop();
        sample();
        const double runSeconds = monotonicSeconds() - m_start;
        for (const auto& board : m_boards)
            board->controlledInRun = board->controlled;
        // The faults in progress run to their end before the stop.
        m_nextFault = std::numeric_limits<double>::infinity();
        const double end = monotonicSeconds();
        m_step.start();
        while (monotonicSeconds() - end < kRecoverDeadline + 1 &&
               std::any_of(m_boards.begin(), m_boards.end(),
                           [](const auto& b) { return b->stage != SoakBoard::Stage::None; }))
            runEventsFor(50ms);
        m_step.stop();
        for (const auto& board : m_boards)
            board->inputs.stop();
        if (m_options.web)
            checkPages();
        stopService();
        for (const auto& board : m_boards)
            checkLog(*board);
        return summary(runSeconds);
    }

private:
    void fail(const QString& what)
    {
        ++m_failures;
        std::fprintf(stderr, "%9.1f s  FAILED: %s\n", monotonicSeconds() - m_start,
                     qPrintable(what));
    }

    bool startBoards()
    {
        for (int i = 0; i < m_options.boards; ++i) {
            const QString home = m_work + QStringLiteral("/board%1").arg(i + 1);
            QDir().mkpath(home);
            m_boards.push_back(std::make_unique<SoakBoard>(home, QStringLiteral("b%1").arg(i + 1)));
            SoakBoard& board = *m_boards.back();
            board.link = home + QStringLiteral("/qmx-v217/ports/com1");
            board.logFile = m_work + QStringLiteral("/%1.log").arg(board.name);
            board.sim.setOnEvent(
                [this, &board](const SimulatedBoard::Event& event) { onEvent(board, event); });
            board.inputs.setSingleShot(true);
            connect(&board.inputs, &QTimer::timeout, this, [this, &board] {
                board.sim.command("inputs " + QByteArray::number(m_random.bounded(64)));
                scheduleInputChange(board);
            });
            if (!board.sim.start(0))
                return false;
        }
        return true;
    }

    bool startService()
    {
        const QString project = m_work + QStringLiteral("/service-soak.iom");
        WriteTextLines(project, {"37257", "73051", "0.2", "[t]", "[r]", "1H=01H", "1L=01L"});
        QString config;
        if (m_options.web) {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            m_httpPort = probe.serverPort();
            config += QStringLiteral("http = 127.0.0.1:%1\n\n").arg(m_httpPort);
        }
        for (const auto& board : m_boards)
            config += QStringLiteral("[%1]\nport = %2\nproject = %3\nlog-file = %4\n\n")
                          .arg(board->name, board->link, project, board->logFile);
        const QString path = m_work + QStringLiteral("/service-soak.conf");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(config.toUtf8()) < 0)
            return false;
        file.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), m_work + QStringLiteral("/state"));
        env.remove(QStringLiteral("JOURNAL_STREAM"));
        env.remove(QStringLiteral("NOTIFY_SOCKET"));
        m_service.setProcessEnvironment(env);
        m_service.start(m_program, {QStringLiteral("--config"), path});
        if (!m_service.waitForStarted(5000)) {
            std::fprintf(stderr, "cannot start %s\n", qPrintable(m_program));
            return false;
        }
        return true;
    }

    QString url(const QString& scheme, const QString& path) const
    {
        return QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(m_httpPort).arg(path);
    }

    // A page of each board, open before the faults begin; each tells its
    // board's details on every change.
    bool openPages()
    {
        for (const auto& board : m_boards) {
            board->page = std::make_unique<QWebSocket>(url(QStringLiteral("http"), {}));
            SoakBoard* raw = board.get();
            connect(raw->page.get(), &QWebSocket::textMessageReceived, this,
                    [raw](const QString& text) {
                        ++raw->pageMessages;
                        raw->pageOnline = QJsonDocument::fromJson(text.toUtf8())
                                              .object()[QStringLiteral("availability")] ==
                                          QStringLiteral("online");
                    });
            connect(raw->page.get(), &QWebSocket::disconnected, this, [this, raw] {
                if (!m_stopping)
                    fail(QStringLiteral("%1: the page was cut off").arg(raw->name));
            });
            raw->page->open(QUrl(url(QStringLiteral("ws"),
                                     QStringLiteral("/api/v1/boards/%1/events").arg(raw->name))));
        }
        const double since = monotonicSeconds();
        while (monotonicSeconds() - since < 10 &&
               std::any_of(m_boards.begin(), m_boards.end(),
                           [](const auto& b) { return b->pageMessages == 0; }))
            runEventsFor(50ms);
        for (const auto& board : m_boards) {
            if (board->pageMessages == 0) {
                std::fprintf(stderr, "%s: the web panel's page did not open\n",
                             qPrintable(board->name));
                return false;
            }
        }
        m_metrics.start();
        return true;
    }

    void readMetrics()
    {
        ++m_metricsAsked;
        QNetworkReply* reply = m_http.get(
            QNetworkRequest(QUrl(url(QStringLiteral("http"), QStringLiteral("/metrics")))));
        reply->setParent(this);
        const double asked = monotonicSeconds();
        QTimer::singleShot(kMetricsBound, reply, &QNetworkReply::abort);
        connect(reply, &QNetworkReply::finished, this, [this, reply, asked] {
            reply->deleteLater();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (status != 200 ||
                !reply->readAll().contains("# TYPE qmxv217_poll_cycles_total counter")) {
                fail(QStringLiteral("/metrics answered %1 (%2)")
                         .arg(status)
                         .arg(reply->errorString()));
                return;
            }
            ++m_metricsAnswered;
            m_metricsMs.push_back((monotonicSeconds() - asked) * 1000);
        });
    }

    // The faults are over: each page is told its board is online.
    void checkPages()
    {
        m_metrics.stop();
        const double since = monotonicSeconds();
        while (monotonicSeconds() - since < 5 &&
               std::any_of(m_boards.begin(), m_boards.end(),
                           [](const auto& b) { return !b->pageOnline; }))
            runEventsFor(50ms);
        for (const auto& board : m_boards) {
            if (!board->pageOnline)
                fail(QStringLiteral("%1: the page still says the board is offline")
                         .arg(board->name));
        }
    }

    void stopService()
    {
        for (const auto& board : m_boards)
            board->allOffEchoes = 0;
        m_stopping = true;
        m_service.terminate();
        const double since = monotonicSeconds();
        while (m_service.state() != QProcess::NotRunning && monotonicSeconds() - since < 10)
            runEventsFor(10ms);
        readJournal();
        m_stopMs = (monotonicSeconds() - since) * 1000;
        if (m_service.state() != QProcess::NotRunning) {
            fail(QStringLiteral("the service did not stop on SIGTERM"));
            m_service.kill();
            m_service.waitForFinished(5000);
            return;
        }
        if (m_service.exitStatus() != QProcess::NormalExit || m_service.exitCode() != 0)
            fail(QStringLiteral("the service's stop ended with exit status %1")
                     .arg(m_service.exitCode()));
        for (const auto& board : m_boards) {
            if (board->allOffEchoes == 0)
                fail(QStringLiteral("%1: no all-off command echoed at the stop").arg(board->name));
        }
    }

    void readJournal()
    {
        m_partial += m_service.readAllStandardError();
        qsizetype end = 0;
        while ((end = m_partial.indexOf('\n')) >= 0) {
            ++m_journalLines;
            m_partial.remove(0, end + 1);
        }
    }

    void scheduleInputChange(SoakBoard& board)
    {
        board.inputs.start(std::chrono::milliseconds(m_random.bounded(300, 3000)));
    }

    void onEvent(SoakBoard& board, const SimulatedBoard::Event& event)
    {
        if (event.kind == "tx") {
            if (m_stopping && event.text == "R0000\\r\\n#")
                ++board.allOffEchoes;
            board.reply += event.text;
            board.replyAt = event.time;
            return;
        }
        if (event.kind == "info" && event.text == "hung up") {
            // The service may have taken the reply just before the line went:
            // no next command can show it.
            if (board.lastCommand == "I0\\r" && isGoodInputReply(board.reply))
                ++board.unsure;
            return;
        }
        if (event.kind != "rx")
            return;
        if (board.lastCommand == "I0\\r" && event.text.startsWith('R') &&
            isGoodInputReply(board.reply) && event.time - board.replyAt <= kTakenWithin)
            takeRead(board, board.replyAt);
        board.lastCommand = event.text;
        board.reply.clear();
    }

    void takeRead(SoakBoard& board, double time)
    {
        using Stage = SoakBoard::Stage;
        ++board.reads;
        const double gap = board.lastRead > 0 && m_start > 0 ? time - board.lastRead : 0;
        const double previous = board.lastRead;
        board.lastRead = time;
        if (gap <= kControlGap) {
            board.controlled += gap;
        } else {
            board.outages.push_back(gap);
            const bool split = board.stage != Stage::None && board.fault == Fault::Split;
            if (split || (board.stage == Stage::None && previous >= board.recoveredAt)) {
                ++board.unexpected;
                fail(QStringLiteral("%1: an outage of %2 s %3")
                         .arg(board.name)
                         .arg(gap, 0, 'f', 2)
                         .arg(split ? QStringLiteral("during split replies")
                                    : QStringLiteral("without a fault")));
            }
        }
        if (board.stage != Stage::Undone)
            return;
        if (gap > kControlGap || time < std::max(board.undoneAt, board.faultAt + kControlGap)) {
            board.cleanReads = 0;
            return;
        }
        if (++board.cleanReads < kRecoveredReads)
            return;
        ++board.survived;
        board.recoveries.push_back(time - board.faultAt);
        board.recoveredAt = time;
        board.stage = Stage::None;
    }

    void undo(SoakBoard& board, double now)
    {
        const FaultScript script = scriptOf(board.fault);
        if (!script.undo.isEmpty())
            board.sim.command(script.undo);
        board.stage = SoakBoard::Stage::Undone;
        board.undoneAt = now;
        board.cleanReads = 0;
        if (board.fault == Fault::Split) {
            ++board.survived;
            board.recoveredAt = now;
            board.stage = SoakBoard::Stage::None;
        }
    }

    void step()
    {
        using Stage = SoakBoard::Stage;
        const double now = monotonicSeconds();
        for (const auto& board : m_boards) {
            if (board->stage == Stage::Injected &&
                now - board->faultAt >= scriptOf(board->fault).undoAfter)
                undo(*board, now);
            if (board->stage != Stage::None && now - board->faultAt > kRecoverDeadline) {
                fail(QStringLiteral("%1: %2 not recovered within %3 s")
                         .arg(board->name, QString::fromLatin1(faultName(board->fault)))
                         .arg(kRecoverDeadline));
                if (board->stage == Stage::Injected)
                    undo(*board, now);
                board->stage = Stage::None;
                board->recoveredAt = now;
            }
        }
        if (now < m_nextFault)
            return;
        SoakBoard& board = *m_boards.at(m_faultIndex % m_boards.size());
        // A board still in its last fault gets the next one when it is back.
        if (board.stage != Stage::None)
            return;
        board.fault = kFaults.at((m_faultIndex / m_boards.size()) % kFaults.size());
        board.stage = Stage::Injected;
        board.faultAt = now;
        ++board.faults;
        ++m_faultIndex;
        m_nextFault = now + m_options.faultEvery;
        board.sim.command(scriptOf(board.fault).start);
    }

    void sample()
    {
        const qint64 pid = m_service.processId();
        const qint64 rss = residentBytesOf(pid);
        const int fds = openDescriptors(pid);
        if (rss == 0)
            return;
        m_peakRss = std::max(m_peakRss, rss);
        m_lastRss = rss;
        m_peakFds = std::max(m_peakFds, fds);
        m_lastFds = fds;
        if (m_baselineRss == 0 && m_start > 0 && monotonicSeconds() - m_start >= 60) {
            m_baselineRss = rss;
            m_baselineFds = fds;
        }
    }

    // Every run in the log file numbered 0, 1, 2 ... without a gap; every
    // input read the service took is one data line.
    void checkLog(SoakBoard& board)
    {
        QFile file(board.logFile);
        if (!file.open(QIODevice::ReadOnly)) {
            fail(QStringLiteral("%1: no log file %2").arg(board.name, board.logFile));
            return;
        }
        long long expected = 0;
        long long data = 0;
        int gaps = 0;
        int runs = 0;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("Log on Timer initiated")) {
                ++runs;
                expected = 0;
                continue;
            }
            bool ok = false;
            const long long count = line.left(8).trimmed().toLongLong(&ok);
            if (!ok || line.size() <= 8)
                continue;
            gaps += count == expected ? 0 : 1;
            expected = count + 1;
            ++data;
        }
        board.logRuns = runs;
        board.dataLines = data;
        if (gaps > 0)
            fail(QStringLiteral("%1: %2 gaps in the numbering of the log file")
                     .arg(board.name)
                     .arg(gaps));
        // The last read before the stop has no next relay write to show it
        // was taken, nor has one before a hang-up.
        if (data < board.reads || data > board.reads + board.unsure + 1)
            fail(QStringLiteral("%1: %2 data lines on disk for %3 input reads taken (%4 more "
                                "replies right before a hang-up)")
                     .arg(board.name)
                     .arg(data)
                     .arg(board.reads)
                     .arg(board.unsure));
    }

    int summary(double runSeconds)
    {
        const double mib = 1024.0 * 1024.0;
        if (m_baselineRss > 0 && m_lastRss > m_baselineRss + kRssSlack)
            fail(QStringLiteral("the service's memory grew from %1 to %2 MiB")
                     .arg(m_baselineRss / mib, 0, 'f', 1)
                     .arg(m_lastRss / mib, 0, 'f', 1));
        if (m_baselineRss > 0 && m_lastFds > m_baselineFds + kFdSlack)
            fail(QStringLiteral("the service's descriptors grew from %1 to %2")
                     .arg(m_baselineFds)
                     .arg(m_lastFds));
        std::printf("\nservice soak summary (%.0f s, %d boards, a fault every %.0f s, seed %u)\n",
                    runSeconds, m_options.boards, m_options.faultEvery, m_options.seed);
        for (const auto& board : m_boards) {
            std::printf("  %s: %d faults, %d recovered or survived, %d outages without a fault; "
                        "fault to recovered p50 %.2f, max %.2f s; %zu outages (reads more than "
                        "%.1f s apart), p50 %.2f, max %.2f s; under control %.1f %% of the time; "
                        "%lld input reads taken (%d more unsure, before a hang-up), %lld data "
                        "lines in %d log runs\n",
                        qPrintable(board->name), board->faults, board->survived, board->unexpected,
                        percentile(board->recoveries, 50), percentile(board->recoveries, 100),
                        board->outages.size(), kControlGap, percentile(board->outages, 50),
                        percentile(board->outages, 100), 100 * board->controlledInRun / runSeconds,
                        board->reads, board->unsure, board->dataLines, board->logRuns);
        }
        if (m_options.web) {
            long long told = 0;
            for (const auto& board : m_boards)
                told += board->pageMessages;
            std::printf("  web panel              %lld page messages; /metrics read %lld times, "
                        "answered %lld, p50 %.1f, max %.1f ms\n",
                        told, m_metricsAsked, m_metricsAnswered, percentile(m_metricsMs, 50),
                        percentile(m_metricsMs, 100));
        }
        std::printf("  journal lines          %lld\n", m_journalLines);
        std::printf("  RSS after 1 min        %.1f MiB, peak %.1f, final %.1f MiB\n",
                    m_baselineRss / mib, m_peakRss / mib, m_lastRss / mib);
        std::printf("  open descriptors       %d after 1 min, peak %d, final %d\n", m_baselineFds,
                    m_peakFds, m_lastFds);
        std::printf("  SIGTERM to exit        %.0f ms, exit status %d\n", m_stopMs,
                    m_service.exitCode());
        std::printf("  result                 %s\n", m_failures == 0 ? "PASS" : "FAIL");
        return m_failures == 0 ? 0 : 1;
    }

    ServiceSoakOptions m_options;
    QString m_work;
    QString m_program;
    QRandomGenerator m_random;
    std::vector<std::unique_ptr<SoakBoard>> m_boards;
    QProcess m_service;
    QByteArray m_partial;
    long long m_journalLines = 0;
    QTimer m_step;
    QTimer m_sample;
    quint16 m_httpPort = 0;
    QNetworkAccessManager m_http;
    QTimer m_metrics;
    long long m_metricsAsked = 0;
    long long m_metricsAnswered = 0;
    std::vector<double> m_metricsMs;
    double m_start = 0;
    double m_nextFault = std::numeric_limits<double>::infinity();
    size_t m_faultIndex = 0;
    bool m_stopping = false;
    double m_stopMs = 0;
    int m_failures = 0;
    qint64 m_baselineRss = 0;
    qint64 m_peakRss = 0;
    qint64 m_lastRss = 0;
    int m_baselineFds = 0;
    int m_peakFds = 0;
    int m_lastFds = 0;
};

} // namespace

int RunServiceSoak(const ServiceSoakOptions& options, const QString& workFolder,
                   const QString& service)
{
    ServiceSoak soak(options, workFolder, service);
    return soak.run();
}
