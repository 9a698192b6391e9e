// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/Serial2.h"

#include "serial/portpath.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>

// --- TEventThread ---

TEventThread::~TEventThread()
{
    Terminate();
}

void TEventThread::Resume()
{
    if (!m_thread.joinable())
        m_thread = std::thread(&TEventThread::Execute, this);
}

void TEventThread::Terminate()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(Serial.m_mutex);
        Serial.m_terminate = true;
    }
    Serial.m_changed.notify_all();
    (void)Serial.m_device.wake();
    m_thread.join();
}

void TEventThread::Execute()
{
    Serial.runEventLoop();
}

// --- construction and properties ---

TSerial::TSerial(QObject* parent) : QObject(parent)
{
    m_lineSettings = BuildLineSettings(m_baudrate, m_parity, m_dataBits, m_stopBits, m_flowMode,
                                       m_checkParity, m_rxQueueSize);
}

TSerial::~TSerial()
{
    if (m_active)
        closePort();
    EventThread.Terminate();
}

bool TSerial::IsValidBaudrate(int baudrate)
{
    return std::find(kBaudRates.begin(), kBaudRates.end(), baudrate) != kBaudRates.end();
}

void TSerial::setPort(int port)
{
    changeSetting(m_port, port);
}

void TSerial::setDevicePath(const QString& path)
{
    changeSetting(m_devicePath, path);
}

QString TSerial::OpenPath() const
{
    return m_devicePath.isEmpty() ? PortDevicePath(m_port) : m_devicePath;
}

void TSerial::setBaudrate(int baudrate)
{
    if (!IsValidBaudrate(baudrate)) {
        // Shown whatever NotifyErrors says: it is the caller's mistake, not
        // the port's.
        if (m_errorBox)
            m_errorBox(QStringLiteral("Baudrate is not valid"));
        return;
    }
    changeSetting(m_baudrate, baudrate);
}

void TSerial::setParity(eParity parity)
{
    changeSetting(m_parity, parity);
}

void TSerial::setDataBits(eDataBits dataBits)
{
    changeSetting(m_dataBits, dataBits);
}

void TSerial::setStopBits(eStopBits stopBits)
{
    changeSetting(m_stopBits, stopBits);
}

void TSerial::setRxQueueSize(quint16 size)
{
    m_rxQueueSize = size;
    reopen();
}

void TSerial::setTxQueueSize(quint16 size)
{
    m_txQueueSize = size;
    reopen();
}

void TSerial::setFlowMode(eFlowControl mode)
{
    changeSetting(m_flowMode, mode);
}

void TSerial::setCheckParity(bool check)
{
    changeSetting(m_checkParity, check);
}

void TSerial::setOnTxEmpty(TNotifyEvent handler)
{
    m_wantTxEmpty = static_cast<bool>(handler);
    m_onTxEmpty = std::move(handler);
}

void TSerial::setOnMessage(TRxMessageEvent handler)
{
    m_hasMessageHandler = static_cast<bool>(handler);
    m_onMessage = std::move(handler);
}

void TSerial::setOnBreak(TNotifyEvent handler)
{
    m_onBreak = std::move(handler);
    m_wantLineEvents = m_onBreak || m_onRing || m_onSignalChange;
}

void TSerial::setOnRing(TNotifyEvent handler)
{
    m_onRing = std::move(handler);
    m_wantLineEvents = m_onBreak || m_onRing || m_onSignalChange;
}

void TSerial::setOnSignalChange(TSignalChangeEvent handler)
{
    m_onSignalChange = std::move(handler);
    m_wantLineEvents = m_onBreak || m_onRing || m_onSignalChange;
}

std::pair<int, int> TSerial::RefreshStatus()
{
    int rx = 0;
    int tx = 0;
    if (!m_active)
        return {rx, tx};
    if (const DeviceError error = m_device.queueCounts(rx, tx))
        ReportError(error);
    return {rx, tx};
}

int TSerial::RxWaiting()
{
    return RefreshStatus().first;
}

int TSerial::TxWaiting()
{
    return RefreshStatus().second;
}

// --- open and close ---

void TSerial::setActive(bool active)
{
    if (m_active)
        closePort();
    if (active)
        openPort();
}

