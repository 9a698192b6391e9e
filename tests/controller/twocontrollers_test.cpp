// SPDX-License-Identifier: GPL-3.0-or-later
// Two controllers in one process, each on the real serial component and a
// board simulator of its own, with the folders one user has: the same home,
// configuration, state and port folders for both. Neither sees the other's
// relays, inputs, timers, rules or log, and closing one leaves the other
// running.
#include "common/folders.h"
#include "common/regional.h"
#include "common/textlines.h"
#include "logger/logcapture.h"
#include "logger/logtestrig.h"
#include "serial/Serial2.h"
#include "timers/timertest.h"
#include "tools/simulatedboard.h"
#include "tools/waituntil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Relay 7 follows input 2; relay 8 goes on while input 2 is low.
const QStringList kRulesA{u"2H=07H"_s, u"2L=08H"_s};
// Relay 1 follows input 6.
const QStringList kRulesB{u"6H=01H"_s};

// One user's folders for the whole test: HOME, and the configuration and
// state folders under it, as both controllers find them. The folders of the
// test program come back at the end.
class OneUser
{
public:
    OneUser()
    {
        for (const char* name : kVariables)
            m_saved.append(qgetenv(name));
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(u".config"_s)));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_home.filePath(u".local/state"_s)));
        // The working folder, where start-up looks for the last-run file,
        // and the program's folder, where closing writes it.
        QDir(m_home.path()).mkpath(u"work"_s);
        QDir(m_home.path()).mkpath(u"program"_s);
        QDir::setCurrent(m_home.filePath(u"work"_s));
    }
    ~OneUser()
    {
        QDir::setCurrent(QDir::tempPath());
        for (qsizetype i = 0; i < m_saved.size(); ++i)
            qputenv(kVariables[i], m_saved.at(i));
    }
    OneUser(const OneUser&) = delete;
    OneUser& operator=(const OneUser&) = delete;

    [[nodiscard]] QString configHome() const { return m_home.filePath(u".config"_s); }
    [[nodiscard]] QString programFolder() const { return m_home.filePath(u"program"_s); }
    [[nodiscard]] QString file(const QString& name) const { return m_home.filePath(name); }

private:
    static constexpr const char* kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"};
    QTemporaryDir m_home;
    QList<QByteArray> m_saved;
};

// A controller as the desktop program builds it, on the real serial
// component, with a clock that moves 100 ms before every tick.
struct Station
{
    explicit Station(const OneUser& user)
    {
        core.lastRunFolders().setProgramFolder(user.programFolder());
        clock.set(QDateTime(QDate(2014, 7, 3), QTime(12, 0)));
        serial.setDataBits(d8bit);
        serial.setCheckParity(false);
        serial.setNotifyErrors(neNone);
    }

    // The first tick, then the port as Port -> Set opens it; the board
    // greets it with its prompt.
    [[nodiscard]] bool startOn(int port)
    {
        core.Timer1Timer();
        core.OpenSerialPort(QString::number(port));
        const bool online =
            waitUntil([&] { return view.status[1] == QStringLiteral("Board online..."); });
        view.boxes.clear();
        return online;
    }
    // One tick, then wait until the board's answer has moved the state on.
    [[nodiscard]] bool step()
    {
        const board::CommState before = core.poll().CommState();
        clock.advanceMs(100);
        core.run([this] { core.Timer1Timer(); });
        return waitUntil(
            [&] { return core.poll().CommState() != before || !view.boxes.isEmpty(); });
    }
    // Full poll cycles: a relay write and an input read each.
    [[nodiscard]] bool cycles(int count)
    {
        for (int i = 0; i < 2 * count; ++i) {
            if (!step())
                return false;
        }
        return true;
    }
    // Activates and completes the first relay write, so the next tick reads
    // the inputs.
    [[nodiscard]] bool activate()
    {
        core.ActiveButtClick();
        return step();
    }
    // The Activate button again: the cycle in progress, then all relays off.
    [[nodiscard]] bool deactivate()
    {
        core.ActiveButtClick();
        return step() && step() && waitUntil([&] { return !core.poll().SystemActive(); });
    }
    QString confirmSchedule(const QDateTime& on, const QDateTime& off, const QString& frequency)
    {
        return ConfirmLogSchedule(core, view, on, off, frequency);
    }
    [[nodiscard]] static QDateTime at(int hour, int minute, int second)
    {
        return QDateTime(QDate(2014, 7, 3), QTime(hour, minute, second));
    }

