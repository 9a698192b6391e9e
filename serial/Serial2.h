// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <utility>

#include "common/seriallink.h"
#include "serial/serialdevice.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

enum eParity
{
    paNone,
    PaOdd,
    paEven,
    paMark,
    paSpace
};
enum eDataBits
{
    d7bit,
    d8bit
};
enum eStopBits
{
    st1bit,
    st2bit
};
using sPorts = quint8; // 1 to 9
enum eFlowControl
{
    fcNone,
    fcRTS_CTS,
    fcDTR_DSR,
    fcXON_XOF
};
enum eOpModes
{
    rxNormal,
    rxMessage
};
enum eNotifyErr
{
    neDialog,
    neEvent,
    neNone
};
enum eModemInSignal
{
    siCTS,
    siDSR,
    siRLSD
};
enum eModemOutSignal
{
    soRTS,
    soDTR
};

class TSerial;

// The event thread of a TSerial: waits for communication events on the open
// port and hands each notification to the component's owning thread. It is
// started by the first successful open (a component never opened has no
// thread) and the component's destructor ends it and waits for it, so the
// thread never outlives the component it reads.
class TEventThread
{
public:
    explicit TEventThread(TSerial& serial) : Serial(serial) {}
    ~TEventThread();
    TEventThread(const TEventThread&) = delete;
    TEventThread& operator=(const TEventThread&) = delete;

    // Starts the thread; starting a running thread changes nothing.
    void Resume();
    // Asks the thread to end and waits until it has.
    void Terminate();

    TSerial& Serial;

private:
    void Execute();

    std::thread m_thread;
};

// TSerial: one numbered COM port, its line settings, text output, byte-wise
// input and the notifications of the port's events.
//
// Threading contract
// - The component belongs to the thread that created it, the user-interface
//   thread ("owner"). Every property, Active, WriteString and (in rxNormal
//   mode) ReadChar are called on the owner only. Every handler runs on the
//   owner.
// - TEventThread is started by the first successful open and lives until
//   the component is destroyed. While the port is open it waits in poll() on
//   the device and on a wake-up descriptor; while closed it idles.
// - Each notification (and an error found by the event thread) is a
//   synchronous hand-off: the event thread queues it for the owner's event
//   loop and blocks until the owner has run it. Nested loops (modal boxes)
//   keep serving hand-offs. So the notifications of one event set arrive in
//   the fixed order CTS, DSR, RLSD, TxEmpty, Break, Ring, RxData/Message,
//   each after the previous handler returned, and an OnRxData handler may
//   drain the queue with ReadChar undisturbed.
// - A notification is dropped, not run, when the port it came from has been
//   closed since (Active false, or closed and opened again).
// - Closing (Active := false, or a re-open) clears Active, wakes the event
//   thread and waits for it to leave the device, polling every 75 ms at most
//   100 times (7.5 s, the last guard). While it waits it serves a hand-off in
//   flight by dropping it, and when the close runs inside a handler the
//   event thread is known to be parked in that hand-off, so no close freezes
//   the window.
// - Blocking: WriteString blocks the owner at most
//   max(500, n * (20000 div Baudrate)) ms; ReadChar never blocks; setting
//   Active blocks for the close handshake above.
// - Errors: ErrorCode is the errno of the last failure (strerror gives its
//   text); NotifyErrors decides whether an error box (neDialog), OnError
//   (neEvent) or nothing more (neNone) follows. A hang-up of the device
//   (unplugged adapter, closed pseudo-terminal) is reported once as EIO,
//   then handed to the hang-up notification; HungUp() stays true until the
//   next open.
class TSerial final : public QObject, public SerialLink
{
public:
    using TNotifyEvent = std::function<void(TSerial& Sender)>;
    using TRxMessageEvent = std::function<void(TSerial& Sender, const QByteArray& RxMessage)>;
    using TSignalChangeEvent =
        std::function<void(TSerial& Sender, eModemInSignal Signal, bool SignalState)>;
    using TWriteCompletedEvent = std::function<void()>;
    // Shows a modal error box with an OK button.
    using ErrorBox = std::function<void(const QString& text)>;

    static constexpr std::array<int, 15> kBaudRates{110,   300,   600,    1200,   2400,
                                                    4800,  9600,  14400,  19200,  38400,
                                                    56000, 57600, 115200, 128000, 256000};
    static constexpr std::chrono::milliseconds kCloseWaitStep{75};
    static constexpr int kCloseWaitSteps = 100;
    static constexpr std::chrono::milliseconds kReadLimit{100};
    static constexpr std::chrono::milliseconds kWriteFloor{500};
    static constexpr std::chrono::milliseconds kFlowWriteTimeout{10000};
    // How long the event thread idles while the port is closed.
    static constexpr std::chrono::milliseconds kIdleSleep{100};
    // Wake-up interval while something must be watched by comparing
    // snapshots: modem lines, the transmit queue, bytes nobody has read.
    static constexpr std::chrono::milliseconds kSnapshotInterval{20};
    // Win32 event bits, also the event set handled by the event thread.
    static constexpr quint32 EV_RXCHAR = 0x1;
    static constexpr quint32 EV_TXEMPTY = 0x4;
    static constexpr quint32 EV_CTS = 0x8;
    static constexpr quint32 EV_DSR = 0x10;
    static constexpr quint32 EV_RLSD = 0x20;
    static constexpr quint32 EV_BREAK = 0x40;
    static constexpr quint32 EV_RING = 0x100;
    static constexpr quint32 kEventMask = 0x17D;

