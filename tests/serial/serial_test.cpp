// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/Serial2.h"
#include "serial/baudrate.h"
#include "serial/ptypair.h"
#include "tools/waituntil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <termios.h>

namespace {

using std::chrono::milliseconds;

// --- the records and limits, without a port ---

struct LimitRow
{
    qsizetype bytes;
    int baud;
    int limitMs;
};

TEST(SerialLimits, WriteStringTimeLimitIsPerByteWithAFloorOf500Ms)
{
    const LimitRow rows[] = {
        {300, 9600, 600}, {6, 9600, 500},      {300, 57600, 500}, {10000, 57600, 500},
        {10, 110, 1810},  {1000, 14400, 1000}, {0, 9600, 500},
    };
    for (const LimitRow& row : rows)
        EXPECT_EQ(TSerial::WriteTimeLimit(row.bytes, row.baud), milliseconds(row.limitMs))
            << row.bytes << " bytes at " << row.baud;
}

TEST(SerialLimits, XonAndXoffLimitsAreAThirdOfTheReceiveQueue)
{
    const LineSettings s =
        TSerial::BuildLineSettings(9600, paNone, d8bit, st1bit, fcNone, false, 1024);
    EXPECT_EQ(s.xonLim, 341);
    EXPECT_EQ(s.xoffLim, 341);
    EXPECT_EQ(s.length, 28u);
    EXPECT_EQ(s.byteSize, 8);
    EXPECT_EQ(s.xonChar, 17);
    EXPECT_EQ(s.xoffChar, 19);
    EXPECT_EQ(s.errorChar, 63);
}

struct FlagRow
{
    eFlowControl flow;
    bool checkParity;
    quint32 flags;
};

TEST(SerialLimits, FlagWordFollowsFlowModeAndParityCheck)
{
    const FlagRow rows[] = {
        {fcNone, false, 0x0001},    {fcNone, true, 0x0003},     {fcRTS_CTS, false, 0x2005},
        {fcDTR_DSR, false, 0x0029}, {fcXON_XOF, false, 0x0301}, {fcXON_XOF, true, 0x0303},
    };
    for (const FlagRow& row : rows)
        EXPECT_EQ(
            TSerial::BuildLineSettings(9600, paNone, d7bit, st1bit, row.flow, row.checkParity, 1024)
                .flags,
            row.flags)
            << row.flow << " " << row.checkParity;
    const LineSettings s =
        TSerial::BuildLineSettings(110, paSpace, d7bit, st2bit, fcNone, true, 90);
    EXPECT_EQ(s.parity, 4);
    EXPECT_EQ(s.stopBits, 2);
    EXPECT_EQ(s.byteSize, 7);
    EXPECT_EQ(s.xonLim, 30);
}

TEST(SerialLimits, DefaultsAreTheComponentsOwn)
{
    TSerial serial;
    EXPECT_EQ(serial.Port(), 1);
    EXPECT_EQ(serial.Baudrate(), 9600);
    EXPECT_EQ(serial.Parity(), paNone);
    EXPECT_EQ(serial.DataBits(), d7bit);
    EXPECT_EQ(serial.StopBits(), st1bit);
    EXPECT_EQ(serial.RxQueueSize(), 1024);
    EXPECT_EQ(serial.TxQueueSize(), 1024);
    EXPECT_EQ(serial.FlowMode(), fcNone);
    EXPECT_TRUE(serial.CheckParity());
    EXPECT_EQ(serial.RxEventMode(), rxNormal);
    EXPECT_EQ(serial.MessageStartChar(), 2);
    EXPECT_EQ(serial.MessageEndChar(), 3);
    EXPECT_EQ(serial.MessageAppendCount(), 0);
    EXPECT_EQ(serial.NotifyErrors(), neDialog);
    EXPECT_EQ(serial.ErrorCode(), 0);
    EXPECT_FALSE(serial.Active());
    EXPECT_EQ(serial.RxWaiting(), 0);
    EXPECT_EQ(serial.TxWaiting(), 0);
}

// --- against a pseudo-terminal ---

class SerialPort : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        serial.setPort(3);
        serial.setDataBits(d8bit);
        serial.setCheckParity(false);
        serial.setNotifyErrors(neEvent);
        serial.setOnError([this](TSerial&) { ++errors; });
        serial.setErrorBox([this](const QString& text) { boxes.append(text); });
    }
    void open()
    {
        serial.setActive(true);
        ASSERT_TRUE(serial.Active()) << serial.errorText().toStdString();
    }
    // The speed the terminal runs at, as its other side sees it.
    [[nodiscard]] int terminalSpeed() const
    {
        int rate = 0;
        EXPECT_EQ(GetTerminalBaudRate(pty.slave(), rate), 0);
        return rate;
    }

    PtyPair pty{3};
    TSerial serial;
    int errors = 0;
    QStringList boxes;
};

