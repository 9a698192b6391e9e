// SPDX-License-Identifier: GPL-3.0-or-later
// v217-soak: runs the program's own logic (the controller on the real serial
// component) against the board simulator for a long time, with the inputs
// changing at random, the rules, the timers and a logging run every cycle
// switched on, and a fault injected every so often. It checks that
//  - every fault ends in its message box and the idle state, and the cycle
//    resumes after re-activation (after a hang-up: after re-opening the port);
//  - replies in pieces are collected without a fault;
//  - no poll cycle is lost outside a fault: a tick that finds the previous
//    command still unanswered is a lost cycle;
//  - the rules hold after every input read;
//  - each saved log holds exactly the lines the run captured, one data line
//    per input read;
//  - the resident set does not grow.
// It prints a summary and the figures the simulator saw (poll period, input
// to relay latency), and exits non-zero when a check failed. See --help.
// With --service it soaks qmxv217d instead (tools/servicesoak.cpp).
#include "board/boardline.h"
#include "board/ticktimer.h"
#include "common/clock.h"
#include "common/regional.h"
#include "common/textlines.h"
#include "common/view.h"
#include "controller/relay.h"
#include "serial/Serial2.h"
#include "tools/boardfigures.h"
#include "tools/servicesoak.h"
#include "tools/simulatedboard.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

using namespace std::chrono_literals;

const QString kInvalid = QStringLiteral("Error: Invalid data received");
const QString kNotResponding =
    QStringLiteral("The board is not responding.\rPlease check port, connections and power.\r");
constexpr int kPort = 1;
// Log lines around the data lines of a run: seven of header, two of finish.
constexpr int kLogHeaderLines = 7;
constexpr int kLogFinishLines = 2;
// How long a fault may take to show its box: the watchdog needs 1.5 s.
constexpr double kFaultDeadline = 5.0;
// How long the cycle may take to resume after re-activation.
constexpr double kResumeDeadline = 2.0;
constexpr double kSplitSeconds = 10.0;
// Growth of the resident set from the first minute's sample to the end that
// still counts as steady (allocator slack, Qt caches).
constexpr qint64 kRssSlack = 2 * 1024 * 1024;
// Under a sanitizer the resident set holds its shadow memory and quarantine,
// which grow by design: the figures are printed but not judged.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kJudgeMemory = false;
#else
constexpr bool kJudgeMemory = true;
#endif

// The program's view with nobody in front of it: every question is answered
// Yes, the log save dialog returns the next file name, boxes are recorded.
class SoakView final : public View
{
public:
    struct Box
    {
        QString kind;
        QString text;
    };

    void setStatusText(Panel panel, const QString& text) override
    {
        status.at(static_cast<size_t>(panel)) = text;
    }
    void setCaption(const QString&) override {}
    void showError(const QString& text) override
    {
        boxes.push_back({QStringLiteral("Error"), text});
    }
    void showInformation(const QString& text) override
    {
        boxes.push_back({QStringLiteral("Information"), text});
    }
    Answer confirm(const QString& text, Buttons, Answer) override
    {
        boxes.push_back({QStringLiteral("Confirm"), text});
        return Answer::Yes;
    }
    void showFailure(const QString& text) override
    {
        boxes.push_back({QStringLiteral("Failure"), text});
    }
    void beep() override {}
    QString chooseFile(FileDialog dialog) override
    {
        return dialog == FileDialog::SaveLog ? nextLogFile : QString();
    }
    QString askText(const QString&, const QString&) override { return {}; }
    void showRelayIndicators(quint16, bool) override {}
    void showInputIndicators(int) override {}
    void setLamp(Lamp, bool) override {}
    void setSetButton(int, bool) override {}
    void setCountLabel(const QString&) override {}
    bool showPortDialog(QString&) override { return false; }
    bool showTimerEditor() override { return false; }
    bool showRulesEditor() override { return false; }
    bool showLoggerWindow() override { return false; }
    void showHelp() override {}
    bool editorWindowVisible() const override { return false; }
    void requestClose() override {}

    std::array<QString, 3> status;
    std::vector<Box> boxes;
    QString nextLogFile;
};

enum class Fault
{
    Silence,
    Garbage,
    Split,
    LowerCase,
    LateReply,
    HangUp
};
constexpr std::array kFaults{Fault::Silence,   Fault::Garbage,   Fault::Split,
                             Fault::LowerCase, Fault::LateReply, Fault::HangUp};

