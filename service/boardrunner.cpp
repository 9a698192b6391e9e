// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/boardrunner.h"

#include "board/boardline.h"
#include "board/protocol.h"
#include "board/ticktimer.h"
#include "common/daynumber.h"
#include "common/folders.h"
#include "serial/portpath.h"
#include "service/startstate.h"
#include "timers/chantimer.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace service {

namespace {

QString seconds(std::chrono::milliseconds wait)
{
    return QString::number(static_cast<double>(wait.count()) / 1000.0, 'g', 3);
}

QString stateWord(int word)
{
    return QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
}

// The relay word of a relay command "R" HHHH CR.
int RelayWordOf(const QByteArray& command)
{
    return command.mid(1, 4).toInt(nullptr, 16);
}

} // namespace

BoardRunner::BoardRunner(BoardConfig config, Journal& journal, const QString& stateFolder,
                         QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_journal(journal), m_stateFolder(stateFolder),
      m_view(m_config.name, &journal),
      m_logFile([this](const QString& problem) { log(Level::Error, problem); },
                [this](const QString& note) { log(Level::Info, note); })
{
    board::UseBoardLineSettings(m_serial);
    if (const std::optional<int> com = m_config.comNumber())
        m_serial.setPort(*com);
    else
        m_serial.setDevicePath(m_config.port);

    m_controller.logRecovery().setFolder(m_stateFolder + QLatin1Char('/') + m_config.name);
    m_logFile.setPath(logPath());
    m_controller.logger().setLineHook([this](const QString& line) { m_logFile.append(line); });

    board::SetUpTickTimer(m_tick);
    // Queued, as in the main window: the tick runs after the timer's own
    // handler has returned.
    connect(
        &m_tick, &QTimer::timeout, this, [this] { tick(); }, Qt::QueuedConnection);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { attempt(); });
    m_stopResend.setSingleShot(true);
    connect(&m_stopResend, &QTimer::timeout, this, [this] { sendAllOff(); });
    m_stopLimit.setSingleShot(true);
    connect(&m_stopLimit, &QTimer::timeout, this, [this] {
        log(Level::Error, QStringLiteral("relays may still be on: no echo of the all-off "
                                         "command within %1 s")
                              .arg(seconds(kStopWait)));
        finishStop(false);
    });
    // First, so that the confirmed word is kept before the MQTT link, which
    // subscribes as it is made, publishes the echo.
    m_subscription = m_controller.poll().subscribe(
        [this](board::PollCycle::Observation what, int, int) { observe(what); });
}

BoardRunner::~BoardRunner()
{
    m_controller.poll().unsubscribe(m_subscription);
    m_view.setMessageObserver(nullptr);
    // A clean disconnect leaves no will: the last word, offline, is said here.
    m_mqtt.reset();
    m_tick.stop();
    m_retry.stop();
    m_watch.stop();
}

QString BoardRunner::logPath() const
{
    if (!m_config.logFile.isEmpty())
        return m_config.logFile;
    return m_stateFolder + QLatin1Char('/') + m_config.name + QStringLiteral(".log");
}

// The service keeps its own port folder, ports/ beside the configuration
// file: under a dynamic user the user's folder is under HOME=/, and no one
// links a COM number there. The device is logged whenever it changes, so a
// COM number that fell back to its usual device (an on-board UART) says so.
QString BoardRunner::comDevice(int com)
{
    QStringList folders;
    if (!m_config.file.isEmpty())
        folders.append(QFileInfo(m_config.file).absolutePath() + QStringLiteral("/ports"));
    folders.append(PortFolder());
    const QString path = PortDevicePath(com, folders);
    const bool linked = std::any_of(folders.cbegin(), folders.cend(), [&](const QString& folder) {
        return path.startsWith(folder + QLatin1Char('/'));
    });
    const QFileInfo info(path);
    QString note;
    if (!linked)
        note = QStringLiteral("COM %1 is %2 (no link com%1 in %3)")
                   .arg(com)
                   .arg(path, folders.join(QStringLiteral(" or ")));
    else if (info.exists())
        note = QStringLiteral("COM %1 is %2 (the link %3)")
                   .arg(com)
                   .arg(info.canonicalFilePath(), path);
    else
        note = QStringLiteral("COM %1 is %2, which leads to no device").arg(com).arg(path);
    if (note != m_comNote) {
        m_comNote = note;
        log(Level::Info, note);
    }
    return path;
}