TEST_F(SerialPort, OpensWritesClosesAndOpensAgain)
{
    open();
    serial.WriteString("R0000\r");
    EXPECT_TRUE(waitUntil([&] { return pty.received() == "R0000\r"; }));
    serial.setActive(false);
    EXPECT_FALSE(serial.Active());
    open();
    serial.WriteString("I0\r");
    EXPECT_TRUE(waitUntil([&] { return pty.received() == "R0000\rI0\r"; }));
    EXPECT_EQ(errors, 0);
}

TEST_F(SerialPort, TheLineIsRawAndRunsAtTheChosenRate)
{
    open();
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.slave(), &tio), 0);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(terminalSpeed(), 9600);
    // CR stays CR on the way in.
    pty.send("\r\n#");
    EXPECT_TRUE(waitUntil([&] { return serial.RxWaiting() == 3; }));
    char c = 0;
    ASSERT_EQ(serial.ReadChar(c), 1);
    EXPECT_EQ(c, '\r');
}

TEST_F(SerialPort, ASecondOpenOfTheSameDeviceFailsWithErrorCode)
{
    open();
    TSerial second;
    second.setPort(3);
    second.setNotifyErrors(neNone);
    second.setActive(true);
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(second.ErrorCode(), EBUSY);
    EXPECT_TRUE(serial.Active());
}

TEST_F(SerialPort, AMissingPortFailsAndIsReportedByNotifyErrors)
{
    serial.setPort(0);
    serial.setActive(true);
    EXPECT_FALSE(serial.Active());
    EXPECT_EQ(serial.ErrorCode(), ENOENT);
    EXPECT_EQ(errors, 1);

    serial.setNotifyErrors(neDialog);
    serial.setPort(8);
    QFile::link(QStringLiteral("/nonexistent/tty"), PortFolder() + QStringLiteral("/com8"));
    serial.setActive(true);
    EXPECT_FALSE(serial.Active());
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.at(0), QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_EQ(errors, 1);
}

TEST_F(SerialPort, AnInvalidBaudrateIsRefusedWithABoxWhateverNotifyErrorsSays)
{
    serial.setNotifyErrors(neNone);
    open();
    serial.setBaudrate(9601);
    EXPECT_EQ(boxes, QStringList{QStringLiteral("Baudrate is not valid")});
    EXPECT_EQ(serial.Baudrate(), 9600);
    EXPECT_TRUE(serial.Active());

    // The same rate changes nothing: queued input survives.
    pty.send("abc");
    ASSERT_TRUE(waitUntil([&] { return serial.RxWaiting() == 3; }));
    serial.setBaudrate(9600);
    EXPECT_EQ(serial.RxWaiting(), 3);

    // A new rate while open closes (purging the queue) and opens again.
    serial.setBaudrate(19200);
    EXPECT_TRUE(serial.Active());
    EXPECT_EQ(serial.RxWaiting(), 0);
    EXPECT_EQ(terminalSpeed(), 19200);
    EXPECT_EQ(boxes.size(), 1);
}

