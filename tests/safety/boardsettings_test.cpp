// SPDX-License-Identifier: GPL-3.0-or-later
// The board settings file: every key with its good and bad values, the
// words of each fault, and the text the Board window saves giving the same
// settings back.
#include "safety/boardsettings.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;
using safety::BoardSettings;
using safety::Duration;
using safety::StartState;

BoardSettings parsed(const QByteArray& text)
{
    auto result = safety::ParseBoardSettings(text);
    if (const auto* fault = std::get_if<safety::SettingsFault>(&result))
        ADD_FAILURE() << fault->line << ": " << fault->problem.toStdString();
    return std::get_if<BoardSettings>(&result) ? std::get<BoardSettings>(result) : BoardSettings{};
}

QString faultOf(const QByteArray& text)
{
    auto result = safety::ParseBoardSettings(text);
    const auto* fault = std::get_if<safety::SettingsFault>(&result);
    return fault ? QStringLiteral("%1: %2").arg(fault->line).arg(fault->problem)
                 : QStringLiteral("none");
}

TEST(BoardSettings, NoFileIsABoardWithoutSettings)
{
    const BoardSettings none = parsed("# nothing yet\n");
    EXPECT_EQ(none, BoardSettings{});
    EXPECT_TRUE(none.guardsNothing());
    EXPECT_EQ(none.deadTime, 200ms);
    EXPECT_FALSE(none.startState);
    EXPECT_EQ(none.relayLabel(1), QStringLiteral("02"));
}

TEST(BoardSettings, TheWorkedExampleReadsAsWritten)
{
    const BoardSettings s = parsed("relay-01-name = Blind up\n"
                                   "relay-02-name = Blind down\n"
                                   "relay-05-name = Pump\n"
                                   "Relay-05-Max-On = 20min\n"
                                   "input-3-name = Float switch\n"
                                   "input-3-debounce = 3\n"
                                   "interlock = 01,02 03,4,05\n"
                                   "interlock-dead-time = 0.5s\n"
                                   "start-state = schedule\n");
    EXPECT_EQ(s.relayLabel(0), QStringLiteral("01 (Blind up)"));
    EXPECT_EQ(s.inputLabel(2), QStringLiteral("3 (Float switch)"));
    EXPECT_EQ(s.maxOn.at(4), 20min);
    EXPECT_EQ(s.debounce.at(2), 3);
    ASSERT_EQ(s.interlocks.size(), 2);
    EXPECT_EQ(s.interlocks.at(0), 0x0003);
    EXPECT_EQ(s.interlocks.at(1), 0x001C);
    EXPECT_EQ(s.groupOf(3), 0x001C);
    EXPECT_EQ(s.groupOf(5), 0);
    EXPECT_EQ(s.deadTime, 500ms);
    EXPECT_EQ(s.startState, (StartState{StartState::Mode::Schedule, 0}));
    EXPECT_FALSE(s.guardsNothing());
}

TEST(BoardSettings, DurationsInEveryUnitUpToAWeek)
{
    EXPECT_EQ(safety::ParseDuration(QStringLiteral("500ms")), 500ms);
    EXPECT_EQ(safety::ParseDuration(QStringLiteral("0.5s")), 500ms);
    EXPECT_EQ(safety::ParseDuration(QStringLiteral("1.5 min")), 90s);
    EXPECT_EQ(safety::ParseDuration(QStringLiteral("24h")), 24h);
    EXPECT_EQ(safety::ParseDuration(QStringLiteral("0")), 0ms);
    for (const char* bad : {"5", "s", "-1s", "1,5s", "0.0001s", "2 days", "1e3s", ""})
        EXPECT_FALSE(safety::ParseDuration(QString::fromLatin1(bad))) << bad;
    for (const Duration d : {Duration(200), Duration(1500), Duration(30s), Duration(20min),
                             Duration(24h), Duration(1234)})
        EXPECT_EQ(safety::ParseDuration(safety::DurationText(d)), d)
            << safety::DurationText(d).toStdString();
    BoardSettings all;
    for (int relay = 1; relay <= 16; ++relay)
        EXPECT_EQ(safety::SetBoardSetting(
                      all, QStringLiteral("relay-%1-max-on").arg(relay, 2, 10, QLatin1Char('0')),
                      QStringLiteral("24h")),
                  QString());
    EXPECT_EQ(faultOf("relay-03-max-on = 100ms\n"),
              QStringLiteral("1: relay-03-max-on '100ms' is not between 200ms and 168h"));
    EXPECT_EQ(faultOf("relay-03-max-on = 169h\n"),
              QStringLiteral("1: relay-03-max-on '169h' is not between 200ms and 168h"));
}