void TSerial::closePort()
{
    if (const DeviceError error = m_device.purge())
        ReportError(error);
    SetModemLine(soDTR, false);
    SetModemLine(soRTS, false);
    {
        std::lock_guard lock(m_mutex);
        m_active = false;
        m_closing = true;
        ++m_generation;
    }
    if (const DeviceError error = m_device.wake())
        ReportError(error);

    // Wait for the event thread to leave the device. A hand-off in flight is
    // served (and dropped, the port being closed) so the thread is free to
    // answer; a hand-off running right now means the close comes from inside
    // a handler and the thread is parked in it, away from the device.
    {
        std::unique_lock lock(m_mutex);
        for (int step = 0; step < kCloseWaitSteps && m_threadInWait; ++step) {
            if (m_handOff == HandOff::Running)
                break;
            if (m_handOff == HandOff::Pending) {
                lock.unlock();
                serveHandOff();
                lock.lock();
                continue;
            }
            m_changed.wait_for(lock, kCloseWaitStep,
                               [this] { return !m_threadInWait || m_handOff == HandOff::Pending; });
        }
    }
    m_closing = false;
    if (const DeviceError error = m_device.close())
        ReportError(error);
}

void TSerial::openPort()
{
    if (const DeviceError error = m_device.open(OpenPath())) {
        m_openError = error.code;
        ReportError(error);
        return;
    }
    m_openError = 0;
    if (const DeviceError error = m_device.setQueueSizes(m_rxQueueSize, m_txQueueSize))
        ReportError(error);
    m_deviceGone = false;
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
        m_active = true;
    }
    ApplySettings();
    SetModemLine(soDTR, true);
    SetModemLine(soRTS, true);
    StartEvents();
}

void TSerial::StartEvents()
{
    // The event set is fixed (kEventMask); the thread starts with the first
    // open and idles while the port is closed.
    EventThread.Resume();
    m_changed.notify_all();
}

LineSettings TSerial::BuildLineSettings(int baudrate, eParity parity, eDataBits dataBits,
                                        eStopBits stopBits, eFlowControl flowMode, bool checkParity,
                                        quint16 rxQueueSize)
{
    LineSettings s;
    s.baudRate = static_cast<quint32>(baudrate);
    s.flags = LineSettings::kBinary;
    if (checkParity)
        s.flags |= LineSettings::kParityCheck;
    switch (flowMode) {
    case fcRTS_CTS:
        s.flags |= LineSettings::kOutxCtsFlow | LineSettings::kRtsHandshake;
        break;
    case fcDTR_DSR:
        s.flags |= LineSettings::kOutxDsrFlow | LineSettings::kDtrHandshake;
        break;
    case fcXON_XOF:
        s.flags |= LineSettings::kOutX | LineSettings::kInX;
        break;
    case fcNone:
        break;
    }
    s.xonLim = static_cast<quint16>(rxQueueSize / 3);
    s.xoffLim = static_cast<quint16>(rxQueueSize / 3);
    s.byteSize = dataBits == d7bit ? 7 : 8;
    s.parity = static_cast<quint8>(parity);
    s.stopBits = stopBits == st1bit ? 0 : 2;
    return s;
}

void TSerial::ApplySettings()
{
    m_lineSettings = BuildLineSettings(m_baudrate, m_parity, m_dataBits, m_stopBits, m_flowMode,
                                       m_checkParity, m_rxQueueSize);
    if (m_active) {
        if (const DeviceError error = m_device.applyLineSettings(m_lineSettings))
            ReportError(error);
    }
    // Reads return at once with what is queued. The write time-out is only
    // ever set, never cleared: once a flow-controlled open has set it, it
    // stays in force after a switch back to no flow control.
    m_timeouts.readIntervalTimeout = 0xFFFFFFFF;
    m_timeouts.readTotalTimeoutMultiplier = 0;
    m_timeouts.readTotalTimeoutConstant = 0;
    if (m_flowMode != fcNone) {
        m_timeouts.writeTotalTimeoutMultiplier = 0;
        m_timeouts.writeTotalTimeoutConstant = static_cast<quint32>(kFlowWriteTimeout.count());
    }
}

bool TSerial::SetModemLine(eModemOutSignal line, bool state)
{
    const ModemLine which = line == soRTS ? ModemLine::RTS : ModemLine::DTR;
    return !m_device.setModemLine(which, state);
}

// --- transfers ---

std::chrono::milliseconds TSerial::WriteTimeLimit(qsizetype n, int baudrate)
{
    const qint64 perByte = baudrate > 0 ? 20000 / baudrate : 0;
    return std::max(kWriteFloor, std::chrono::milliseconds(n * perByte));
}

void TSerial::WriteString(const QByteArray& text)
{
    std::chrono::milliseconds limit = WriteTimeLimit(text.size(), m_baudrate);
    if (m_timeouts.writeTotalTimeoutConstant != 0)
        limit = std::min(limit, std::chrono::milliseconds(m_timeouts.writeTotalTimeoutConstant));
    if (const DeviceError error = m_device.write(text.constData(), text.size(), limit)) {
        ReportError(error);
        return;
    }
    m_wrote = true;
    if (m_wantTxEmpty)
        (void)m_device.wake();
}