TEST_F(SerialPort, EveryAcceptedRateIsSetAndReadBack)
{
    open();
    for (const int rate : TSerial::kBaudRates) {
        serial.setBaudrate(rate);
        EXPECT_TRUE(serial.Active()) << rate;
        EXPECT_EQ(terminalSpeed(), rate);
        EXPECT_EQ(errors, 0) << rate << ": " << serial.errorText().toStdString();
    }
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(SerialPort, SettingTheReceiveQueueSizeAlwaysReopens)
{
    open();
    pty.send("xy");
    ASSERT_TRUE(waitUntil([&] { return serial.RxWaiting() == 2; }));
    serial.setRxQueueSize(1024);
    EXPECT_TRUE(serial.Active());
    EXPECT_EQ(serial.RxWaiting(), 0);
}

TEST_F(SerialPort, ReadCharWithNothingReceivedReturnsZeroAndLeavesTheVariable)
{
    open();
    char c = 'q';
    EXPECT_EQ(serial.ReadChar(c), 0);
    EXPECT_EQ(c, 'q');
    serial.setActive(false);
    EXPECT_EQ(serial.ReadChar(c), 0);
    EXPECT_EQ(c, 'q');
    EXPECT_EQ(errors, 0);
}

TEST_F(SerialPort, TheWriteTimeOutOfAFlowControlledOpenStays)
{
    EXPECT_EQ(serial.timeouts().writeTotalTimeoutConstant, 0u);
    serial.setFlowMode(fcRTS_CTS);
    open();
    EXPECT_EQ(serial.timeouts().writeTotalTimeoutConstant, 10000u);
    EXPECT_EQ(serial.timeouts().readIntervalTimeout, 0xFFFFFFFFu);
    serial.setFlowMode(fcNone);
    EXPECT_EQ(serial.lineSettings().flags, LineSettings::kBinary);
    EXPECT_EQ(serial.timeouts().writeTotalTimeoutConstant, 10000u);
}

TEST_F(SerialPort, DtrDsrFlowIsReportedUnsupportedAndThePortStaysOpen)
{
    serial.setFlowMode(fcDTR_DSR);
    serial.setActive(true);
    EXPECT_TRUE(serial.Active());
    EXPECT_EQ(serial.ErrorCode(), ENOTSUP);
    EXPECT_EQ(errors, 1);
    serial.WriteString("ok");
    EXPECT_TRUE(waitUntil([&] { return pty.received() == "ok"; }));
}

TEST_F(SerialPort, NotificationsArriveOnTheOwnerThreadInOrder)
{
    QByteArray got;
    bool onOwner = true;
    int txEmpty = 0;
    serial.setOnRxData([&] {
        onOwner = onOwner && QThread::currentThread() == QCoreApplication::instance()->thread();
        char c = 0;
        while (serial.ReadChar(c) > 0)
            got += c;
    });
    serial.setOnTxEmpty([&](TSerial& sender) {
        EXPECT_EQ(&sender, &serial);
        onOwner = onOwner && QThread::currentThread() == QCoreApplication::instance()->thread();
        ++txEmpty;
    });
    open();
    QByteArray sent;
    for (int i = 0; i < 40; ++i) {
        const QByteArray chunk = QByteArray::number(i) + ',';
        pty.send(chunk);
        sent += chunk;
    }
    EXPECT_TRUE(waitUntil([&] { return got.size() == sent.size(); }));
    EXPECT_EQ(got, sent);
    serial.WriteString("R0000\r");
    EXPECT_TRUE(waitUntil([&] { return txEmpty > 0; }));
    EXPECT_TRUE(onOwner);
}

TEST_F(SerialPort, BytesArrivingWhileTheHandlerRunsAreNotifiedAgain)
{
    QByteArray got;
    int notifications = 0;
    serial.setOnRxData([&] {
        ++notifications;
        char c = 0;
        while (serial.ReadChar(c) > 0)
            got += c;
        // The board answers at once, before this handler has returned.
        if (got == "ping") {
            pty.send("pong");
            EXPECT_TRUE(waitUntil([&] { return serial.RxWaiting() == 4; }));
        }
    });
    open();
    pty.send("ping");
    EXPECT_TRUE(waitUntil([&] { return got == "pingpong"; }));
    EXPECT_GE(notifications, 2);
}

TEST_F(SerialPort, BytesNobodyReadsStayQueuedWithoutSpinning)
{
    int notifications = 0;
    serial.setOnRxData([&] { ++notifications; }); // reads nothing
    open();
    pty.send("abc");
    ASSERT_TRUE(waitUntil([&] { return notifications == 1; }));
    const quint64 wakeups = serial.eventWakeups();
    // While the bytes sit unread the thread checks the queue now and then;
    // a spinning thread would wake thousands of times in this bound.
    EXPECT_FALSE(
        waitUntil([&] { return serial.eventWakeups() > wakeups + 60; }, milliseconds(300)));
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(serial.RxWaiting(), 3);
    // More bytes are news again.
    pty.send("d");
    EXPECT_TRUE(waitUntil([&] { return notifications == 2; }));
}

TEST_F(SerialPort, CloseEndsTheHandshakeWithoutWaitingTheFullBound)
{
    open();
    QElapsedTimer timer;
    timer.start();
    serial.setActive(false);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(serial.Active());
}

TEST_F(SerialPort, ANotificationInFlightWhenThePortClosesIsDropped)
{
    int notifications = 0;
    serial.setOnRxData([&] { ++notifications; });
    open();
    const quint64 wakeups = serial.eventWakeups();
    pty.send("late");
    // The event thread wakes and queues the notification; the owner does not
    // run its loop, so the hand-off is in flight when the close starts.
    QDeadlineTimer bound(5000);
    while (serial.eventWakeups() == wakeups && !bound.hasExpired())
        QThread::yieldCurrentThread();
    QElapsedTimer timer;
    timer.start();
    serial.setActive(false);
    EXPECT_LT(timer.elapsed(), 2000);
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications, 0);
}

