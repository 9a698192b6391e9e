// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <memory>

// The line settings record handed to the device: the fields of the classic
// COM port "device control block", built from the component's properties.
struct LineSettings
{
    // Flag bits of the record's flag word.
    static constexpr quint32 kBinary = 0x0001;
    static constexpr quint32 kParityCheck = 0x0002;
    static constexpr quint32 kOutxCtsFlow = 0x0004;
    static constexpr quint32 kOutxDsrFlow = 0x0008;
    static constexpr quint32 kDtrHandshake = 0x0020;
    static constexpr quint32 kOutX = 0x0100;
    static constexpr quint32 kInX = 0x0200;
    static constexpr quint32 kRtsHandshake = 0x2000;

    quint32 length = 28;
    quint32 baudRate = 9600;
    quint32 flags = kBinary;
    quint16 xonLim = 0;
    quint16 xoffLim = 0;
    quint8 byteSize = 8;
    quint8 parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    quint8 stopBits = 0; // 0 one stop bit, 2 two stop bits
    char xonChar = 17;
    char xoffChar = 19;
    char errorChar = 63;
    char eofChar = 0;
    char evtChar = 0;

    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// The time-outs record, in milliseconds.
struct Timeouts
{
    quint32 readIntervalTimeout = 0;
    quint32 readTotalTimeoutMultiplier = 0;
    quint32 readTotalTimeoutConstant = 0;
    quint32 writeTotalTimeoutMultiplier = 0;
    quint32 writeTotalTimeoutConstant = 0;
};

// A failed device call: the platform's error code and a readable text for it.
struct DeviceError
{
    int code = 0;
    QString text;
    explicit operator bool() const { return code != 0; }
};

// What the event thread compares between two wake-ups to derive the events:
// the input lines, the line counters and the queue counts. A device without
// modem lines (a pseudo-terminal) leaves the line fields alone.
struct DeviceSnapshot
{
    bool hasModemLines = false;
    bool cts = false;
    bool dsr = false;
    bool rlsd = false;
    bool ring = false;
    bool hasCounters = false;
    int breaks = 0;
    int rings = 0;
    int rxQueue = 0;
    int txQueue = 0;
};

// How a wait for device activity ended.
struct WaitOutcome
{
    bool readable = false; // bytes can be read
    bool hangUp = false;   // the device is gone (hang-up or error condition)
    bool woken = false;    // wake() was called
    DeviceError error;     // the wait itself failed
};

enum class ModemLine
{
    RTS,
    DTR
};

// One open serial device, the platform part of the serial component. One
// implementation per platform, chosen by the build (serialdevice_posix.cpp on
// Linux). Every call returns at once except write(), which blocks up to its
// limit, and waitEvents(), which blocks until activity, wake() or its
// time-out.
//
// Threads: open(), close() and the setters run on the component's owning
// thread; waitEvents(), snapshot() and read() may run on the event thread
// while the owner writes. close() may only run when the event thread is not
// inside waitEvents() on this device; wake() may be called from any thread.
class SerialDevice
{
public:
    SerialDevice();
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens the device exclusively, in raw mode, with non-blocking reads.
    [[nodiscard]] DeviceError open(const QString& path);
    [[nodiscard]] DeviceError close();
    [[nodiscard]] bool isOpen() const;

    [[nodiscard]] DeviceError setQueueSizes(quint16 rx, quint16 tx);
    // Applies framing, parity, flow control and the baud rate (last).
    [[nodiscard]] DeviceError applyLineSettings(const LineSettings& settings);
    [[nodiscard]] DeviceError setModemLine(ModemLine line, bool on);
    // Drops whatever waits in both driver queues.
    [[nodiscard]] DeviceError purge();
    [[nodiscard]] DeviceError queueCounts(int& rx, int& tx) const;

    // Writes all n bytes, waiting for room at most `limit`.
    [[nodiscard]] DeviceError write(const char* data, qsizetype n, std::chrono::milliseconds limit);
    // Reads one byte if one is queued: 1, or 0 when none is (error empty) or
    // the read failed (error set). Never blocks.
    [[nodiscard]] int read(char& c, DeviceError& error);

    // Waits for received bytes (when watchInput), a hang-up (unless the
    // device is already known gone, watchDevice false), wake() or the
    // time-out (negative: none).
    [[nodiscard]] WaitOutcome waitEvents(std::chrono::milliseconds timeout, bool watchInput,
                                         bool watchDevice);
    // Releases a waitEvents() in progress, or the next one.
    [[nodiscard]] DeviceError wake();
    [[nodiscard]] DeviceSnapshot snapshot() const;

    // The error for a code, with the platform's text.
    [[nodiscard]] static DeviceError errorFor(int code);
    // The code and text a hang-up is reported with.
    [[nodiscard]] static DeviceError hangUpError();
    // EACCES for the device at path, with advice that names who may open it:
    // the group to join, or that only its owner and root may.
    [[nodiscard]] static DeviceError permissionError(const QString& path);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
