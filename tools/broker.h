// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <optional>

// Debian's mosquitto broker as a child process on a free port of 127.0.0.1,
// with a configuration of the caller's own: anonymous clients, nothing kept
// on disk (persistence false), so a broker started again holds no retained
// message until a client publishes it anew. Stopped with its object, by
// stop(), or killed by kill() to test reconnecting. The harness of the MQTT
// tests and of the MQTT benchmark.
class Broker
{
public:
    // A TLS listener instead of plain TCP: the broker's certificate and key,
    // and the CA that signed it.
    struct Tls
    {
        QString certFile;
        QString keyFile;
        QString caFile;
    };

    // extraConfig: lines added to the configuration (a password file, ...).
    explicit Broker(QStringList extraConfig = {}, std::optional<Tls> tls = std::nullopt);
    ~Broker();
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    // Starts it (again on the same port) and waits until it listens; false
    // with what it printed on standard error when it does not come up.
    [[nodiscard]] bool start();
    // SIGTERM: the broker closes its connections cleanly.
    void stop();
    // SIGKILL: the connections just die, as when the broker's machine fails.
    void kill();
    // SIGSTOP and SIGCONT: a broker that stops reading, as a hung one
    // does; what clients send piles up in their sockets.
    void pause() const;
    void resume() const;
    // Logs no line per message from the next start() on, for a run that
    // counts time.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] QString folder() const { return m_folder.path(); }
    [[nodiscard]] QByteArray output() const { return m_output; }

private:
    void waitForEnd();

    QTemporaryDir m_folder;
    QStringList m_extraConfig;
    std::optional<Tls> m_tls;
    QProcess m_process;
    QByteArray m_output;
    int m_port = 0;
    bool m_quiet = false;
};

// A certificate authority made with Debian's openssl for one test run, in a
// folder of the caller's: its certificate (caFile()) and the certificates
// it signs. Nothing of it outlives the folder.
class ThrowawayCa
{
public:
    // name: the CA's common name and the stem of its files in folder.
    ThrowawayCa(QString folder, QString name);

    // Makes the CA's key and certificate; false with openssl's output on
    // standard error when it fails.
    [[nodiscard]] bool make();
    // A broker certificate signed by this CA for 127.0.0.1 and localhost
    // (subjectAltName IP and DNS, as the client checks the host name).
    [[nodiscard]] std::optional<Broker::Tls> serverCertificate(const QString& stem) const;
    [[nodiscard]] QString caFile() const;

private:
    [[nodiscard]] QString path(const QString& suffix) const;

    QString m_folder;
    QString m_name;
};