const char* faultName(Fault fault)
{
    switch (fault) {
    case Fault::Silence:
        return "silence";
    case Fault::Garbage:
        return "garbage";
    case Fault::Split:
        return "split replies";
    case Fault::LowerCase:
        return "lower-case digit";
    case Fault::LateReply:
        return "late replies";
    case Fault::HangUp:
        return "hang-up and re-link";
    }
    return "?";
}

// The box a fault must end in; Split must end in none.
const QString& expectedBox(Fault fault)
{
    static const QString none;
    switch (fault) {
    case Fault::Silence:
    case Fault::HangUp:
        return kNotResponding;
    case Fault::Garbage:
    case Fault::LowerCase:
    case Fault::LateReply:
        return kInvalid;
    case Fault::Split:
        return none;
    }
    return none;
}

// A project of the program's own format: the logger writes a line on every
// input read (0.2 s), relay 1 follows input 1, relay 2 is on while inputs 2
// and 3 are both high, and relays 9 to 16 toggle all day long at different
// rates.
QStringList soakProject()
{
    QStringList lines{QStringLiteral("37257"), QStringLiteral("73051"), QStringLiteral("0.2"),
                      QStringLiteral("[t]")};
    const QStringList toggles{QStringLiteral("0.2"), QStringLiteral("0.4"), QStringLiteral("0.6"),
                              QStringLiteral("1"),   QStringLiteral("1.2"), QStringLiteral("2"),
                              QStringLiteral("3"),   QStringLiteral("5")};
    for (int relay = 9; relay <= 16; ++relay) {
        const QString& on = toggles.at(relay - 9);
        lines << QStringLiteral("%1").arg(relay, 2, 10, QLatin1Char('0')) << QStringLiteral("37257")
              << QStringLiteral("37257.9999884259") << on << QStringLiteral("0.4")
              << QStringLiteral("1111111") << QStringLiteral("0") << QStringLiteral("0") << on;
    }
    lines << QStringLiteral("[r]") << QStringLiteral("1H=01H") << QStringLiteral("1L=01L")
          << QStringLiteral("2Hand3H=02H") << QStringLiteral("2Lor3L=02L");
    return lines;
}

// The relays the rules above set from the inputs.
int ruleRelays(int portIn)
{
    const bool in1 = portIn & 1;
    const bool in2 = portIn & 2;
    const bool in3 = portIn & 4;
    return (in1 ? 1 : 0) | (in2 && in3 ? 2 : 0);
}

struct Options
{
    double seconds = 600;
    double faultEvery = 60;
    quint32 seed = 0;
};

class Soak : public QObject
{
public:
    Soak(const Options& options, const QString& workFolder)
        : m_options(options), m_work(workFolder),
          m_board(workFolder + QStringLiteral("/config"), kPort),
          m_core(m_view, m_serial, m_clock, m_regional), m_random(options.seed)
    {
        board::UseBoardLineSettings(m_serial);
        // Every receive notification goes through the controller's handler;
        // around it we watch the state it moves to.
        m_serial.setOnRxData([this] { onRxData(); });
        m_board.setOnEvent([this](const SimulatedBoard::Event& event) { onBoardEvent(event); });

        board::SetUpTickTimer(m_tick);
        connect(&m_tick, &QTimer::timeout, this, &Soak::onTick);
        m_inputTimer.setSingleShot(true);
        connect(&m_inputTimer, &QTimer::timeout, this, &Soak::changeInputs);
        m_sampleTimer.setInterval(5s);
        connect(&m_sampleTimer, &QTimer::timeout, this, &Soak::sampleMemory);
    }

