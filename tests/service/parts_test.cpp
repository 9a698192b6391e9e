// SPDX-License-Identifier: GPL-3.0-or-later
// The service's smaller parts: the recovery waits, the log line form, the
// headless view's answers and the device watch.
#include "service/backoff.h"
#include "service/devicewatch.h"
#include "service/headlessview.h"
#include "service/journal.h"
#include "service/logfile.h"
#include "tools/waituntil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(ServiceBackoff, DoublesToTheCeilingAndStartsAgainAfterAWholeCycle)
{
    service::Backoff backoff;
    QList<qint64> waits;
    for (int i = 0; i < 9; ++i)
        waits.append(backoff.next().count());
    EXPECT_EQ(waits, (QList<qint64>{500, 1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
    backoff.noteWholeCycle();
    EXPECT_EQ(backoff.next().count(), 500);
    EXPECT_EQ(backoff.next().count(), 1000);
}

TEST(ServiceJournal, OneLinePerMessageWithLevelOrJournalPriority)
{
    const service::Journal plain(false);
    EXPECT_EQ(plain.format(QStringLiteral("tank"), service::Level::Error,
                           QStringLiteral("The board is not responding.\rPlease check port.\r")),
              QStringLiteral("tank: error: The board is not responding. Please check port."));
    EXPECT_EQ(plain.format(QStringLiteral("tank"), service::Level::Info, QStringLiteral("Ready")),
              QStringLiteral("tank: info: Ready"));
    const service::Journal journal(true);
    EXPECT_EQ(journal.format(QStringLiteral("pump"), service::Level::Warning,
                             QStringLiteral("Rules list empty")),
              QStringLiteral("<4>pump: Rules list empty"));
    EXPECT_EQ(journal.format(QStringLiteral("pump"), service::Level::Error, QStringLiteral("x")),
              QStringLiteral("<3>pump: x"));
}

TEST(ServiceHeadlessView, LogsStatusAndBoxesAndAnswersTheSafeSide)
{
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    ASSERT_NE(out, nullptr);
    {
        service::Journal journal(false, out);
        service::HeadlessView view(QStringLiteral("tank"), &journal);
        view.setStatusText(View::Panel::Clock, QStringLiteral("12:00:00"));
        view.setStatusText(View::Panel::Message, QStringLiteral("System opened"));
        view.setStatusText(View::Panel::Message, QStringLiteral("System opened"));
        view.showError(QStringLiteral("Error: Invalid data received"));
        EXPECT_EQ(view.confirm(QStringLiteral("Log data available in memory.\r\rSave?"),
                               View::Buttons::YesNoCancel, View::Answer::Cancel),
                  View::Answer::Cancel);
        EXPECT_EQ(view.confirm(QStringLiteral("Continue?"), View::Buttons::YesNo, View::Answer::No),
                  View::Answer::No);
        EXPECT_TRUE(view.chooseFile(View::FileDialog::SaveLog).isEmpty());
        QString port = QStringLiteral("3");
        EXPECT_FALSE(view.showPortDialog(port));
        EXPECT_EQ(view.errorBoxes(), QStringList{QStringLiteral("Error: Invalid data received")});
    }
    std::fclose(out);
    const QString text = QString::fromUtf8(buffer, static_cast<qsizetype>(size));
    std::free(buffer);
    EXPECT_EQ(text, QStringLiteral("tank: info: System opened\n"
                                   "tank: error: Error: Invalid data received\n"
                                   "tank: warning: Log data available in memory. Save? - "
                                   "answered Cancel\n"
                                   "tank: warning: Continue? - answered No\n"));
}

TEST(ServiceDeviceWatch, FiresWhenALinkLeadsToADeviceAgainAndNotBefore)
{
    QTemporaryDir dir;
    const QString byId = dir.filePath(QStringLiteral("serial/by-id"));
    const QString link = byId + QStringLiteral("/usb-FTDI-port0");
    const QString node = dir.filePath(QStringLiteral("dev/ttyUSB0"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("dev"))));
    // The by-id folder is gone with its last device: the watch starts from
    // its parent. A link to a node that is not there: the node's folder is
    // watched too.
    EXPECT_EQ(service::DeviceWatch::foldersFor(link), QStringList{dir.path()});
    int fired = 0;
    service::DeviceWatch watch;
    watch.watch(link, [&] { ++fired; });
    ASSERT_TRUE(QDir().mkpath(byId));
    ASSERT_TRUE(QFile::link(node, link));
    EXPECT_EQ(service::DeviceWatch::foldersFor(link),
              (QStringList{byId, dir.filePath(QStringLiteral("dev"))}));
    ASSERT_TRUE(waitUntil([&] { return fired == 0 && watch.watching(); }));
    QFile device(node);
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    device.close();
    EXPECT_TRUE(waitUntil([&] { return fired == 1; }));
    EXPECT_FALSE(watch.watching());
}

TEST(ServiceLogFile, AppendsEachLineAndReportsAFileItCannotWriteOnce)
{
    QTemporaryDir dir;
    QStringList problems;
    service::LogFile log([&](const QString& problem) { problems.append(problem); });
    log.setPath(dir.filePath(QStringLiteral("logs/tank.log")));
    log.append(QStringLiteral("Log Now initiated"));
    QFile file(log.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // On disk at once, before the next line.
    EXPECT_EQ(file.readAll(), QByteArray("Log Now initiated\r\n"));
    log.append(QString());
    EXPECT_EQ(file.readAll(), QByteArray("\r\n"));

    log.setPath(dir.filePath(QStringLiteral("logs")));
    log.append(QStringLiteral("a"));
    log.append(QStringLiteral("b"));
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().startsWith(QStringLiteral("cannot write the log file")));
}

} // namespace
