// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/boardrunner.h"
#include "service/journal.h"
#include "service/serviceconfig.h"
#include "web/panelserver.h"

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

// The service: the boards of its configuration, the signals (SIGTERM and
// SIGINT stop, SIGHUP reopens the log files and reloads, SIGUSR1 only
// reopens the log files) taken through a socket pair into the event loop,
// and the service manager's readiness and watchdog messages, sent from the
// event loop so they stop when it stops.
namespace service {

class Daemon : public QObject
{
public:
    // The exit status of a stop in which a board did not confirm its
    // all-off command: its relays may still be on.
    static constexpr int kExitRelaysMayBeOn = 1;

    Daemon(Options options, Journal& journal);
    ~Daemon() override;

    // Reads the configuration and checks every project; the first fault.
    [[nodiscard]] std::optional<ConfigError> prepare();
    // Starts the boards and takes the signals; the event loop ends with
    // the exit status.
    void start();

    [[nodiscard]] const std::vector<std::unique_ptr<BoardRunner>>& boards() const
    {
        return m_boards;
    }

private:
    void onSignal();
    void reload();
    void reopenLogFiles();
    void shutDown();
    void retire(std::unique_ptr<BoardRunner> board);
    void finishWhenStopped();
    [[nodiscard]] std::optional<ConfigError> readBoards(QList<BoardConfig>& boards,
                                                        web::HttpConfig* http = nullptr) const;
    [[nodiscard]] std::optional<ConfigError> prepareWebPanel();
    // The web panel is told the boards after every change of them.
    void showBoardsOnWebPanel();
    std::unique_ptr<BoardRunner> makeBoard(const BoardConfig& config);
    void notify(const char* state) const;
    void log(Level level, const QString& text);

    Options m_options;
    Journal& m_journal;
    QString m_stateFolder;
    QList<BoardConfig> m_configs;
    std::vector<std::unique_ptr<BoardRunner>> m_boards;
    std::vector<std::unique_ptr<BoardRunner>> m_retiring;
    std::unique_ptr<QSocketNotifier> m_signals;
    QTimer m_watchdog;
    bool m_stopping = false;
    // The boards of this stop that did not confirm their all-off command.
    QStringList m_relaysMayBeOn;
    // Last: it watches the boards, so it goes before they do.
    std::unique_ptr<web::PanelServer> m_webPanel;
};

} // namespace service