    // Runs the whole soak; returns the exit code.
    int run()
    {
        if (!m_board.start(0))
            return 2;
        m_core.run([this] { m_core.Timer1Timer(); }); // start-up
        m_core.run([this] { m_core.OpenSerialPort(QString::number(kPort)); });
        if (!m_serial.Active()) {
            std::fprintf(stderr, "the program could not open COM%d\n", kPort);
            return 2;
        }
        if (!waitForBoardOnline()) {
            std::fprintf(stderr, "the board's prompt did not arrive\n");
            return 2;
        }
        const QString project = m_work + QStringLiteral("/soak.iom");
        WriteTextLines(project, soakProject());
        m_core.run([&] { m_core.OpenTheProjectFile(project); });
        if (!m_view.boxes.empty() || m_core.rules().RulesList().size() != 4 ||
            m_core.timers().TimerList().size() != 72) {
            fail("the soak project did not load cleanly");
            return 2;
        }

        m_start = monotonicSeconds();
        m_nextFault = m_start + m_options.faultEvery;
        m_tick.start();
        m_sampleTimer.start();
        sampleMemory();
        activate();
        m_core.run([this] { m_core.TimerSBClick(); });
        m_core.run([this] { m_core.InputRulesSBClick(); });
        scheduleInputChange();

        QTimer end;
        end.setSingleShot(true);
        connect(&end, &QTimer::timeout, this, [] { QCoreApplication::quit(); });
        end.start(std::chrono::milliseconds(static_cast<qint64>(m_options.seconds * 1000)));
        QCoreApplication::exec();

        m_tick.stop();
        m_inputTimer.stop();
        // The run in progress ends here; its log is checked like the others.
        if (m_core.logger().LogNow()) {
            m_core.run([this] { m_core.ResetSerial(); });
            saveAndCheckLog();
        }
        sampleMemory();
        return summary();
    }

private:
    enum class Phase
    {
        Running,
        Split,
        Faulted,
        Restarting,
        Resuming
    };

    void fail(const QString& what)
    {
        ++m_failures;
        std::fprintf(stderr, "%9.1f s  FAILED: %s\n", elapsed(), qPrintable(what));
    }
    void note(const QString& what) const
    {
        std::printf("%9.1f s  %s\n", elapsed(), qPrintable(what));
        std::fflush(stdout);
    }
    [[nodiscard]] double elapsed() const { return monotonicSeconds() - m_start; }

    // The board greets a newly opened port with its prompt; activating
    // before it has arrived would judge the first echo with it in front.
    [[nodiscard]] bool waitForBoardOnline()
    {
        for (int wait = 0; wait < 30 && m_view.status[1] != QStringLiteral("Board online...");
             ++wait)
            runEventsFor(100ms);
        return m_view.status[1] == QStringLiteral("Board online...");
    }

    void activate()
    {
        m_view.boxes.clear();
        m_core.run([this] { m_core.ActiveButtClick(); });
        m_core.run([this] { m_core.InputNowSBClick(); });
        if (!m_core.poll().SystemActive() || !m_core.logger().LogNow())
            fail(QStringLiteral("activation or Log Now did not take"));
        m_runCycles = 0;
        m_sentLastTick = false;
        m_boxesBefore = m_view.boxes.size();
    }

    void onTick()
    {
        const double now = monotonicSeconds();
        const bool sends = m_core.poll().CommState() == board::CommState::RelayWrite ||
                           m_core.poll().CommState() == board::CommState::InputRead;
        if (m_phase == Phase::Running || m_phase == Phase::Split) {
            if (sends && m_sentLastTick && m_transitionsSinceTick == 0) {
                ++m_lostCycles;
                fail(QStringLiteral("lost cycle: no reply within one tick (state %1)")
                         .arg(static_cast<int>(m_core.poll().CommState())));
            }
            if (now >= m_nextFault)
                injectFault();
        }
        m_transitionsSinceTick = 0;
        m_sentLastTick = sends;
        m_core.run([this] { m_core.Timer1Timer(); });
        if (m_core.poll().SystemActive())
            ++m_activeTicks;
        checkFault(now);
    }

    void onRxData()
    {
        const int before = static_cast<int>(m_core.poll().CommState());
        m_core.run([this] { m_core.Serial1RxData(); });
        const int after = static_cast<int>(m_core.poll().CommState());
        if (after != before)
            ++m_transitionsSinceTick;
        if (before == 2 && after == 1) {
            ++m_cycles;
            if (m_core.logger().LogNow())
                ++m_runCycles;
            if ((m_core.poll().PortOut() & 3) != ruleRelays(m_core.poll().PortIn())) {
                ++m_ruleViolations;
                fail(QStringLiteral("rules not applied: inputs %1 relays %2")
                         .arg(m_core.poll().PortIn())
                         .arg(m_core.poll().PortOut(), 4, 16, QLatin1Char('0')));
            }
        }
    }