int TSerial::ReadChar(char& c)
{
    DeviceError error;
    const int count = m_device.read(c, error);
    m_bytesRead += static_cast<quint64>(count);
    if (error) {
        if (QThread::currentThread() == thread())
            ReportError(error);
        else
            handOff(Notification::failure(m_generation, error));
    }
    return count;
}

// --- errors ---

void TSerial::ReportError(const DeviceError& error)
{
    m_errorCode = error.code;
    m_errorText = error.text;
    switch (m_notifyErrors) {
    case neDialog:
        if (m_errorBox)
            m_errorBox(error.text);
        break;
    case neEvent:
        if (m_onError)
            m_onError(*this);
        break;
    case neNone:
        break;
    }
}

// --- the event thread ---

bool TSerial::sessionEnded(quint64 generation) const
{
    return m_terminate || m_closing || !m_active || m_generation != generation;
}

void TSerial::runEventLoop()
{
    int rxSeen = 0;
    DeviceSnapshot last;
    quint64 session = 0;
    while (!m_terminate) {
        // ThreadInWait goes up before Active is looked at, so a close that
        // sees it down knows the thread will not touch the device.
        m_threadInWait = true;
        if (!m_active || m_closing) {
            {
                std::unique_lock lock(m_mutex);
                m_threadInWait = false;
                m_changed.notify_all();
                m_changed.wait_for(lock, kIdleSleep,
                                   [this] { return m_terminate || (m_active && !m_closing); });
            }
            continue;
        }
        const quint64 generation = m_generation;
        if (generation != session) {
            // A new session: its snapshot is the base line, and bytes that
            // wait already (the board's prompt) count as new.
            session = generation;
            last = m_device.snapshot();
            rxSeen = 0;
        }

        int rxNow = 0;
        int txNow = 0;
        (void)m_device.queueCounts(rxNow, txNow);
        // Bytes left unread by the last handler are not news; only more of
        // them are. Waiting for readability then would return at once for
        // ever, so they are watched by comparing counts instead.
        const bool undrained = rxNow > 0 && rxNow == rxSeen;
        const bool pendingRx = rxNow > rxSeen;
        const bool watchLines = m_wantLineEvents && (last.hasModemLines || last.hasCounters);
        const bool watchTx = m_wantTxEmpty && (last.txQueue > 0 || m_wrote);
        const bool gone = m_deviceGone;
        // A device that is gone has nothing more to say: wait for the close.
        std::chrono::milliseconds timeout{-1};
        if (gone)
            timeout = std::chrono::milliseconds{-1};
        else if (pendingRx)
            timeout = std::chrono::milliseconds{0};
        else if (undrained || watchLines || watchTx)
            timeout = kSnapshotInterval;
        const WaitOutcome outcome = m_device.waitEvents(timeout, !undrained && !gone, !gone);
        ++m_wakeups;

        if (outcome.error && m_active)
            handOff(Notification::failure(generation, outcome.error));
        if (m_closing || sessionEnded(generation))
            continue;

        if (outcome.hangUp && !gone) {
            // Reported once; from now on the thread waits on the wake-up
            // descriptor alone, so a dead device cannot make it spin.
            m_deviceGone = true;
            Notification hangUp = Notification::failure(generation, SerialDevice::hangUpError());
            hangUp.kind = Notification::Kind::HangUp;
            handOff(std::move(hangUp));
            continue;
        }

        const DeviceSnapshot now = m_device.snapshot();
        quint32 events = 0;
        if (!gone && (outcome.readable || now.rxQueue > rxSeen))
            events |= EV_RXCHAR;
        if (now.hasModemLines) {
            if (now.cts != last.cts)
                events |= EV_CTS;
            if (now.dsr != last.dsr)
                events |= EV_DSR;
            if (now.rlsd != last.rlsd)
                events |= EV_RLSD;
        }
        if (m_wrote.exchange(false) || last.txQueue > 0) {
            if (now.txQueue == 0)
                events |= EV_TXEMPTY;
        }
        if (now.hasCounters) {
            if (now.breaks != last.breaks)
                events |= EV_BREAK;
            if (now.rings != last.rings)
                events |= EV_RING;
        } else if (now.hasModemLines && now.ring && !last.ring) {
            events |= EV_RING;
        }
        last = now;
        const quint64 readBefore = m_bytesRead;
        handleEvents(events & kEventMask, now, generation);
        // What is left of the bytes just notified; anything queued beyond
        // that arrived while the handlers ran and is news for the next wait.
        const auto taken = static_cast<qint64>(m_bytesRead - readBefore);
        rxSeen = static_cast<int>(std::max<qint64>(0, now.rxQueue - taken));
    }
    m_threadInWait = false;
    m_changed.notify_all();
}

