// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>

#include <functional>
#include <string>

class QEventLoop;

// The board simulator (v217-boardsim) as a child process, for the end-to-end
// tests, the soak run and the benchmarks. It links its terminal as COM
// <port> in the port folder under configHome (the simulator's
// XDG_CONFIG_HOME); control lines go to its standard input, and every line
// it prints comes back parsed, with the simulator's monotonic timestamp.
// Timestamps are seconds of CLOCK_MONOTONIC, the clock monotonicSeconds()
// of tools/boardfigures.h reads in this process too, so both sides' events
// can be compared.
//
// Waiting runs a nested event loop, so timers, the serial component's
// notifications and queued calls go on meanwhile.
class SimulatedBoard : public QObject
{
public:
    struct Event
    {
        double time = 0;
        QByteArray kind; // "ready", "rx", "tx", "info", "error"
        QByteArray text; // the rest of the line, CR shown as \r
    };

    // program: the simulator's executable; empty for the v217-boardsim
    // beside this executable. Port 0 links no COM number (--no-link): the
    // terminal is reached by terminal() alone.
    SimulatedBoard(const QString& configHome, int port, const QString& program = {});
    // Sends "quit", so the simulator removes its link, and waits for its end.
    ~SimulatedBoard() override;
    SimulatedBoard(const SimulatedBoard&) = delete;
    SimulatedBoard& operator=(const SimulatedBoard&) = delete;

    // Starts the simulator and waits until its port is linked; false with a
    // message on standard error when it does not come up. The simulator ends
    // with this process, when its standard input closes.
    [[nodiscard]] bool start(int inputs = 0);
    // Sends one control line ("inputs 5", "silent on", "hangup", ...).
    void command(const QByteArray& line);
    // Sends one control line and waits until the simulator tells it has done
    // it: an event of this kind (and, if given, whose text starts with
    // prefix). False after timeoutMs.
    [[nodiscard]] bool commandAndWait(const QByteArray& line, const QByteArray& kind = "info",
                                      const QByteArray& prefix = {}, int timeoutMs = 5000);
    // Runs the event loop until an event of this kind (and, if given, whose
    // text starts with prefix) arrives; false after timeoutMs.
    [[nodiscard]] bool waitFor(const QByteArray& kind, const QByteArray& prefix, int timeoutMs);

    // Called for every event as it arrives.
    void setOnEvent(std::function<void(const Event&)> handler) { m_onEvent = std::move(handler); }
    [[nodiscard]] qint64 pid() const { return m_process.processId(); }
    // The pseudo-terminal of the last ready line: a new one after relink.
    [[nodiscard]] const QString& terminal() const { return m_terminal; }

    // Keeps every event from now on, for a test that looks back at what the
    // board received. A long run leaves it off, so its memory stays flat.
    void keepEvents() { m_keeping = true; }
    [[nodiscard]] const QList<Event>& events() const { return m_events; }
    // The commands received, in order, from kept event `from` on.
    [[nodiscard]] QList<QByteArray> commands(qsizetype from = 0) const;
    // The kept events as the simulator printed them, for a failure message.
    [[nodiscard]] std::string log() const;

private:
    void readLines();

    QProcess m_process;
    int m_port;
    QByteArray m_partial;
    QString m_terminal;
    std::function<void(const Event&)> m_onEvent;
    bool m_keeping = false;
    QList<Event> m_events;
    QByteArray m_waitKind;
    QByteArray m_waitPrefix;
    bool m_matched = false;
    QEventLoop* m_waitLoop = nullptr;
};