TEST_F(SerialPort, ACloseFromInsideAHandlerDoesNotWaitForTheParkedThread)
{
    qint64 closeMs = -1;
    serial.setOnRxData([&] {
        QElapsedTimer timer;
        timer.start();
        serial.setActive(false);
        closeMs = timer.elapsed();
    });
    open();
    pty.send("x");
    ASSERT_TRUE(waitUntil([&] { return closeMs >= 0; }));
    EXPECT_LT(closeMs, 2000);
    EXPECT_FALSE(serial.Active());
    // The thread comes back from its hand-off and serves the next session.
    serial.setOnRxData({});
    QByteArray got;
    serial.setOnRxData([&] {
        char c = 0;
        while (serial.ReadChar(c) > 0)
            got += c;
    });
    open();
    pty.send("again");
    EXPECT_TRUE(waitUntil([&] { return got.endsWith("again"); }));
}

TEST_F(SerialPort, AHangUpIsReportedOnceAndTheThreadDoesNotSpin)
{
    open();
    // Bytes nobody read are still queued when the device goes.
    pty.send("abc");
    ASSERT_TRUE(waitUntil([&] { return serial.RxWaiting() == 3; }));
    pty.hangUp();
    ASSERT_TRUE(waitUntil([&] { return errors == 1; }));
    EXPECT_EQ(serial.ErrorCode(), EIO);
    const quint64 wakeups = serial.eventWakeups();
    EXPECT_FALSE(waitUntil([&] { return errors > 1 || serial.eventWakeups() > wakeups + 5; },
                           milliseconds(500)));
    EXPECT_EQ(errors, 1);
    EXPECT_TRUE(serial.Active());
    // Closing a port whose device is gone is quick and quiet.
    serial.setActive(false);
    EXPECT_FALSE(serial.Active());
}

// --- message mode ---