void BoardRunner::log(Level level, const QString& text)
{
    m_journal.write(m_config.name, level, text);
}

void BoardRunner::setState(State state)
{
    m_state = state;
}

void BoardRunner::start()
{
    m_controller.run([this] { m_controller.StartUnattended(); });
    m_controller.setBoardSettings(m_config.settings);
    logSafety({});
    readKeptWord();
    loadProject();
    startMqtt();
    m_tick.start();
    attempt();
}

void BoardRunner::startMqtt()
{
    const MqttConfig& c = m_config.mqtt;
    if (!c.enabled())
        return;
    network::BoardLink::Hooks hooks;
    hooks.log = [this](network::BoardLink::Level level, const QString& text) {
        switch (level) {
        case network::BoardLink::Level::Info:
            log(Level::Info, text);
            break;
        case network::BoardLink::Level::Warning:
            log(Level::Warning, text);
            break;
        case network::BoardLink::Level::Error:
            log(Level::Error, text);
            break;
        }
    };
    m_mqtt = std::make_unique<network::BoardLink>(
        c, m_config.clientId(), m_config.topicPrefix(), m_config.name, m_controller.poll(),
        [this](quint16 word, quint16 mask) {
            m_controller.requestRelays(word, mask, Controller::Source::Mqtt);
        },
        [this] { return m_state == State::Running; }, std::move(hooks));
    m_view.setMessageObserver([this](const QString& text) { m_mqtt->publishStatus(text); });
    m_mqtt->setBoardSettings(m_controller.boardSettings());
    m_mqtt->start();
}

void BoardRunner::withdrawDiscovery()
{
    if (m_mqtt)
        m_mqtt->clearDiscovery();
}

void BoardRunner::loadProject()
{
    m_controller.run([this] { m_controller.OpenTheProjectFile(m_config.project); });
    applySwitches();
    log(Level::Info, QStringLiteral("project %1: %2 timer records, %3 rules")
                         .arg(m_config.project)
                         .arg(m_controller.timers().TimerList().size() / chantimer::kRecordLines)
                         .arg(m_controller.rules().RulesList().size()));
}

void BoardRunner::applySwitches()
{
    const auto wanted = [](Switch s, bool has) {
        return s == Switch::On || (s == Switch::Auto && has);
    };
    if (wanted(m_config.timers, !m_controller.timers().TimerList().isEmpty()) !=
        m_controller.timers().TimersOn())
        m_controller.run([this] { m_controller.TimerSBClick(); });
    if (wanted(m_config.rules, !m_controller.rules().RulesList().isEmpty()) !=
        m_controller.rules().RulesOn())
        m_controller.run([this] { m_controller.InputRulesSBClick(); });
}

void BoardRunner::reload(const BoardConfig& config)
{
    const bool mqttChanged =
        m_mqtt ? !m_mqtt->connectsAs(config.mqtt, config.clientId(), config.topicPrefix())
               : config.mqtt.enabled();
    if (mqttChanged && m_mqtt) {
        // Entities that the new settings do not announce again go from the
        // old broker; availability says offline on the old topics as the
        // link closes.
        const MqttConfig& was = m_config.mqtt;
        const MqttConfig& now = config.mqtt;
        log(Level::Info, now.enabled() ? QStringLiteral("MQTT settings changed: connecting again")
                                       : QStringLiteral("MQTT settings removed: disconnecting"));
        if (!now.enabled() || !now.discovery || now.host != was.host || now.port != was.port ||
            now.discoveryPrefix != was.discoveryPrefix)
            m_mqtt->clearDiscovery();
        else if (was.inputEvents && !now.inputEvents)
            m_mqtt->clearInputEvents();
        m_view.setMessageObserver(nullptr);
        m_mqtt.reset();
    }
    const safety::BoardSettings before = m_config.settings;
    m_config = config;
    if (mqttChanged)
        startMqtt();
    m_controller.setBoardSettings(m_config.settings);
    logSafety(before);
    readKeptWord();
    m_logFile.setPath(logPath());
    loadProject();
    // Names changed with the settings are announced at once, under the same ids.
    if (m_mqtt)
        m_mqtt->setBoardSettings(m_controller.boardSettings());
    if (m_controller.poll().SystemActive()) {
        // The new records run from their start, as after an activation.
        m_controller.timers().startRun();
    } else if (m_state == State::Halted) {
        attempt();
    }
}

