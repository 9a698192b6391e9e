#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>

#include <chrono>
#include <functional>
#include <vector>

// The board simulator (v217-boardsim) as a child process, for the soak run
// and the benchmarks: control lines go to its standard input, and every line
// it prints comes back parsed, with the simulator's monotonic timestamp.
// Timestamps are seconds of CLOCK_MONOTONIC, the clock monotonicSeconds()
// reads in this process too, so both sides' events can be compared.
class QEventLoop;

class SimulatedBoard : public QObject
{
public:
    struct Event
    {
        double time = 0;
        QByteArray kind; // "ready", "rx", "info", "error"
        QByteArray text; // the rest of the line, CR shown as \r
    };

    // The simulator beside this executable, linked as COM <port> in the port
    // folder under configHome.
    SimulatedBoard(const QString& configHome, int port);
    ~SimulatedBoard() override;
    SimulatedBoard(const SimulatedBoard&) = delete;
    SimulatedBoard& operator=(const SimulatedBoard&) = delete;

    // Starts the simulator and waits until its port is linked; false with a
    // message on standard error when it does not come up.
    [[nodiscard]] bool start(int inputs = 0);
    // Sends one control line ("inputs 5", "silent on", "hangup", ...).
    void command(const QByteArray& line);
    // Runs the event loop until an event of this kind (and, if given, whose
    // text starts with prefix) arrives; false after timeoutMs.
    [[nodiscard]] bool waitFor(const QByteArray& kind, const QByteArray& prefix, int timeoutMs);

    // Called for every event as it arrives.
    void setOnEvent(std::function<void(const Event&)> handler) { m_onEvent = std::move(handler); }
    [[nodiscard]] qint64 pid() const { return m_process.processId(); }

private:
    void readLines();

    QProcess m_process;
    int m_port;
    QByteArray m_partial;
    std::function<void(const Event&)> m_onEvent;
    QByteArray m_waitKind;
    QByteArray m_waitPrefix;
    bool m_matched = false;
    QEventLoop* m_waitLoop = nullptr;
};

// The poll cycle as the board sees it, from the simulator's events: the
// period between input queries, and the latency from an input change to the
// first relay command that carries what the rules make of it.
class BoardFigures
{
public:
    // relaysFor: the relay bits the rules set for an input word, within mask.
    BoardFigures(std::function<int(int inputs)> relaysFor, int mask)
        : m_relaysFor(std::move(relaysFor)), m_mask(mask)
    {
    }
    // Takes one event; undisturbed is false while a fault or a stop is on,
    // and such periods and changes are not counted.
    void onEvent(const SimulatedBoard::Event& event, bool undisturbed);
    // A fault or a stop: the next period and any change in flight are void.
    void interrupt();
    // Prints the period and latency lines of a summary.
    void print() const;
    [[nodiscard]] const std::vector<double>& periods() const { return m_periods; }
    [[nodiscard]] const std::vector<double>& latencies() const { return m_latencies; }

private:
    std::function<int(int)> m_relaysFor;
    int m_mask;
    std::vector<double> m_periods;
    std::vector<double> m_latencies;
    double m_lastQuery = 0;
    double m_pendingSince = 0;
    int m_pendingRelays = 0;
    int m_boardRelays = 0;
};

// Runs the event loop for a while, sleeping between events.
void runEventsFor(std::chrono::milliseconds time);
// Seconds of CLOCK_MONOTONIC.
[[nodiscard]] double monotonicSeconds();
// Resident set size of this process in bytes, from /proc/self/statm.
[[nodiscard]] qint64 residentBytes();
// CPU time (user + system) of this process in seconds.
[[nodiscard]] double cpuSeconds();

// p-th percentile (0 to 100) of the values, nearest rank; 0 when empty.
[[nodiscard]] double percentile(std::vector<double> values, double p);