void TSerial::handleEvents(quint32 events, const DeviceSnapshot& now, quint64 generation)
{
    const auto signal = [&](quint32 bit, eModemInSignal which, bool state,
                            std::atomic<bool>& stored) {
        if (!(events & bit) || sessionEnded(generation))
            return;
        stored = state;
        Notification n = Notification::of(Notification::Kind::Signal, generation);
        n.signal = which;
        n.state = state;
        handOff(std::move(n));
    };
    signal(EV_CTS, siCTS, now.cts, m_ctsState);
    signal(EV_DSR, siDSR, now.dsr, m_dsrState);
    signal(EV_RLSD, siRLSD, now.rlsd, m_rlsdState);
    const auto plain = [&](quint32 bit, Notification::Kind kind) {
        if ((events & bit) && !sessionEnded(generation))
            handOff(Notification::of(kind, generation));
    };
    plain(EV_TXEMPTY, Notification::Kind::TxEmpty);
    plain(EV_BREAK, Notification::Kind::Break);
    plain(EV_RING, Notification::Kind::Ring);
    if (!(events & EV_RXCHAR) || sessionEnded(generation))
        return;
    if (m_rxEventMode == rxNormal)
        handOff(Notification::of(Notification::Kind::RxData, generation));
    else if (m_hasMessageHandler)
        assembleMessages(generation);
}

void TSerial::assembleMessages(quint64 generation)
{
    char b = 0;
    while (!sessionEnded(generation) && ReadChar(b) > 0) {
        if (m_messageState == 2) {
            m_messageBuffer += b;
            if (--m_appendRemaining == 0) {
                m_messageState = 3;
                deliverMessage(generation);
            }
        } else if (b == m_messageStartChar) {
            // A partial message is dropped.
            m_messageState = 1;
            m_messageBuffer = QByteArray(1, b);
        } else if (b == m_messageEndChar) {
            if (m_messageState != 1)
                continue;
            m_messageBuffer += b;
            m_messageState = 2;
            m_appendRemaining = m_messageAppendCount;
            if (m_appendRemaining == 0) {
                m_messageState = 3;
                deliverMessage(generation);
            }
        } else if (m_messageState == 1) {
            m_messageBuffer += b;
        }
    }
}

void TSerial::deliverMessage(quint64 generation)
{
    Notification n = Notification::of(Notification::Kind::Message, generation);
    n.message = m_messageBuffer;
    handOff(std::move(n));
}

bool TSerial::handOff(Notification notification)
{
    std::unique_lock lock(m_mutex);
    if (m_terminate)
        return false;
    m_pending = std::move(notification);
    m_handOff = HandOff::Pending;
    m_changed.notify_all();
    QMetaObject::invokeMethod(this, &TSerial::serveHandOff, Qt::QueuedConnection);
    m_changed.wait(lock, [this] { return m_handOff == HandOff::Idle || m_terminate; });
    return !m_terminate;
}

void TSerial::serveHandOff()
{
    std::optional<Notification> notification;
    {
        std::lock_guard lock(m_mutex);
        // A stale call: the close already served this hand-off.
        if (m_handOff != HandOff::Pending)
            return;
        notification = std::move(m_pending);
        m_pending.reset();
        m_handOff = HandOff::Running;
    }
    // Once the port it came from is closed, a notification is dropped.
    if (m_active && notification->generation == m_generation)
        deliver(*notification);
    {
        std::lock_guard lock(m_mutex);
        m_handOff = HandOff::Idle;
    }
    m_changed.notify_all();
}

void TSerial::deliver(const Notification& n)
{
    switch (n.kind) {
    case Notification::Kind::Signal:
        if (m_onSignalChange)
            m_onSignalChange(*this, n.signal, n.state);
        break;
    case Notification::Kind::TxEmpty:
        if (m_onTxEmpty)
            m_onTxEmpty(*this);
        break;
    case Notification::Kind::Break:
        if (m_onBreak)
            m_onBreak(*this);
        break;
    case Notification::Kind::Ring:
        if (m_onRing)
            m_onRing(*this);
        break;
    case Notification::Kind::RxData:
        notifyRxData();
        break;
    case Notification::Kind::Message:
        if (m_onMessage)
            m_onMessage(*this, n.message);
        break;
    case Notification::Kind::Error:
        ReportError(n.error);
        break;
    case Notification::Kind::HangUp:
        ReportError(n.error);
        notifyHangUp();
        break;
    }
}