void BoardRunner::reopenLogFile()
{
    m_logFile.reopen();
}

void BoardRunner::observe(board::PollCycle::Observation what)
{
    switch (what) {
    case board::PollCycle::Observation::RelayEcho:
        // The command echoed, not PortOut: a manual or MQTT change may have
        // come in since it was sent.
        m_confirmed = RelayWordOf(m_controller.poll().RelayCommand());
        keepConfirmed();
        break;
    case board::PollCycle::Observation::InputRead:
        // Every input read follows a relay echo of the same activation.
        m_backoff.noteWholeCycle();
        break;
    case board::PollCycle::Observation::Watchdog:
    case board::PollCycle::Observation::InvalidData:
        m_sinceFault.start();
        break;
    }
}

void BoardRunner::stop(std::function<void(bool)> onStopped)
{
    m_onStopped = std::move(onStopped);
    m_retry.stop();
    m_watch.stop();
    m_tick.stop();
    if (m_config.stopState == StopState::Keep) {
        finishStop(true);
        return;
    }
    if (!m_serial.Active() || m_serial.HungUp()) {
        // Nothing can reach the board. Its relays are off only if the last
        // word it confirmed had them off.
        if (m_confirmed.value_or(0) == 0) {
            finishStop(true);
            return;
        }
        log(Level::Error,
            QStringLiteral("relays may still be on: the port is not open to switch off %1")
                    .arg(stateWord(*m_confirmed)) +
                namesOn(*m_confirmed));
        finishStop(false);
        return;
    }
    log(Level::Info, QStringLiteral("stopping: all relays off"));
    setState(State::Closing);
    // The poll cycle ends here, with whatever it was waiting for; the
    // all-off command and its echo are the stop's own, so a garbled reply
    // or a silent board cannot end the stop before the relays are off.
    if (m_controller.poll().SystemActive())
        m_controller.run([this] { m_controller.ResetSerial(); });
    m_serial.setRxHandler([this] { takeAllOffEcho(); });
    m_stopReply.clear();
    m_stopLimit.start(kStopWait);
    sendAllOff();
}

void BoardRunner::sendAllOff()
{
    m_serial.WriteString(board::kAllOff);
    m_stopResend.start(kStopResend);
}

void BoardRunner::takeAllOffEcho()
{
    static const QByteArray echo = board::kAllOff + board::kEchoTail;
    // A board that floods must not hold the stop here: a bounded piece per
    // notification, as the poll cycle reads, so the stop's timers still run.
    char c = 0;
    for (int count = 0; count < board::PollCycle::kReadLimit && m_serial.ReadChar(c) > 0; ++count)
        m_stopReply += c;
    // The replies to the poll cycle's last command may come first.
    if (!m_stopReply.contains(echo)) {
        if (m_stopReply.size() > echo.size())
            m_stopReply.remove(0, m_stopReply.size() - echo.size());
        return;
    }
    m_view.setStatusText(View::Panel::Message, QStringLiteral("System closed"));
    // The board has confirmed all off: that is what a restart with
    // start-state last finds.
    m_confirmed = 0;
    keepConfirmed();
    finishStop(true);
}

void BoardRunner::finishStop(bool relaysOff)
{
    m_stopResend.stop();
    m_stopLimit.stop();
    m_serial.setRxHandler(nullptr);
    setState(State::Stopped);
    if (m_onStopped) {
        const std::function<void(bool)> done = std::move(m_onStopped);
        m_onStopped = nullptr;
        done(relaysOff);
    }
}