    explicit TSerial(QObject* parent = nullptr);
    ~TSerial() override;

    // SerialLink
    [[nodiscard]] int Port() const override { return m_port; }
    void setPort(int port) override;
    [[nodiscard]] bool Active() const override { return m_active; }
    void setActive(bool active) override;
    [[nodiscard]] bool HungUp() const override { return m_deviceGone; }
    [[nodiscard]] int OpenError() const override { return m_openError; }
    void WriteString(const QByteArray& text) override;
    int ReadChar(char& c) override;

    // A device path to open instead of the device COM <Port> leads to, for a
    // caller that names its device itself (a /dev/serial/by-id link); empty
    // goes back to the numbered port. A change re-opens an open port.
    [[nodiscard]] const QString& DevicePath() const { return m_devicePath; }
    void setDevicePath(const QString& path);
    // The device the next open uses.
    [[nodiscard]] QString OpenPath() const;

    [[nodiscard]] int Baudrate() const { return m_baudrate; }
    void setBaudrate(int baudrate);
    [[nodiscard]] eParity Parity() const { return m_parity; }
    void setParity(eParity parity);
    [[nodiscard]] eDataBits DataBits() const { return m_dataBits; }
    void setDataBits(eDataBits dataBits);
    [[nodiscard]] eStopBits StopBits() const { return m_stopBits; }
    void setStopBits(eStopBits stopBits);
    [[nodiscard]] quint16 RxQueueSize() const { return m_rxQueueSize; }
    void setRxQueueSize(quint16 size);
    [[nodiscard]] quint16 TxQueueSize() const { return m_txQueueSize; }
    void setTxQueueSize(quint16 size);
    [[nodiscard]] eFlowControl FlowMode() const { return m_flowMode; }
    void setFlowMode(eFlowControl mode);
    [[nodiscard]] bool CheckParity() const { return m_checkParity; }
    void setCheckParity(bool check);
    [[nodiscard]] int RxWaiting();
    [[nodiscard]] int TxWaiting();
    [[nodiscard]] eOpModes RxEventMode() const { return m_rxEventMode; }
    void setRxEventMode(eOpModes mode) { m_rxEventMode = mode; }
    [[nodiscard]] char MessageStartChar() const { return m_messageStartChar; }
    void setMessageStartChar(char c) { m_messageStartChar = c; }
    [[nodiscard]] char MessageEndChar() const { return m_messageEndChar; }
    void setMessageEndChar(char c) { m_messageEndChar = c; }
    [[nodiscard]] quint16 MessageAppendCount() const { return m_messageAppendCount; }
    void setMessageAppendCount(quint16 count) { m_messageAppendCount = count; }
    [[nodiscard]] eNotifyErr NotifyErrors() const { return m_notifyErrors; }
    void setNotifyErrors(eNotifyErr mode) { m_notifyErrors = mode; }
    [[nodiscard]] int ErrorCode() const { return m_errorCode; }

    void setOnRxData(std::function<void()> handler) { setRxHandler(std::move(handler)); }
    void setOnTxEmpty(TNotifyEvent handler);
    void setOnMessage(TRxMessageEvent handler);
    void setOnError(TNotifyEvent handler) { m_onError = std::move(handler); }
    void setOnBreak(TNotifyEvent handler);
    void setOnRing(TNotifyEvent handler);
    void setOnSignalChange(TSignalChangeEvent handler);
    void setOnWriteCompleted(TWriteCompletedEvent handler)
    {
        m_onWriteCompleted = std::move(handler);
    }
    // Where "Baudrate is not valid" and the neDialog errors are shown.
    void setErrorBox(ErrorBox box) { m_errorBox = std::move(box); }

    // The records last built for the device, and the text of the last error.
    [[nodiscard]] const LineSettings& lineSettings() const { return m_lineSettings; }
    [[nodiscard]] const Timeouts& timeouts() const { return m_timeouts; }
    [[nodiscard]] const QString& errorText() const { return m_errorText; }
    [[nodiscard]] bool CtsState() const { return m_ctsState; }
    [[nodiscard]] bool DsrState() const { return m_dsrState; }
    [[nodiscard]] bool RlsdState() const { return m_rlsdState; }
    [[nodiscard]] const QByteArray& MessageBuffer() const { return m_messageBuffer; }
    // How often the event thread has come back from a wait: a diagnostic
    // that shows a thread spinning.
    [[nodiscard]] quint64 eventWakeups() const { return m_wakeups; }
    // How many bytes ReadChar has taken, on either thread.
    [[nodiscard]] quint64 bytesRead() const { return m_bytesRead; }

