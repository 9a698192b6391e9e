// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/daemon.h"

#include "common/folders.h"
#include "service/projectcheck.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

namespace service {

namespace {

// The signal handler's end of the socket pair, and the event loop's.
int g_signalFds[2] = {-1, -1};

void onSignalCaught(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    (void)!::write(g_signalFds[0], &byte, 1);
    errno = saved;
}

const QString kService = QStringLiteral("qmxv217d");

} // namespace

Daemon::Daemon(Options options, Journal& journal)
    : m_options(std::move(options)), m_journal(journal)
{
    const QByteArray systemdState = qgetenv("STATE_DIRECTORY");
    // systemd's StateDirectory= may list several folders; the first is ours.
    m_stateFolder = systemdState.isEmpty()
                        ? StateFolder()
                        : QString::fromLocal8Bit(systemdState.split(':').first());
    connect(&m_watchdog, &QTimer::timeout, this, [this] { notify("WATCHDOG=1"); });
}

Daemon::~Daemon()
{
    if (m_signals) {
        for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
            std::signal(signal, SIG_DFL);
        m_signals.reset();
        ::close(g_signalFds[0]);
        ::close(g_signalFds[1]);
        g_signalFds[0] = g_signalFds[1] = -1;
    }
}

void Daemon::log(Level level, const QString& text)
{
    m_journal.write(kService, level, text);
}

void Daemon::notify(const char* state) const
{
    (void)sd_notify(0, state);
}

std::optional<ConfigError> Daemon::readBoards(QList<BoardConfig>& boards,
                                              web::HttpConfig* http) const
{
    if (m_options.configFile.isEmpty()) {
        boards = m_options.boards;
    } else {
        auto read = ReadConfigFile(m_options.configFile, http);
        if (auto* error = std::get_if<ConfigError>(&read))
            return *error;
        boards = std::get<QList<BoardConfig>>(read);
    }
    return std::nullopt;
}

namespace {

// The project's checks, and the forced switches against what it holds.
// What the board's settings warn of is journalled; it never stops a board.
std::optional<ConfigError> checkBoard(const BoardConfig& board, Journal& journal)
{
    auto checked = CheckProject(board.project, board.settings);
    if (auto* error = std::get_if<ConfigError>(&checked))
        return *error;
    const ProjectSummary& summary = std::get<ProjectSummary>(checked);
    if (board.timers == Switch::On && summary.timerRecords == 0)
        return ConfigError{board.file, board.line,
                           QStringLiteral("board '%1': timers = on, but %2 has no timer records")
                               .arg(board.name, board.project)};
    if (board.rules == Switch::On && summary.rules == 0)
        return ConfigError{board.file, board.line,
                           QStringLiteral("board '%1': rules = on, but %2 has no rules")
                               .arg(board.name, board.project)};
    // Told at start, not only in a log line at each connection: a password
    // file others may read is a fault of the configuration.
    if (!board.mqtt.passwordFile.isEmpty()) {
        QString password;
        const QString problem = network::ReadPasswordFile(board.mqtt.passwordFile, password);
        if (!problem.isEmpty())
            return ConfigError{board.file, board.line,
                               QStringLiteral("board '%1': %2").arg(board.name, problem)};
    }
    for (const QString& warning : summary.warnings)
        journal.write(board.name, Level::Warning, board.project + QStringLiteral(": ") + warning);
    return std::nullopt;
}

} // namespace

std::optional<ConfigError> Daemon::prepare()
{
    web::HttpConfig http;
    if (const std::optional<ConfigError> error = readBoards(m_configs, &http))
        return error;
    for (BoardConfig& board : m_configs) {
        if (const std::optional<ConfigError> error = ReadBoardSettings(board))
            return error;
        if (const std::optional<ConfigError> error = checkBoard(board, m_journal))
            return error;
    }
    if (!m_options.httpGiven)
        m_options.http = http;
    return prepareWebPanel();
}

// Listening is part of the start's checks: a panel that cannot be served
// is a fault of the configuration, told before any board starts.
std::optional<ConfigError> Daemon::prepareWebPanel()
{
    const web::HttpConfig& http = m_options.http;
    const QString where = m_options.httpGiven ? QString() : m_options.configFile;
    QString password;
    if (const QString problem = web::CheckHttpConfig(http, password); !problem.isEmpty())
        return ConfigError{where, 0, problem};
    if (!http.enabled())
        return std::nullopt;
    m_webPanel = std::make_unique<web::PanelServer>(password);
    if (const QString problem = m_webPanel->start(http); !problem.isEmpty())
        return ConfigError{where, 0, problem};
    log(Level::Info,
        QStringLiteral("web panel at http://%1/%2")
            .arg(http.text(), password.isEmpty() ? QStringLiteral(" (no password)") : QString()));
    return std::nullopt;
}

namespace {

QString stateName(BoardRunner::State state)
{
    switch (state) {
    case BoardRunner::State::Retrying:
        return QStringLiteral("retrying");
    case BoardRunner::State::WaitingForDevice:
        return QStringLiteral("waiting-for-device");
    case BoardRunner::State::Settling:
        return QStringLiteral("settling");
    case BoardRunner::State::Running:
        return QStringLiteral("running");
    case BoardRunner::State::Halted:
        return QStringLiteral("halted");
    case BoardRunner::State::Closing:
        return QStringLiteral("closing");
    case BoardRunner::State::Stopped:
        break;
    }
    return QStringLiteral("stopped");
}

} // namespace

void Daemon::showBoardsOnWebPanel()
{
    if (!m_webPanel)
        return;
    QList<web::BoardHandle> handles;
    for (const auto& board : m_boards) {
        BoardRunner* raw = board.get();
        web::BoardHandle h;
        h.name = raw->config().name;
        h.controller = &raw->controller();
        h.state = [raw] { return stateName(raw->state()); };
        h.running = [raw] { return raw->state() == BoardRunner::State::Running; };
        h.mqttConnected = [raw] { return raw->mqttConnected(); };
        h.watchMessages = [raw](std::function<void(const QString&)> watcher) {
            const int watch = raw->view().watchLines(std::move(watcher));
            return std::function<void()>([raw, watch] { raw->view().unwatchLines(watch); });
        };
        h.relayName = [raw](int relay) {
            return raw->controller().boardSettings().relayNames.at(static_cast<size_t>(relay));
        };
        h.inputName = [raw](int input) {
            return raw->controller().boardSettings().inputNames.at(static_cast<size_t>(input));
        };
        handles.append(h);
    }
    m_webPanel->setBoards(handles);
}

std::unique_ptr<BoardRunner> Daemon::makeBoard(const BoardConfig& config)
{
    return std::make_unique<BoardRunner>(config, m_journal, m_stateFolder);
}

void Daemon::start()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) == 0) {
        ::fcntl(g_signalFds[0], F_SETFL, O_NONBLOCK);
        m_signals = std::make_unique<QSocketNotifier>(g_signalFds[1], QSocketNotifier::Read);
        connect(m_signals.get(), &QSocketNotifier::activated, this, [this] { onSignal(); });
        struct sigaction action = {};
        action.sa_handler = onSignalCaught;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
            ::sigaction(signal, &action, nullptr);
    } else {
        log(Level::Error, QStringLiteral("cannot take the signals: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }

    for (const BoardConfig& config : std::as_const(m_configs))
        m_boards.push_back(makeBoard(config));
    // The panel watches each board from its first message on.
    showBoardsOnWebPanel();
    for (const auto& board : m_boards)
        board->start();
    log(Level::Info, QStringLiteral("running %1 board(s)").arg(m_boards.size()));

    // Ready once the event loop runs: this call comes from it.
    QTimer::singleShot(0, this, [this] {
        notify("READY=1");
        uint64_t usec = 0;
        if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
            m_watchdog.start(std::chrono::milliseconds(usec / 2000));
            notify("WATCHDOG=1");
        }
    });
}

void Daemon::onSignal()
{
    char signals[16];
    const ssize_t got = ::read(g_signalFds[1], signals, sizeof signals);
    for (ssize_t i = 0; i < got; ++i) {
        if (signals[i] == SIGHUP) {
            reload();
        } else if (signals[i] == SIGUSR1) {
            log(Level::Info, QStringLiteral("opening the log files anew"));
            reopenLogFiles();
        } else {
            shutDown();
        }
    }
}

void Daemon::reload()
{
    if (m_stopping)
        return;
    notify("RELOADING=1");
    log(Level::Info, QStringLiteral("reloading"));
    // logrotate's convention: after a rotation moved or removed the log
    // files, SIGHUP makes the next lines go to new files at their paths.
    reopenLogFiles();
    QList<BoardConfig> configs;
    web::HttpConfig http;
    if (const std::optional<ConfigError> error = readBoards(configs, &http)) {
        log(Level::Error, error->text() + QStringLiteral("; the running configuration stays"));
        notify("READY=1");
        return;
    }
    // The panel keeps its socket and its open pages across a reload: a new
    // address or password is told, not taken.
    if (!m_options.httpGiven && !web::SameHttpConfig(http, m_options.http))
        log(Level::Warning,
            QStringLiteral("%1: the web panel's http and http-password-file are read at start "
                           "only; restart qmxv217d to use them")
                .arg(m_options.configFile));
    std::vector<std::unique_ptr<BoardRunner>> kept;
    // New boards start once the panel watches them.
    std::vector<BoardRunner*> starting;
    for (BoardConfig& config : configs) {
        auto same = std::find_if(m_boards.begin(), m_boards.end(), [&](const auto& b) {
            return b && b->config().name == config.name;
        });
        // A fault keeps a running board as it is; a new one is not started.
        const auto refuse = [&](const ConfigError& error, const QString& running) {
            if (same != m_boards.end()) {
                m_journal.write(config.name, Level::Error, error.text() + running);
                kept.push_back(std::move(*same));
            } else {
                m_journal.write(config.name, Level::Error,
                                error.text() + QStringLiteral("; the board is not started"));
            }
        };
        if (const std::optional<ConfigError> error = ReadBoardSettings(config)) {
            refuse(*error, QStringLiteral("; the running settings and project stay"));
            continue;
        }
        if (const std::optional<ConfigError> error = checkBoard(config, m_journal)) {
            refuse(*error, QStringLiteral("; the old project keeps running"));
            continue;
        }
        if (same != m_boards.end() && (*same)->config().port == config.port) {
            (*same)->reload(config);
            kept.push_back(std::move(*same));
            continue;
        }
        if (same != m_boards.end())
            retire(std::move(*same));
        kept.push_back(makeBoard(config));
        starting.push_back(kept.back().get());
    }
    for (auto& board : m_boards) {
        if (board)
            retire(std::move(board));
    }
    m_boards = std::move(kept);
    showBoardsOnWebPanel();
    for (BoardRunner* board : starting)
        board->start();
    notify("READY=1");
}

void Daemon::reopenLogFiles()
{
    for (const auto& board : m_boards)
        board->reopenLogFile();
}

void Daemon::retire(std::unique_ptr<BoardRunner> board)
{
    m_journal.write(board->config().name, Level::Info, QStringLiteral("removed"));
    board->withdrawDiscovery();
    BoardRunner* raw = board.get();
    m_retiring.push_back(std::move(board));
    raw->stop([this, raw](bool relaysOff) {
        if (!relaysOff && m_stopping)
            m_relaysMayBeOn.append(raw->config().name);
        // Not from inside the board's own call: it is deleted later.
        QTimer::singleShot(0, this, [this, raw] {
            std::erase_if(m_retiring, [raw](const auto& b) { return b.get() == raw; });
            finishWhenStopped();
        });
    });
}

void Daemon::shutDown()
{
    if (m_stopping)
        return;
    m_stopping = true;
    notify("STOPPING=1");
    log(Level::Info, QStringLiteral("stopping"));
    // All at once: each board waits for its own echo, so the stop takes as
    // long as the slowest board, whatever their number.
    for (auto& board : m_boards) {
        BoardRunner* raw = board.get();
        raw->stop([this, raw](bool relaysOff) {
            if (!relaysOff)
                m_relaysMayBeOn.append(raw->config().name);
            QTimer::singleShot(0, this, [this] { finishWhenStopped(); });
        });
    }
    finishWhenStopped();
}

void Daemon::finishWhenStopped()
{
    if (!m_stopping)
        return;
    const auto stopped = [](const auto& b) { return b->state() == BoardRunner::State::Stopped; };
    if (std::all_of(m_boards.begin(), m_boards.end(), stopped) &&
        std::all_of(m_retiring.begin(), m_retiring.end(), stopped)) {
        if (m_relaysMayBeOn.isEmpty()) {
            log(Level::Info, QStringLiteral("stopped"));
            QCoreApplication::exit(0);
            return;
        }
        log(Level::Error, QStringLiteral("stopped; relays may still be on at %1")
                              .arg(m_relaysMayBeOn.join(QStringLiteral(", "))));
        QCoreApplication::exit(kExitRelaysMayBeOn);
    }
}

} // namespace service