    // Inputs change at random moments, 0.3 to 3 s apart.
    void scheduleInputChange()
    {
        m_inputTimer.start(std::chrono::milliseconds(m_random.bounded(300, 3000)));
    }
    void changeInputs()
    {
        m_board.command("inputs " + QByteArray::number(m_random.bounded(64)));
        scheduleInputChange();
    }

    // The board's side: poll period and input-to-relay latency, measured
    // only while the cycle runs undisturbed.
    void onBoardEvent(const SimulatedBoard::Event& event)
    {
        m_figures.onEvent(event, m_phase == Phase::Running && m_core.poll().SystemActive());
    }

    void injectFault()
    {
        m_fault = kFaults.at(m_faultIndex++ % kFaults.size());
        m_faultStart = monotonicSeconds();
        m_figures.interrupt();
        ++m_faultsInjected;
        note(QStringLiteral("fault: %1").arg(QString::fromLatin1(faultName(m_fault))));
        switch (m_fault) {
        case Fault::Silence:
            m_board.command("silent on");
            break;
        case Fault::Garbage:
            m_board.command("garbage");
            break;
        case Fault::Split:
            m_board.command("split 3 20");
            break;
        case Fault::LowerCase:
            m_board.command("lowercase");
            break;
        case Fault::LateReply:
            m_board.command("delay 150");
            break;
        case Fault::HangUp:
            m_board.command("hangup");
            break;
        }
        m_phase = m_fault == Fault::Split ? Phase::Split : Phase::Faulted;
        m_nextFault = std::numeric_limits<double>::infinity();
        m_boxesBefore = m_view.boxes.size();
    }

    void checkFault(double now)
    {
        switch (m_phase) {
        case Phase::Running:
            if (m_view.boxes.size() > m_boxesBefore) {
                fail(QStringLiteral("unexpected box \"%1\" while running")
                         .arg(m_view.boxes.back().text));
                m_fault = Fault::Garbage;
                recover(now);
            }
            return;
        case Phase::Split:
            if (m_view.boxes.size() > m_boxesBefore || !m_core.poll().SystemActive()) {
                fail(QStringLiteral("replies in pieces stopped the cycle"));
                recover(now);
            } else if (now - m_faultStart >= kSplitSeconds) {
                m_board.command("split 1");
                ++m_faultsSurvived;
                note(QStringLiteral("  survived: the cycle ran on"));
                m_phase = Phase::Running;
                m_nextFault = now + m_options.faultEvery;
            }
            return;
        case Phase::Faulted:
            if (m_view.boxes.size() > m_boxesBefore) {
                const SoakView::Box& box = m_view.boxes.at(m_boxesBefore);
                const bool idle = m_core.poll().CommState() == board::CommState::Idle &&
                                  !m_core.poll().SystemActive();
                if (box.kind == QStringLiteral("Error") && box.text == expectedBox(m_fault) &&
                    idle && m_view.boxes.size() == m_boxesBefore + 1) {
                    ++m_faultsSurvived;
                    note(QStringLiteral("  ended in \"%1\" after %2 s, idle")
                             .arg(box.text.section(QLatin1Char('\r'), 0, 0))
                             .arg(now - m_faultStart, 0, 'f', 2));
                } else {
                    fail(QStringLiteral("%1 ended in %2 \"%3\" (%4 boxes), state %5")
                             .arg(QString::fromLatin1(faultName(m_fault)), box.kind, box.text)
                             .arg(m_view.boxes.size() - m_boxesBefore)
                             .arg(static_cast<int>(m_core.poll().CommState())));
                }
                recover(now);
            } else if (now - m_faultStart > kFaultDeadline) {
                fail(QStringLiteral("%1 showed no box within %2 s")
                         .arg(QString::fromLatin1(faultName(m_fault)))
                         .arg(kFaultDeadline));
                recover(now);
            }
            return;
        case Phase::Restarting:
            if (now >= m_restartAt) {
                activate();
                m_resumeFrom = m_cycles;
                m_phase = Phase::Resuming;
            }
            return;
        case Phase::Resuming:
            if (m_cycles > m_resumeFrom + 2) {
                m_phase = Phase::Running;
                m_nextFault = now + m_options.faultEvery;
            } else if (now - m_restartAt > kResumeDeadline) {
                fail(QStringLiteral("the cycle did not resume after re-activation"));
                m_phase = Phase::Running;
                m_nextFault = now + m_options.faultEvery;
            }
            return;
        }
    }