    // WriteString's time limit for n bytes at a baud rate.
    [[nodiscard]] static std::chrono::milliseconds WriteTimeLimit(qsizetype n, int baudrate);
    // The line settings record for a set of properties.
    [[nodiscard]] static LineSettings BuildLineSettings(int baudrate, eParity parity,
                                                        eDataBits dataBits, eStopBits stopBits,
                                                        eFlowControl flowMode, bool checkParity,
                                                        quint16 rxQueueSize);
    [[nodiscard]] static bool IsValidBaudrate(int baudrate);

private:
    friend class TEventThread;

    // A notification on its way from the event thread to the owner.
    struct Notification
    {
        enum class Kind
        {
            Signal,
            TxEmpty,
            Break,
            Ring,
            RxData,
            Message,
            Error,
            HangUp
        };
        Kind kind = Kind::RxData;
        quint64 generation = 0;
        eModemInSignal signal = siCTS;
        bool state = false;
        QByteArray message;
        DeviceError error;

        static Notification of(Kind kind, quint64 generation)
        {
            Notification n;
            n.kind = kind;
            n.generation = generation;
            return n;
        }
        static Notification failure(quint64 generation, DeviceError error)
        {
            Notification n = of(Kind::Error, generation);
            n.error = std::move(error);
            return n;
        }
    };
    enum class HandOff
    {
        Idle,
        Pending,
        Running
    };

    void reopen() { setActive(m_active); }
    // The receive and transmit queue counts; both 0 while closed.
    std::pair<int, int> RefreshStatus();
    // Stores a line setting and re-opens the port, only when it changes.
    template <typename T> void changeSetting(T& setting, T value)
    {
        if (value == setting)
            return;
        setting = value;
        reopen();
    }
    void closePort();
    void openPort();
    void ApplySettings();
    void StartEvents();
    bool SetModemLine(eModemOutSignal line, bool state);
    void ReportError(const DeviceError& error);

    // Event thread side.
    void runEventLoop();
    void handleEvents(quint32 events, const DeviceSnapshot& now, quint64 generation);
    void assembleMessages(quint64 generation);
    void deliverMessage(quint64 generation);
    // Hands a notification to the owner and waits until it has run (or was
    // dropped). False when the component is ending.
    bool handOff(Notification notification);
    [[nodiscard]] bool sessionEnded(quint64 generation) const;
    // Owner side.
    void serveHandOff();
    void deliver(const Notification& notification);

    // Properties.
    int m_port = 1;
    QString m_devicePath;
    int m_baudrate = 9600;
    eParity m_parity = paNone;
    eDataBits m_dataBits = d7bit;
    eStopBits m_stopBits = st1bit;
    std::atomic<bool> m_active{false};
    quint16 m_rxQueueSize = 1024;
    quint16 m_txQueueSize = 1024;
    eFlowControl m_flowMode = fcNone;
    bool m_checkParity = true;
    std::atomic<eOpModes> m_rxEventMode{rxNormal};
    std::atomic<char> m_messageStartChar{2};
    std::atomic<char> m_messageEndChar{3};
    std::atomic<quint16> m_messageAppendCount{0};
    eNotifyErr m_notifyErrors = neDialog;
    int m_errorCode = 0;
    QString m_errorText;
    // Kept apart from ErrorCode, which any later failure overwrites.
    int m_openError = 0;

    TNotifyEvent m_onTxEmpty;
    TRxMessageEvent m_onMessage;
    TNotifyEvent m_onError;
    TNotifyEvent m_onBreak;
    TNotifyEvent m_onRing;
    TSignalChangeEvent m_onSignalChange;
    TWriteCompletedEvent m_onWriteCompleted;
    ErrorBox m_errorBox;
    // Mirrors of "handler assigned" that the event thread may read.
    std::atomic<bool> m_wantTxEmpty{false};
    std::atomic<bool> m_wantLineEvents{false};
    std::atomic<bool> m_hasMessageHandler{false};

    SerialDevice m_device;
    LineSettings m_lineSettings;
    Timeouts m_timeouts;

    // Message assembly, event thread only.
    quint8 m_messageState = 0;
    quint16 m_appendRemaining = 0;
    QByteArray m_messageBuffer;

    // The close handshake.
    std::atomic<bool> m_threadInWait{false};
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_terminate{false};
    // Counts opens and closes, so a notification of an earlier session is
    // recognised and dropped.
    std::atomic<quint64> m_generation{0};
    std::atomic<bool> m_deviceGone{false};
    std::atomic<bool> m_wrote{false};
    std::atomic<quint64> m_wakeups{0};
    // Bytes taken by ReadChar: tells bytes that arrived during a handler
    // from bytes the handler left unread.
    std::atomic<quint64> m_bytesRead{0};
    std::atomic<bool> m_ctsState{false};
    std::atomic<bool> m_dsrState{false};
    std::atomic<bool> m_rlsdState{false};

    // The hand-off and the event thread's idling share one lock.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    HandOff m_handOff = HandOff::Idle;
    std::optional<Notification> m_pending;

    TEventThread EventThread{*this};
};
