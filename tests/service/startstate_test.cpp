// SPDX-License-Identifier: GPL-3.0-or-later
// The start states that are not a fixed word: the relay word kept across
// restarts, and the word the timer records give at a moment.
#include "common/daynumber.h"
#include "service/startstate.h"
#include "timers/chantimer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(StartState, TheKeptWordComesBackAndAMissingOrDamagedFileSaysWhy)
{
    QTemporaryDir state;
    const QString path = service::RelayStateFile(state.path() + "/new", QStringLiteral("tank"));
    EXPECT_EQ(path, state.path() + "/new/tank.relays");
    EXPECT_EQ(std::get<QString>(service::ReadRelayState(path)), path + " does not exist");

    // The folder is made on the first save.
    ASSERT_TRUE(service::WriteRelayState(path, 0x0105));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("0105\n"));
    EXPECT_EQ(std::get<quint16>(service::ReadRelayState(path)), 0x0105);
    ASSERT_TRUE(service::WriteRelayState(path, 0xA00F));
    EXPECT_EQ(std::get<quint16>(service::ReadRelayState(path)), 0xA00F);

    for (const QByteArray& damaged : {QByteArray(""), QByteArray("01"), QByteArray("01G5\n"),
                                      QByteArray("0105\n0000\n"), QByteArray("\x00\x01", 2)}) {
        SCOPED_TRACE(damaged.toHex().toStdString());
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(damaged);
        out.close();
        EXPECT_EQ(std::get<QString>(service::ReadRelayState(path)), path + " holds no relay word");
    }
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_EQ(std::get<QString>(service::ReadRelayState(path)), path + " cannot be read");
}

TEST(StartState, TheScheduleWordIsWhatTheFirstTimerPassSwitchesOn)
{
    const QDateTime now(QDate(2027, 3, 10), QTime(14, 30));
    const auto at = [](int day, int hour) {
        return DateTimeToDayNumber(QDateTime(QDate(2027, 3, day), QTime(hour, 0)));
    };
    const auto record = [](const char* relay, double on, double off, const char* days = "0000000") {
        return chantimer::MakeRecord(QString::fromLatin1(relay), on, off, QStringLiteral("0"),
                                     QStringLiteral("0"), QString::fromLatin1(days),
                                     QLatin1Char('.'));
    };
    // Open now: 02 by its dates, 05 every day 14:00 to 15:00.
    // Closed now: 03 ended yesterday, 04 starts tomorrow, 06 daily mornings.
    const QStringList records =
        record("02", at(9, 8), at(11, 8)) + record("03", at(8, 8), at(9, 8)) +
        record("04", at(11, 8), at(12, 8)) + record("05", at(1, 14), at(1, 15), "1111111") +
        record("06", at(1, 6), at(1, 9), "1111111");
    EXPECT_EQ(service::ScheduleWord(records, now, QLatin1Char('.')), 0x0012);
    EXPECT_EQ(service::ScheduleWord(records.mid(9, 18) + records.mid(36), now, QLatin1Char('.')),
              0x0000);
    EXPECT_EQ(service::ScheduleWord({}, now, QLatin1Char('.')), 0x0000);
    // Records the engine stops at switch nothing.
    EXPECT_EQ(service::ScheduleWord(records.mid(0, 8), now, QLatin1Char('.')), 0x0000);
}

} // namespace