void BoardRunner::tick()
{
    m_controller.run([this] { m_controller.Timer1Timer(); });
    const bool active = m_controller.poll().SystemActive();
    switch (m_state) {
    case State::Running:
        if (active) {
            startLogRunWhenDue();
            break;
        }
        if (m_controller.poll().LastFailure() == board::PollCycle::Failure::TimeData) {
            log(Level::Error, QStringLiteral("the timer data is faulty; the board stays idle "
                                             "until the project is reloaded"));
            setState(State::Halted);
            break;
        }
        scheduleRetry();
        break;
    case State::Settling:
        if (--m_settleTicks <= 0)
            activate();
        break;
    default:
        break;
    }
    if (m_mqtt)
        m_mqtt->check();
}

void BoardRunner::scheduleRetry()
{
    const std::chrono::milliseconds wait = m_backoff.next();
    log(Level::Warning, QStringLiteral("activating again in %1 s").arg(seconds(wait)));
    setState(State::Retrying);
    // The tick that noticed the fault may have come up to a tick after it.
    const std::chrono::milliseconds since(m_sinceFault.isValid() ? m_sinceFault.elapsed() : 0);
    m_sinceFault.invalidate();
    m_retry.start(std::max(wait - since, std::chrono::milliseconds(0)));
}

void BoardRunner::waitForDevice(const QString& path)
{
    log(Level::Warning, QStringLiteral("waiting for %1 to come back").arg(path));
    setState(State::WaitingForDevice);
    m_watch.watch(path, [this, path] {
        log(Level::Info, QStringLiteral("%1 is back").arg(path));
        m_justBack = true;
        attempt();
    });
}

void BoardRunner::attempt()
{
    if (m_state == State::Closing || m_state == State::Stopped)
        return;
    if (!m_serial.Active() || m_serial.HungUp()) {
        m_serial.setActive(false);
        if (const std::optional<int> com = m_config.comNumber())
            m_serial.setDevicePath(comDevice(*com));
        const QString path = m_serial.OpenPath();
        if (!QFileInfo::exists(path)) {
            waitForDevice(path);
            return;
        }
        ++m_openAttempts;
        log(Level::Info, QStringLiteral("opening %1").arg(path));
        m_serial.setActive(true);
        if (!m_serial.Active()) {
            log(Level::Warning,
                QStringLiteral("cannot open %1: %2").arg(path, m_serial.errorText()));
            if (std::exchange(m_justBack, false)) {
                // A node that has just come back may not take an open yet
                // (udev is still setting it up): one more try a tick later.
                setState(State::Retrying);
                m_retry.start(Controller::kTickPeriod);
                return;
            }
            scheduleRetry();
            return;
        }
        m_justBack = false;
        // What the board sends as it comes up (its prompt) is judged while
        // idle for two ticks, so it is not taken for the start of the first
        // reply.
        m_settleTicks = kSettleTicks;
        setState(State::Settling);
        return;
    }
    activate();
}

void BoardRunner::activate()
{
    m_controller.run([this] { m_controller.ActiveButtClick(); });
    if (!m_controller.poll().SystemActive()) {
        scheduleRetry();
        return;
    }
    // start-state is for the first relay write the board takes after the
    // service starts. After a fault the board gets back the word it last
    // confirmed, so a re-activation switches nothing nobody asked for; the
    // timers and rules then act on it as on every cycle.
    if (m_confirmed) {
        m_controller.requestRelays(static_cast<quint16>(*m_confirmed), 0xFFFF,
                                   Controller::Source::Service);
        if (*m_confirmed != 0)
            log(Level::Info,
                QStringLiteral("relays %1 again, as last confirmed").arg(stateWord(*m_confirmed)) +
                    namesOn(*m_confirmed));
    } else {
        m_controller.requestRelays(startWord(), 0xFFFF, Controller::Source::Service);
    }
    m_sinceFault.invalidate();
    m_logRunOffered = false;
    setState(State::Running);
    // The first relay write goes out now rather than up to a tick later:
    // the board has been without control for the whole wait already.
    m_tick.start();
    m_controller.run([this] { m_controller.Timer1Timer(); });
}

