// SPDX-License-Identifier: GPL-3.0-or-later
// qmxv217d: the controller of the desktop program, unattended, for one
// board or many. See --help and qmxv217d(8).
#include "common/savefile.h"
#include "service/daemon.h"
#include "service/journal.h"
#include "service/printschedule.h"
#include "service/serviceconfig.h"

#include <QCoreApplication>

#include <cstdio>
#include <variant>

namespace {

int fail(const service::ConfigError& error)
{
    std::fprintf(stderr, "qmxv217d: %s\n", error.text().toLocal8Bit().constData());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    IgnoreFileSizeSignal();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qmxv217d"));
    QCoreApplication::setApplicationVersion(QStringLiteral(V217_VERSION));

    auto parsed = service::ParseCommandLine(QCoreApplication::arguments().mid(1));
    if (auto* error = std::get_if<service::ConfigError>(&parsed))
        return fail(*error);
    const service::Options& options = std::get<service::Options>(parsed);
    if (options.help) {
        std::fputs(service::HelpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("qmxv217d %s\n", V217_VERSION);
        return 0;
    }
    if (options.printSchedule) {
        const auto csv =
            service::ScheduleCsv(options.boards.constFirst().project, options.scheduleFrom,
                                 options.scheduleDays, QTimeZone::systemTimeZone(),
                                 options.scheduleRecords ? service::ScheduleRows::Records
                                                         : service::ScheduleRows::Relays);
        if (const auto* error = std::get_if<service::ConfigError>(&csv))
            return fail(*error);
        std::fwrite(std::get<QByteArray>(csv).constData(), 1,
                    static_cast<size_t>(std::get<QByteArray>(csv).size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    service::Journal journal(service::Journal::stderrIsJournal());
    service::Daemon daemon(options, journal);
    if (const std::optional<service::ConfigError> error = daemon.prepare())
        return fail(*error);
    daemon.start();
    return QCoreApplication::exec();
}
