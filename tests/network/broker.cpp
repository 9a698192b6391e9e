#include "broker.h"

#include "../serial/waituntil.h"

#include <QFile>

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port nobody listens on now: the kernel's pick for a socket bound to 0.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

} // namespace

Broker::Broker(QStringList extraConfig) : m_extraConfig(std::move(extraConfig)), m_port(freePort())
{
    m_process.setProgram(QStringLiteral("/usr/sbin/mosquitto"));
    m_process.setArguments(
        {QStringLiteral("-c"), m_folder.filePath(QStringLiteral("broker.conf"))});
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_process, &QProcess::readyRead, &m_process,
                     [this] { m_output += m_process.readAll(); });
}

Broker::~Broker()
{
    stop();
}

bool Broker::start()
{
    QFile config(m_folder.filePath(QStringLiteral("broker.conf")));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QStringList lines{
        QStringLiteral("listener %1 127.0.0.1").arg(m_port), QStringLiteral("persistence false"),
        QStringLiteral("log_dest stderr"), QStringLiteral("log_type all"),
        // Started by root it would drop to user mosquitto, who
        // cannot read the test's files.
        QStringLiteral("user ") + QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name)};
    if (!m_extraConfig.join(QLatin1Char('\n')).contains(QStringLiteral("password_file")))
        lines.append(QStringLiteral("allow_anonymous true"));
    lines += m_extraConfig;
    config.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    config.close();
    m_output.clear();
    m_process.start();
    const bool up = waitUntil(
        [this] {
            return m_output.contains(" running") || m_process.state() == QProcess::NotRunning;
        },
        std::chrono::seconds(10));
    if (!up || m_process.state() == QProcess::NotRunning) {
        fprintf(stderr, "mosquitto did not start:\n%s\n", m_output.constData());
        return false;
    }
    return true;
}

void Broker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