struct MessageRow
{
    const char* name;
    char start;
    char end;
    quint16 append;
    QByteArray received;
    QList<QByteArray> messages;
    QByteArray buffer;
};

// Test names show the row's name, not its bytes.
void PrintTo(const MessageRow& row, std::ostream* out)
{
    *out << row.name;
}

class MessageMode : public SerialPort, public ::testing::WithParamInterface<MessageRow>
{
};

TEST_P(MessageMode, AssemblesFramesFromTheReceivedBytes)
{
    const MessageRow& row = GetParam();
    QList<QByteArray> messages;
    serial.setRxEventMode(rxMessage);
    serial.setMessageStartChar(row.start);
    serial.setMessageEndChar(row.end);
    serial.setMessageAppendCount(row.append);
    serial.setOnMessage([&](TSerial&, const QByteArray& message) { messages.append(message); });
    open();
    pty.send(row.received);
    // Every byte taken by the thread, and the expected messages in.
    ASSERT_TRUE(waitUntil([&] {
        return serial.bytesRead() == static_cast<quint64>(row.received.size()) &&
               messages.size() >= row.messages.size();
    }));
    QCoreApplication::processEvents();
    EXPECT_EQ(messages, row.messages);
    serial.setActive(false);
    EXPECT_EQ(serial.MessageBuffer(), row.buffer);
}

INSTANTIATE_TEST_SUITE_P(Frames, MessageMode,
                         ::testing::Values(MessageRow{"TrailerOfTwo",
                                                      2,
                                                      3,
                                                      2,
                                                      QByteArray("x\x02"
                                                                 "ab\x03"
                                                                 "cdy"),
                                                      {QByteArray("\x02"
                                                                  "ab\x03"
                                                                  "cd")},
                                                      QByteArray("\x02"
                                                                 "ab\x03"
                                                                 "cd")},
                                           MessageRow{"SecondStartRestarts",
                                                      2,
                                                      3,
                                                      0,
                                                      QByteArray("\x02"
                                                                 "ab\x02"
                                                                 "cd\x03"),
                                                      {QByteArray("\x02"
                                                                  "cd\x03")},
                                                      QByteArray("\x02"
                                                                 "cd\x03")},
                                           MessageRow{"EndOutsideAMessageIsDropped",
                                                      2,
                                                      3,
                                                      0,
                                                      QByteArray("\x03z\x02"
                                                                 "q\x03\x03"),
                                                      {QByteArray("\x02"
                                                                  "q\x03")},
                                                      QByteArray("\x02"
                                                                 "q\x03")},
                                           MessageRow{"TrailerTakesStartAndEnd",
                                                      2,
                                                      3,
                                                      2,
                                                      QByteArray("\x02"
                                                                 "a\x03\x02\x03"
                                                                 "b"),
                                                      {QByteArray("\x02"
                                                                  "a\x03\x02\x03")},
                                                      QByteArray("\x02"
                                                                 "a\x03\x02\x03")},
                                           MessageRow{"EqualStartAndEndNeverComplete",
                                                      '|',
                                                      '|',
                                                      0,
                                                      QByteArray("|ab|cd|"),
                                                      {},
                                                      QByteArray("|")}),
                         [](const ::testing::TestParamInfo<MessageRow>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(SerialPort, MessageModeWithoutAHandlerLeavesTheBytesQueued)
{
    serial.setRxEventMode(rxMessage);
    open();
    pty.send("\x02"
             "ab\x03");
    EXPECT_TRUE(waitUntil([&] { return serial.RxWaiting() == 4; }));
    EXPECT_FALSE(waitUntil([&] { return serial.RxWaiting() != 4; }, milliseconds(200)));
    EXPECT_TRUE(serial.MessageBuffer().isEmpty());
}

TEST(SerialLifetime, AComponentNeverOpenedEndsWithoutAThread)
{
    auto serial = std::make_unique<TSerial>();
    serial->setActive(false);
    EXPECT_FALSE(serial->Active());
    serial.reset();
    SUCCEED();
}

} // namespace
