// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/broker.h"

#include "tools/waituntil.h"

#include <QFile>

#include <csignal>
#include <cstdio>

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

// Runs openssl with these arguments; false with its output on standard
// error when it fails.
bool openssl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/usr/bin/openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "openssl %s failed: %s %s\n",
                     qPrintable(arguments.join(QLatin1Char(' '))),
                     qPrintable(process.errorString()), process.readAll().constData());
        return false;
    }
    return true;
}

// An EC key, quick to make, with its certificate request or certificate.
const QStringList kNewKey{QStringLiteral("-newkey"), QStringLiteral("ec"),
                          QStringLiteral("-pkeyopt"),
                          QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

} // namespace

Broker::Broker(QStringList extraConfig, std::optional<Tls> tls)
    : m_extraConfig(std::move(extraConfig)), m_tls(std::move(tls)), m_port(freePort())
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
    QStringList lines{QStringLiteral("listener %1 127.0.0.1").arg(m_port),
                      QStringLiteral("persistence false"), QStringLiteral("log_dest stderr"),
                      // Started by root it would drop to user mosquitto, who
                      // cannot read the test's files.
                      QStringLiteral("user ") +
                          QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name)};
    // Quiet leaves out the debug lines, one for each message; what start()
    // waits for is information.
    if (m_quiet)
        lines += {QStringLiteral("log_type error"), QStringLiteral("log_type warning"),
                  QStringLiteral("log_type notice"), QStringLiteral("log_type information")};
    else
        lines.append(QStringLiteral("log_type all"));
    if (m_tls) {
        // These apply to the listener above.
        lines += {QStringLiteral("certfile ") + m_tls->certFile,
                  QStringLiteral("keyfile ") + m_tls->keyFile,
                  QStringLiteral("cafile ") + m_tls->caFile};
    }
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
        std::fprintf(stderr, "mosquitto did not start:\n%s\n", m_output.constData());
        return false;
    }
    return true;
}

void Broker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    waitForEnd();
}

void Broker::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    waitForEnd();
}

void Broker::pause() const
{
    if (m_process.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(m_process.processId()), SIGSTOP);
}

void Broker::resume() const
{
    if (m_process.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(m_process.processId()), SIGCONT);
}

void Broker::waitForEnd()
{
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

ThrowawayCa::ThrowawayCa(QString folder, QString name)
    : m_folder(std::move(folder)), m_name(std::move(name))
{
}

QString ThrowawayCa::path(const QString& suffix) const
{
    return m_folder + QLatin1Char('/') + m_name + suffix;
}

QString ThrowawayCa::caFile() const
{
    return path(QStringLiteral(".crt"));
}

bool ThrowawayCa::make()
{
    return openssl(
        QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kNewKey +
        QStringList{QStringLiteral("-keyout"), path(QStringLiteral(".key")), QStringLiteral("-out"),
                    caFile(), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=") + m_name, QStringLiteral("-addext"),
                    QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                    QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

std::optional<Broker::Tls> ThrowawayCa::serverCertificate(const QString& stem) const
{
    const QString base = m_folder + QLatin1Char('/') + stem;
    const QString extensions = base + QStringLiteral(".ext");
    QFile ext(extensions);
    if (!ext.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return std::nullopt;
    ext.write("subjectAltName = IP:127.0.0.1, DNS:localhost\n"
              "extendedKeyUsage = serverAuth\n");
    ext.close();
    Broker::Tls tls{base + QStringLiteral(".crt"), base + QStringLiteral(".key"), caFile()};
    const QString request = base + QStringLiteral(".csr");
    if (!openssl(QStringList{QStringLiteral("req")} + kNewKey +
                 QStringList{QStringLiteral("-keyout"), tls.keyFile, QStringLiteral("-out"),
                             request, QStringLiteral("-subj"), QStringLiteral("/CN=localhost")}) ||
        !openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request,
                  QStringLiteral("-CA"), caFile(), QStringLiteral("-CAkey"),
                  path(QStringLiteral(".key")), QStringLiteral("-CAcreateserial"),
                  QStringLiteral("-out"), tls.certFile, QStringLiteral("-days"),
                  QStringLiteral("2"), QStringLiteral("-extfile"), extensions}))
        return std::nullopt;
    return tls;
}