quint16 BoardRunner::startWord()
{
    using Mode = safety::StartState::Mode;
    const safety::StartState start = m_config.settings.startState.value_or(safety::StartState{});
    switch (start.mode) {
    case Mode::Word:
        if (start.word != 0)
            log(Level::Info,
                QStringLiteral("start state %1").arg(stateWord(start.word)) + namesOn(start.word));
        return start.word;
    case Mode::Last:
        if (!m_keptWord) {
            // None kept yet is how a first start begins; a damaged file is not.
            log(m_keptMissing ? Level::Info : Level::Warning,
                QStringLiteral("start state last: %1; relays off").arg(m_keptProblem));
            return 0;
        }
        log(Level::Info, QStringLiteral("start state %1, as last confirmed before the service "
                                        "stopped")
                                 .arg(stateWord(*m_keptWord)) +
                             namesOn(*m_keptWord));
        return *m_keptWord;
    case Mode::Schedule:
        break;
    }
    // The records as TIMERS runs them from this activation, whether TIMERS
    // is on or not.
    const quint16 word =
        ScheduleWord(m_controller.timers().TimerList(), m_clock.now(), m_regional.decimalPoint);
    log(Level::Info,
        QStringLiteral("start state %1, as the timer records say now").arg(stateWord(word)) +
            namesOn(word));
    return word;
}

bool BoardRunner::keepsLastWord() const
{
    const std::optional<safety::StartState>& start = m_config.settings.startState;
    return start && start->mode == safety::StartState::Mode::Last;
}

void BoardRunner::readKeptWord()
{
    const QString path = RelayStateFile(m_stateFolder, m_config.name);
    if (!keepsLastWord()) {
        // A word left from a time with start-state last would be stale
        // when last is set again.
        m_keptWord.reset();
        QFile::remove(path);
        return;
    }
    if (m_keptWord)
        return;
    std::variant<quint16, QString> kept = ReadRelayState(path);
    if (const QString* problem = std::get_if<QString>(&kept)) {
        m_keptProblem = *problem;
        m_keptMissing = !QFileInfo::exists(path);
        return;
    }
    m_keptWord = std::get<quint16>(kept);
}

// Only for start-state last, and only when the word changes: a board polled
// five times a second would otherwise rewrite the file five times a second.
void BoardRunner::keepConfirmed()
{
    if (!keepsLastWord() || !m_confirmed || m_keptWord == static_cast<quint16>(*m_confirmed))
        return;
    const auto word = static_cast<quint16>(*m_confirmed);
    const QString path = RelayStateFile(m_stateFolder, m_config.name);
    // Told once per word: the next change tries again.
    if (!WriteRelayState(path, word))
        log(Level::Error, QStringLiteral("cannot keep the relays %1 in %2; a restart would not "
                                         "start with them")
                              .arg(stateWord(word), path));
    m_keptWord = word;
}

void BoardRunner::logSafety(const safety::BoardSettings& before)
{
    const QString was = SafetySummary(before);
    const QString now = SafetySummary(m_config.settings);
    if (now == was)
        return;
    log(Level::Info, now.isEmpty() ? QStringLiteral("no interlocks, maximum on-times or debounce "
                                                    "any more")
                                   : now);
}

QString BoardRunner::namesOn(int word) const
{
    const safety::BoardSettings& settings = m_config.settings;
    QStringList on;
    bool named = false;
    for (int relay = 0; relay < safety::kRelays; ++relay) {
        if (!(word & (1 << relay)))
            continue;
        on.append(settings.relayLabel(relay));
        named = named || !settings.relayNames.at(static_cast<std::size_t>(relay)).isEmpty();
    }
    if (!named)
        return {};
    return QStringLiteral(" - on: ") + on.join(QStringLiteral(", "));
}

// A log run of the project's schedule starts while its time window is open;
// the controller ends it when the window closes.
void BoardRunner::startLogRunWhenDue()
{
    LogRecorder& logger = m_controller.logger();
    if (m_logRunOffered || logger.LogOnTimer() || logger.LogNow() || logger.LogPeriodTicks() <= 0)
        return;
    const double now = DateTimeToDayNumber(m_clock.now());
    if (now < logger.LogOnTime() || now >= logger.LogOffTime())
        return;
    // The lines of an earlier run are in the log file already.
    logger.setLogList({});
    m_logRunOffered = true;
    m_controller.run([this] { m_controller.InputLogSBClick(); });
}

} // namespace service