    // Puts the board right, saves and checks the log, and re-activates a
    // second later.
    void recover(double now)
    {
        switch (m_fault) {
        case Fault::Silence:
            m_board.command("silent off");
            break;
        case Fault::Split:
            m_board.command("split 1");
            break;
        case Fault::LateReply:
            m_board.command("delay 0");
            break;
        case Fault::HangUp:
            m_board.command("relink");
            if (!m_board.waitFor("ready", {}, 5000))
                fail(QStringLiteral("the simulator did not re-link"));
            // What the user does after plugging the board back in: choose
            // the port again, which closes and re-opens it.
            m_core.run([this] { m_core.OpenSerialPort(QString::number(kPort)); });
            if (!m_serial.Active())
                fail(QStringLiteral("the port did not re-open after the re-link"));
            break;
        case Fault::Garbage:
        case Fault::LowerCase:
            break;
        }
        if (m_core.poll().SystemActive())
            m_core.run([this] { m_core.ResetSerial(); });
        saveAndCheckLog();
        m_restartAt = now + 1.0;
        m_phase = Phase::Restarting;
    }

    void saveAndCheckLog()
    {
        const QStringList captured = m_core.logger().LogList();
        const qsizetype dataLines = captured.size() - kLogHeaderLines - kLogFinishLines;
        if (dataLines != m_runCycles)
            fail(QStringLiteral("the log holds %1 data lines for %2 input reads")
                     .arg(dataLines)
                     .arg(m_runCycles));
        m_view.nextLogFile = m_work + QStringLiteral("/log%1.txt").arg(++m_logsSaved);
        m_core.run([this] { m_core.LogSaveButtClick(); });
        if (!m_core.logger().LogList().isEmpty())
            fail(QStringLiteral("the log was not saved"));
        QStringList saved;
        m_core.run([&] { saved = ReadTextLines(m_view.nextLogFile); });
        if (saved != captured)
            fail(QStringLiteral("the saved log %1 differs from the captured lines")
                     .arg(m_view.nextLogFile));
        m_loggedLines += dataLines;
        // Long runs would fill the disk otherwise.
        QFile::remove(m_view.nextLogFile);
    }

    void sampleMemory()
    {
        const qint64 rss = residentBytes();
        m_peakRss = std::max(m_peakRss, rss);
        m_lastRss = rss;
        if (m_baselineRss == 0 && elapsed() >= 60)
            m_baselineRss = rss;
    }

    int summary()
    {
        const double mib = 1024.0 * 1024.0;
        const double runSeconds = elapsed();
        if (kJudgeMemory && m_baselineRss > 0 && m_lastRss > m_baselineRss + kRssSlack)
            fail(QStringLiteral("memory grew from %1 to %2 MiB")
                     .arg(m_baselineRss / mib, 0, 'f', 1)
                     .arg(m_lastRss / mib, 0, 'f', 1));
        if (m_faultsInjected != m_faultsSurvived)
            fail(QStringLiteral("%1 of %2 faults not survived")
                     .arg(m_faultsInjected - m_faultsSurvived)
                     .arg(m_faultsInjected));
        std::printf("\nsoak summary (%.0f s, seed %u)\n", runSeconds, m_options.seed);
        std::printf("  poll cycles            %lld (%lld active ticks)\n",
                    static_cast<long long>(m_cycles), static_cast<long long>(m_activeTicks));
        std::printf("  faults injected        %d, survived %d\n", m_faultsInjected,
                    m_faultsSurvived);
        std::printf("  lost cycles            %d\n", m_lostCycles);
        std::printf("  rule violations        %d\n", m_ruleViolations);
        std::printf("  logs saved and checked %d (%lld data lines)\n", m_logsSaved,
                    static_cast<long long>(m_loggedLines));
        std::printf("  RSS after 1 min        %.1f MiB\n", m_baselineRss / mib);
        std::printf("  RSS peak / final       %.1f / %.1f MiB\n", m_peakRss / mib, m_lastRss / mib);
        m_figures.print();
        std::printf("  CPU time               %.2f s (%.2f %% of one core)\n", cpuSeconds(),
                    100.0 * cpuSeconds() / runSeconds);
        std::printf("  result                 %s\n", m_failures == 0 ? "PASS" : "FAIL");
        return m_failures == 0 ? 0 : 1;
    }