TEST(BoardSettings, EachFaultNamesItsLineAndWhatIsWrong)
{
    EXPECT_EQ(faultOf("relay-1-name = x\n"), QStringLiteral("1: unknown key 'relay-1-name'"));
    EXPECT_EQ(faultOf("\nrelay-17-name = x\n"),
              QStringLiteral("2: relay-17-name names relay 17; the relays are 01 to 16"));
    EXPECT_EQ(faultOf("input-7-debounce = 2\n"),
              QStringLiteral("1: input-7-debounce names input 7; the inputs are 1 to 6"));
    EXPECT_EQ(faultOf("input-2-debounce = 0\n"),
              QStringLiteral("1: input-2-debounce '0' is not a number of reads from 1 to 100"));
    EXPECT_EQ(faultOf("interlock = 01,02 02,03\n"),
              QStringLiteral("1: interlock '01,02 02,03' names relay 02 twice"));
    EXPECT_EQ(faultOf("interlock = 01,17\n"),
              QStringLiteral("1: interlock '01,17' names '17', not a relay 01 to 16"));
    EXPECT_EQ(faultOf("interlock = 01,,02\n"),
              QStringLiteral("1: interlock '01,,02' names '', not a relay 01 to 16"));
    EXPECT_EQ(faultOf("interlock = 01 02,03\n"),
              QStringLiteral("1: interlock group '01' has one relay; a group needs two or more"));
    EXPECT_EQ(faultOf("interlock =\n"),
              QStringLiteral("1: interlock is empty; write groups such as '01,02 03,04'"));
    EXPECT_EQ(faultOf("interlock-dead-time = 2min\n"),
              QStringLiteral("1: interlock-dead-time '2min' is longer than 1min"));
    EXPECT_EQ(faultOf("start-state = on\n"),
              QStringLiteral("1: start-state 'on' is not off, four hex digits, last or schedule"));
    EXPECT_EQ(faultOf("relay-01-name = a\nrelay-01-name = b\n"),
              QStringLiteral("2: 'relay-01-name' is set twice"));
    EXPECT_EQ(faultOf("relay-01-name = a\x01b\n"),
              QStringLiteral("1: relay-01-name holds a control character"));
    EXPECT_EQ(faultOf("relay-01-name = " + QByteArray(41, 'x') + "\n"),
              QStringLiteral("1: relay-01-name is longer than 40 characters"));
    EXPECT_EQ(faultOf("[board]\n"), QStringLiteral("1: expected 'key = value'"));
}

TEST(BoardSettings, TheSavedTextGivesTheSameSettingsBack)
{
    const BoardSettings s = parsed("relay-16-name = Last = one # not a comment\n"
                                   "relay-05-max-on = 1.5s\n"
                                   "input-6-name = Door\n"
                                   "input-1-debounce = 100\n"
                                   "interlock = 07,08,09 01,02\n"
                                   "interlock-dead-time = 0\n"
                                   "start-state = 8001\n");
    const QByteArray text = safety::BoardSettingsText(s);
    EXPECT_TRUE(text.startsWith("# V217 board settings\n"));
    EXPECT_TRUE(text.contains("relay-05-max-on = 1.5s\n"));
    EXPECT_TRUE(text.contains("interlock = 07,08,09 01,02\n"));
    EXPECT_TRUE(text.contains("start-state = 8001\n"));
    EXPECT_EQ(parsed(text), s);
    EXPECT_EQ(safety::BoardSettingsText(BoardSettings{}), QByteArray("# V217 board settings\n"));
}

TEST(BoardSettings, AFileThatIsNotAPlainSettingsFileIsRefusedWithItsName)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("board.conf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(std::get<QString>(safety::ReadBoardSettingsFile(fifo)),
              fifo + QStringLiteral(": is not a regular file"));

    const QString big = dir.filePath(QStringLiteral("big.conf"));
    QFile file(big);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(safety::kLargestSettingsFile + 1, '#'));
    file.close();
    EXPECT_EQ(std::get<QString>(safety::ReadBoardSettingsFile(big)),
              big + QStringLiteral(": is larger than 65536 bytes"));

    const QString bad = dir.filePath(QStringLiteral("bad.conf"));
    QFile badFile(bad);
    ASSERT_TRUE(badFile.open(QIODevice::WriteOnly));
    badFile.write("relay-01-name = ok\ninterlock = 01\n");
    badFile.close();
    EXPECT_EQ(
        std::get<QString>(safety::ReadBoardSettingsFile(bad)),
        bad + QStringLiteral(":2: interlock group '01' has one relay; a group needs two or more"));
}

} // namespace
