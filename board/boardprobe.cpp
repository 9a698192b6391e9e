// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/boardprobe.h"

#include "board/boardline.h"
#include "board/protocol.h"
#include "serial/Serial2.h"
#include "serial/serialdevices.h"

namespace board {

BoardProbe::BoardProbe(QObject* parent) : QObject(parent)
{
    m_limit.setSingleShot(true);
    m_limit.setInterval(kAnswerTime);
    connect(&m_limit, &QTimer::timeout, this,
            [this] { conclude(m_received.isEmpty() ? Outcome::NoAnswer : Outcome::OtherAnswer); });
}

BoardProbe::~BoardProbe() = default;

bool BoardProbe::start(const QString& path)
{
    if (m_running)
        return false;
    m_running = true;
    m_path = path;
    m_received.clear();
    m_openError = 0;
    m_serial = std::make_unique<TSerial>();
    UseBoardLineSettings(*m_serial);
    m_serial->setDevicePath(path);
    m_serial->setOnRxData([this] { readReply(); });
    m_serial->setActive(true);
    if (!m_serial->Active()) {
        m_openError = m_serial->OpenError();
        // Told from the event loop, like every other outcome, so that the
        // caller sees the probe running until then.
        QMetaObject::invokeMethod(
            this, [this] { conclude(Outcome::OpenFailed); }, Qt::QueuedConnection);
        return true;
    }
    m_serial->WriteString(kInputQuery);
    m_limit.start();
    return true;
}

bool BoardProbe::HoldsInputReply(const QByteArray& received)
{
    // A board that was just powered up may send its prompt first.
    for (qsizetype at = received.indexOf("I0\r\n"); at >= 0;
         at = received.indexOf("I0\r\n", at + 1))
        if (IsValidInputReply(received.mid(at, kInputReplyLength)))
            return true;
    return false;
}

void BoardProbe::readReply()
{
    char c = 0;
    while (m_serial && m_serial->ReadChar(c) == 1)
        m_received.append(c);
    if (m_limit.isActive() && HoldsInputReply(m_received)) {
        m_limit.stop();
        // The port is closed after this handler has returned.
        QMetaObject::invokeMethod(
            this, [this] { conclude(Outcome::Answered); }, Qt::QueuedConnection);
    }
}

void BoardProbe::conclude(Outcome outcome)
{
    if (!m_running)
        return;
    m_outcome = outcome;
    // Destroying the component closes the device and ends its event thread.
    m_serial.reset();
    m_running = false;
    Q_EMIT finished();
}

QString BoardProbe::resultText() const
{
    switch (m_outcome) {
    case Outcome::Answered:
        return QStringLiteral("A V217 answered on %1").arg(m_path);
    case Outcome::NoAnswer:
        return QStringLiteral("No V217 answered on %1 within %2 s")
            .arg(m_path)
            .arg(static_cast<double>(kAnswerTime.count()) / 1000.0);
    case Outcome::OtherAnswer:
        return QStringLiteral("No V217 answered on %1: something else sent %2 bytes")
            .arg(m_path)
            .arg(m_received.size());
    case Outcome::OpenFailed:
        return QStringLiteral("%1 would not open: %2").arg(m_path, OpenFailureReason(m_openError));
    }
    return {};
}

} // namespace board