    Options m_options;
    QString m_work;
    SimulatedBoard m_board;
    TSerial m_serial;
    SystemClock m_clock;
    // The fixed formats, so the soak's texts are the same on every machine.
    const Regional m_regional = Regional::fixed();
    SoakView m_view;
    Controller m_core;
    QRandomGenerator m_random;
    QTimer m_tick;
    QTimer m_inputTimer;
    QTimer m_sampleTimer;

    Phase m_phase = Phase::Running;
    Fault m_fault = Fault::Silence;
    size_t m_faultIndex = 0;
    double m_start = 0;
    double m_nextFault = 0;
    double m_faultStart = 0;
    double m_restartAt = 0;
    size_t m_boxesBefore = 0;
    qint64 m_resumeFrom = 0;

    qint64 m_cycles = 0;
    qint64 m_activeTicks = 0;
    qint64 m_runCycles = 0;
    qint64 m_loggedLines = 0;
    int m_transitionsSinceTick = 0;
    bool m_sentLastTick = false;
    int m_lostCycles = 0;
    int m_ruleViolations = 0;
    int m_faultsInjected = 0;
    int m_faultsSurvived = 0;
    int m_logsSaved = 0;
    int m_failures = 0;

    qint64 m_baselineRss = 0;
    qint64 m_peakRss = 0;
    qint64 m_lastRss = 0;

    BoardFigures m_figures{ruleRelays, 3};
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("v217-soak"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the controller on the real serial component against the board simulator\n"
        "with faults injected, checks that nothing is lost, and prints a summary."));
    parser.addHelpOption();
    const QCommandLineOption minutes(QStringLiteral("minutes"),
                                     QStringLiteral("How long to run (default 10)."),
                                     QStringLiteral("m"), QStringLiteral("10"));
    const QCommandLineOption faultEvery(
        QStringLiteral("fault-every"),
        QStringLiteral("Seconds of undisturbed running between faults (default 60); with "
                       "--service, seconds between faults, each board in turn (default 4)."),
        QStringLiteral("s"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the input changes (default: random)."),
                                  QStringLiteral("n"));
    const QCommandLineOption service(
        QStringLiteral("service"),
        QStringLiteral("Soak qmxv217d (beside this program, in ../service) with several "
                       "simulated boards instead of the controller in this process."));
    const QCommandLineOption boards(QStringLiteral("boards"),
                                    QStringLiteral("Boards of the service soak (default 2)."),
                                    QStringLiteral("n"), QStringLiteral("2"));
    const QCommandLineOption web(
        QStringLiteral("web"),
        QStringLiteral("With --service, serve the web panel too: a page of each board stays "
                       "open and the metrics are read every second."));
    parser.addOptions({minutes, faultEvery, seed, service, boards, web});
    parser.process(app);

    Options options;
    bool ok = false;
    options.seconds = parser.value(minutes).toDouble(&ok) * 60;
    if (!ok || options.seconds <= 0)
        parser.showHelp(1);
    const bool soakService = parser.isSet(service);
    options.faultEvery =
        parser.isSet(faultEvery) ? parser.value(faultEvery).toDouble(&ok) : (soakService ? 4 : 60);
    if (!ok || options.faultEvery < (soakService ? 1 : 5))
        parser.showHelp(1);
    options.seed =
        parser.isSet(seed) ? parser.value(seed).toUInt() : QRandomGenerator::system()->generate();
    const int boardCount = parser.value(boards).toInt(&ok);
    if (!ok || boardCount < 1 || boardCount > 32 || (parser.isSet(web) && !soakService))
        parser.showHelp(1);

    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot create a work folder\n");
        return 2;
    }
    // The program's own files (v217.dat, the port folder, the log's safety
    // copy) stay in the work folder, away from the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.path() + QStringLiteral("/config")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(work.path() + QStringLiteral("/state")));
    QDir::setCurrent(work.path());

    if (soakService) {
        ServiceSoakOptions serviceOptions;
        serviceOptions.seconds = options.seconds;
        serviceOptions.faultEvery = options.faultEvery;
        serviceOptions.boards = boardCount;
        serviceOptions.seed = options.seed;
        serviceOptions.web = parser.isSet(web);
        return RunServiceSoak(serviceOptions, work.path(),
                              QCoreApplication::applicationDirPath() +
                                  QStringLiteral("/../service/qmxv217d"));
    }
    Soak soak(options, work.path());
    return soak.run();
}