    FakeView view;
    TSerial serial;
    ManualClock clock;
    Regional regional = Regional::fixed();
    Controller core{view, serial, clock, regional};
};

// The relay words a board was sent, from kept event `from` on.
QList<QByteArray> relayCommands(const SimulatedBoard& sim, qsizetype from = 0)
{
    QList<QByteArray> relays;
    for (const QByteArray& command : sim.commands(from)) {
        if (command.startsWith('R'))
            relays.append(command);
    }
    return relays;
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines as the safety copy holds them.
QByteArray asCopied(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

QString recoveryFile()
{
    return QDir(StateFolder()).filePath(LogRecovery::kFileName);
}

class TwoControllers : public ::testing::Test
{
protected:
    void SetUp() override
    {
        simA.keepEvents();
        simB.keepEvents();
        ASSERT_TRUE(simA.start(0x02)); // input 2 high
        ASSERT_TRUE(simB.start(0x20)); // input 6 high
        ASSERT_TRUE(a->startOn(1));
        ASSERT_TRUE(b.startOn(2));
    }

    OneUser user;
    // Both boards linked in the one port folder, as COM 1 and COM 2.
    SimulatedBoard simA{user.configHome(), 1, QStringLiteral(V217_BOARDSIM)};
    SimulatedBoard simB{user.configHome(), 2, QStringLiteral(V217_BOARDSIM)};
    std::unique_ptr<Station> a = std::make_unique<Station>(user);
    Station b{user};
};

} // namespace

TEST_F(TwoControllers, RunSideBySideWithoutSeeingEachOther)
{
    // A: timers and rules; its timer record switches relay 5 on at 12:00:10.
    a->core.timers().setTimerList(
        dateRecord("05", ::at(2014, 7, 3, 12, 0, 10), ::at(2014, 7, 3, 13, 0)));
    a->core.TimerSBClick();
    a->core.rules().setRulesList(kRulesA);
    a->core.InputRulesSBClick();
    // B: other rules, no timers, and a log run of every input read.
    b.core.rules().setRulesList(kRulesB);
    b.core.InputRulesSBClick();
    ASSERT_EQ(b.confirmSchedule(b.at(11, 0, 0), b.at(13, 0, 0), u"0.2"_s), QString());

    ASSERT_TRUE(a->activate());
    ASSERT_TRUE(b.activate());
    b.core.InputNowSBClick();
    ASSERT_TRUE(b.core.logger().LogNow());

    // 300 poll cycles, one controller's cycle after the other's, a minute
    // of clock time each.
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(a->cycles(1)) << simA.log();
        ASSERT_TRUE(b.cycles(1)) << simB.log();
    }

    EXPECT_TRUE(a->view.boxes.isEmpty());
    EXPECT_TRUE(b.view.boxes.isEmpty());
    EXPECT_EQ(a->core.poll().PortIn(), 0x02);
    EXPECT_EQ(b.core.poll().PortIn(), 0x20);
    EXPECT_EQ(a->core.poll().PortOut(), 0x0050); // relays 5 and 7
    EXPECT_EQ(b.core.poll().PortOut(), 0x0001);  // relay 1
    // Each board was sent its own controller's relay words only. A control
    // command that sends nothing to the port waits for the simulator's
    // lines so far.
    ASSERT_TRUE(simA.commandAndWait("delay 0")) << simA.log();
    ASSERT_TRUE(simB.commandAndWait("delay 0")) << simB.log();
    const QList<QByteArray> relaysA = relayCommands(simA);
    const QList<QByteArray> relaysB = relayCommands(simB);
    ASSERT_FALSE(relaysA.isEmpty());
    ASSERT_FALSE(relaysB.isEmpty());
    EXPECT_EQ(relaysA.last(), QByteArray("R0050\\r"));
    EXPECT_EQ(relaysB.last(), QByteArray("R0001\\r"));
    EXPECT_TRUE(relaysA.contains(QByteArray("R0050\\r")));
    EXPECT_FALSE(relaysA.contains(QByteArray("R0001\\r")));
    EXPECT_FALSE(relaysB.contains(QByteArray("R0050\\r")));
    EXPECT_EQ(a->view.relayWord, 0x0050);
    EXPECT_EQ(b.view.relayWord, 0x0001);
    EXPECT_EQ(a->view.inputWord, 0x02);
    EXPECT_EQ(b.view.inputWord, 0x20);

    EXPECT_TRUE(a->core.timers().TimersOn());
    EXPECT_FALSE(b.core.timers().TimersOn());
    EXPECT_TRUE(b.core.timers().ActiveTimerList().isEmpty());
    EXPECT_EQ(a->core.rules().RulesList(), kRulesA);
    EXPECT_EQ(b.core.rules().RulesList(), kRulesB);

    EXPECT_FALSE(a->core.logger().LogNow());
    EXPECT_TRUE(a->core.logger().LogList().isEmpty());
    EXPECT_EQ(a->view.countLabel, QString());
    // The header and one line per input read, each with B's words only; the
    // user's safety copy holds B's run, line for line.
    ASSERT_EQ(b.core.logger().LogList().size(), 7 + 300);
    EXPECT_TRUE(b.core.logger().LogList().last().endsWith(DecToBinary(0x20, 6) + QString(4, u' ') +
                                                          DecToBinary(0x0001, 16)))
        << b.core.logger().LogList().last().toStdString();
    EXPECT_EQ(readBytes(recoveryFile()), asCopied(b.core.logger().LogList()));

    // A closes, as its window does: the questions answered No, the last-run
    // file written, the controller and its port gone.
    a->view.answers = {View::Answer::No, View::Answer::No};
    bool canClose = false;
    a->core.run([&] { a->core.FormCloseQuery(canClose); });
    ASSERT_TRUE(canClose);
    a.reset();
    EXPECT_EQ(ReadTextLines(QDir(user.programFolder()).filePath(LastRunFolders::kFileName)),
              (QStringList{u"1"_s, u"*"_s}));

    // B runs on and logs on; A's board hears nothing more.
    const qsizetype markA = simA.events().size();
    const qsizetype markB = simB.events().size();
    ASSERT_TRUE(b.cycles(5)) << simB.log();
    EXPECT_EQ(b.view.boxTexts(), QStringList());
    EXPECT_TRUE(b.core.poll().SystemActive());
    EXPECT_EQ(b.core.poll().PortIn(), 0x20);
    ASSERT_EQ(b.core.logger().LogList().size(), 7 + 305);
    EXPECT_EQ(readBytes(recoveryFile()), asCopied(b.core.logger().LogList()));
    ASSERT_TRUE(simA.commandAndWait("delay 0")) << simA.log();
    ASSERT_TRUE(simB.commandAndWait("delay 0")) << simB.log();
    EXPECT_TRUE(simA.commands(markA).isEmpty()) << simA.log();
    EXPECT_EQ(simB.commands(markB).size(), 10);
}

