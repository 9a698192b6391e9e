#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Debian's mosquitto broker as a child process on a free port of 127.0.0.1,
// with a configuration of the test's own: anonymous clients, nothing kept
// on disk. Stopped with its object, or by stop() to test reconnecting.
class Broker
{
public:
    // extraConfig: lines added to the configuration (a password file, ...).
    explicit Broker(QStringList extraConfig = {});
    ~Broker();
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    // Starts it (again on the same port) and waits until it listens; false
    // with what it printed on standard error when it does not come up.
    [[nodiscard]] bool start();
    void stop();
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] QString folder() const { return m_folder.path(); }
    [[nodiscard]] QByteArray output() const { return m_output; }

private:
    QTemporaryDir m_folder;
    QStringList m_extraConfig;
    QProcess m_process;
    QByteArray m_output;
    int m_port = 0;
};
