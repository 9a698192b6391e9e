// SPDX-License-Identifier: GPL-3.0-or-later
// The packaged systemd unit: how exposed systemd-analyze finds it, and that
// the service still opens a board on a pseudo-terminal and reaches a broker
// inside the unit's sandbox.
#include "common/textlines.h"
#include "network/mqttclient.h"
#include "tools/broker.h"
#include "tools/simulatedboard.h"
#include "tools/waituntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using std::chrono::seconds;

// The unit as installed, with the service of this build as its program.
QByteArray installedUnit()
{
    QFile file(QStringLiteral(V217_UNIT));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << V217_UNIT;
    return file.readAll().replace("@V217_SERVICE_PROGRAM@", V217_SERVICE);
}

// Runs a program to its end; its exit code, -1 when it did not end in time.
int run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = process.readAll();
    return process.exitCode();
}

TEST(ServiceUnit, SystemdAnalyzeFindsTheUnitExposedAtMostTwoAndAHalf)
{
    QTemporaryDir dir;
    const QString unit = dir.filePath(QStringLiteral("qmxv217d.service"));
    QFile file(unit);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(installedUnit());
    file.close();
    QByteArray report;
    // The threshold is on systemd-analyze's scale of 0 to 100: 25 is 2.5.
    const int status = run(QStringLiteral("systemd-analyze"),
                           {"security", "--offline=true", "--threshold=25", unit}, &report);
    const QRegularExpressionMatch overall =
        QRegularExpression(QStringLiteral("Overall exposure level for qmxv217d.service: ([^\\n]*)"))
            .match(QString::fromUtf8(report));
    ASSERT_TRUE(overall.hasMatch()) << report.constData();
    std::cout << "systemd-analyze security: " << overall.captured(1).toStdString() << '\n';
    EXPECT_EQ(status, 0) << report.constData();
}

// The [Service] settings of the unit for systemd-run, less those that only
// the installed service has: its program and restarts, and its folders in
// /etc and /var/lib, which the test gives names of its own.
QStringList sandboxProperties(const QString& stateDirectory)
{
    const QStringList leftOut{"ExecStart",
                              "ExecReload",
                              "Restart",
                              "RestartSec",
                              "TimeoutStopSec",
                              "RestartPreventExitStatus",
                              "ConfigurationDirectory",
                              "StateDirectory"};
    QStringList properties;
    bool service = false;
    for (const QByteArray& raw : installedUnit().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            service = line == QStringLiteral("[Service]");
        if (!service || line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            !line.contains(QLatin1Char('=')))
            continue;
        if (!leftOut.contains(line.section(QLatin1Char('='), 0, 0)))
            properties << QStringLiteral("--property=") + line;
    }
    properties << QStringLiteral("--property=StateDirectory=") + stateDirectory;
    return properties;
}

TEST(ServiceUnit, HardenedServiceOpensABoardOnAPseudoTerminalAndReachesTheBroker)
{
    if (!QFileInfo(QStringLiteral("/run/systemd/system")).isDir())
        GTEST_SKIP() << "systemd is not the service manager here: nothing to run the unit in";
    if (::geteuid() != 0)
        GTEST_SKIP() << "starting a system service with systemd-run needs root";
    for (const char* hidden : {"/home/", "/root/", "/run/user/"}) {
        if (QString::fromUtf8(V217_SERVICE).startsWith(QLatin1String(hidden)))
            GTEST_SKIP() << "this build is in a home folder, which the unit hides (ProtectHome=)";
    }

    Broker broker;
    ASSERT_TRUE(broker.start());
    QTemporaryDir configHome;
    SimulatedBoard sim(configHome.path(), 0, QStringLiteral(V217_BOARDSIM));
    sim.keepEvents();
    ASSERT_TRUE(sim.start());
    // A serial device as udev leaves it: the group dialout may use it.
    const group* dialout = ::getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    const QByteArray terminal = QFile::encodeName(sim.terminal());
    ASSERT_EQ(::chown(terminal.constData(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(terminal.constData(), 0660), 0);

    // Outside /tmp, which the unit's private /tmp hides, and readable by
    // the unit's dynamic user.
    QTemporaryDir work(QDir::current().filePath(QStringLiteral("unit-XXXXXX")));
    ASSERT_TRUE(QFile::setPermissions(
        work.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                         QFileDevice::ReadOther | QFileDevice::ExeOther));
    const QString project = work.filePath(QStringLiteral("p.iom"));
    WriteTextLines(project, {"0", "0", "0", "[t]", "[r]"});

    network::MqttClient::Settings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    settings.clientId = QStringLiteral("watcher");
    network::MqttClient watcher(settings);
    QByteArray availability;
    watcher.setOnMessage(
        [&](const QString&, const QByteArray& payload) { availability = payload; });
    watcher.subscribe(QStringLiteral("qmxv217/tank/availability"));
    watcher.start();

    const QString unit = QStringLiteral("qmxv217d-test-%1").arg(::getpid());
    const QString state = unit;
    QByteArray output;
    const int started =
        run(QStringLiteral("systemd-run"),
            QStringList{QStringLiteral("--unit=") + unit, "--collect", "--quiet"} +
                sandboxProperties(state) +
                QStringList{"--", V217_SERVICE, "--name", "tank", "--port", sim.terminal(),
                            "--project", project, "--mqtt",
                            QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port())},
            &output);
    const auto journal = [&] {
        QByteArray lines;
        (void)run(QStringLiteral("journalctl"), {"--no-pager", "-u", unit}, &lines);
        return lines.toStdString();
    };
    EXPECT_EQ(started, 0) << output.constData() << journal();
    EXPECT_TRUE(sim.waitFor("rx", "I0\\r", 10000)) << sim.log() << journal();
    EXPECT_TRUE(waitUntil([&] { return availability == "online"; }, seconds(10))) << journal();

    (void)run(QStringLiteral("systemctl"), {"stop", unit});
    QDir(QStringLiteral("/var/lib/private/") + state).removeRecursively();
    QFile::remove(QStringLiteral("/var/lib/") + state);
}

} // namespace