// Each controller formats with the regional formats it was given, while the
// other runs with different ones.
TEST_F(TwoControllers, FormatWithTheirOwnRegionalFormatsAtTheSameTime)
{
    b.regional = {u"yyyy-MM-dd"_s, u"HH.mm.ss"_s, u','};
    // Each frequency field takes its own separator only.
    EXPECT_TRUE(a->core.loggerForm().FrequencyEditKeyPress(u'.'));
    EXPECT_FALSE(a->core.loggerForm().FrequencyEditKeyPress(u','));
    EXPECT_TRUE(b.core.loggerForm().FrequencyEditKeyPress(u','));
    EXPECT_FALSE(b.core.loggerForm().FrequencyEditKeyPress(u'.'));
    ASSERT_EQ(a->confirmSchedule(a->at(11, 0, 0), a->at(13, 0, 0), u"0.2"_s), QString());
    ASSERT_EQ(b.confirmSchedule(b.at(11, 0, 0), b.at(13, 0, 0), u"0,2"_s), QString());
    // The same toggling timer record in both: 2 s ON, 1 s OFF.
    for (Station* station : {a.get(), &b}) {
        station->core.timers().setTimerList(dateRecord(u"03"_s, ::at(2014, 7, 3, 12, 0),
                                                       ::at(2014, 7, 3, 13, 0), u"0000000"_s,
                                                       u"2"_s, u"1"_s));
        station->core.TimerSBClick();
    }
    ASSERT_TRUE(simA.commandAndWait("inputs 0"));
    ASSERT_TRUE(simB.commandAndWait("inputs 0"));

    ASSERT_TRUE(a->activate());
    ASSERT_TRUE(b.activate());
    a->core.InputNowSBClick();
    b.core.InputNowSBClick();
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(a->cycles(1)) << simA.log();
        ASSERT_TRUE(b.cycles(1)) << simB.log();
    }

    const QStringList& logA = a->core.logger().LogList();
    const QStringList& logB = b.core.logger().LogList();
    ASSERT_EQ(logA.size(), 7 + 6);
    ASSERT_EQ(logB.size(), 7 + 6);
    EXPECT_EQ(logA.at(1), u"Log Start Time:  03/07/2014 12:00:00"_s);
    EXPECT_EQ(logB.at(1), u"Log Start Time:  2014-07-03 12.00.00"_s);
    EXPECT_EQ(logA.at(2), u"Frequency = 0.2"_s);
    EXPECT_EQ(logB.at(2), u"Frequency = 0,2"_s);
    const QString gap(4, u' ');
    // No input high, relay 3 on through its timer.
    const QString words = gap + DecToBinary(0, 6) + gap + DecToBinary(0x0004, 16);
    EXPECT_EQ(logA.last(), u"       5    12:00:01"_s + words);
    EXPECT_EQ(logB.last(), u"       5    12.00.01"_s + words);
    // The status bar's clock, and the toggle count the timer pass writes.
    EXPECT_EQ(a->view.status.at(2), u"12:00:01"_s);
    EXPECT_EQ(b.view.status.at(2), u"12.00.01"_s);
    EXPECT_EQ(a->core.timers().ActiveTimerList().at(8), u"0.8"_s);
    EXPECT_EQ(b.core.timers().ActiveTimerList().at(8), u"0,8"_s);

    // A safety copy for each run: the run that began first has the user's
    // log-recovery.txt, the other the next name beside it, and neither file
    // holds a line of the other run.
    EXPECT_EQ(readBytes(recoveryFile()), asCopied(logA));
    EXPECT_EQ(readBytes(QDir(StateFolder()).filePath(u"log-recovery-2.txt"_s)), asCopied(logB));
    EXPECT_EQ(b.view.statusHistory[1].count(u"Log safety copy failed"_s), 0);

    // The project files: the schedule in each one's separator, the timer
    // record as it was given.
    const QString fileA = user.file(u"a.iom"_s);
    const QString fileB = user.file(u"b.iom"_s);
    a->view.files.push_back(fileA);
    b.view.files.push_back(fileB);
    a->core.Save1Click();
    b.core.Save1Click();
    const QStringList timer = a->core.timers().TimerList();
    EXPECT_EQ(ReadTextLines(fileA),
              QStringList({u"41823.4583333333"_s, u"41823.5416666667"_s, u"0.2"_s, u"[t]"_s}) +
                  timer + QStringList{u"[r]"_s});
    EXPECT_EQ(ReadTextLines(fileB),
              QStringList({u"41823,4583333333"_s, u"41823,5416666667"_s, u"0,2"_s, u"[t]"_s}) +
                  timer + QStringList{u"[r]"_s});

    // The finish line of each run.
    ASSERT_TRUE(a->deactivate());
    ASSERT_TRUE(b.deactivate());
    EXPECT_EQ(logA.last(), u"Log Finish Time:  03/07/2014 13:00:00"_s);
    EXPECT_EQ(logB.last(), u"Log Finish Time:  2014-07-03 13.00.00"_s);
}
