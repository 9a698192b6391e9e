// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>

class TSerial;

namespace board {

// Asks one device whether a V217 board is on it: opens it at the board's
// line settings (UseBoardLineSettings), sends the input query "I0" CR and
// waits up to kAnswerTime for the board's reply. It never blocks: the reply
// and the time limit come through the event loop, and finished() tells the
// outcome once the device is closed again. Only the device named is opened.
class BoardProbe : public QObject
{
    Q_OBJECT

public:
    enum class Outcome
    {
        Answered,    // the input reply of a V217
        NoAnswer,    // nothing came back in time
        OtherAnswer, // bytes came back, not as a V217 answers
        OpenFailed   // the device would not open
    };

    static constexpr std::chrono::milliseconds kAnswerTime{1000};

    explicit BoardProbe(QObject* parent = nullptr);
    ~BoardProbe() override;
    BoardProbe(const BoardProbe&) = delete;
    BoardProbe& operator=(const BoardProbe&) = delete;

    // Starts asking the device at path; false while a probe is running.
    bool start(const QString& path);
    [[nodiscard]] bool running() const { return m_running; }

    // The last probe's device and outcome, and what it read.
    [[nodiscard]] const QString& path() const { return m_path; }
    [[nodiscard]] Outcome outcome() const { return m_outcome; }
    [[nodiscard]] int openError() const { return m_openError; }
    [[nodiscard]] const QByteArray& received() const { return m_received; }
    // The outcome in one line, for the user.
    [[nodiscard]] QString resultText() const;

    // The board's reply to the input query found in what a device sent.
    [[nodiscard]] static bool HoldsInputReply(const QByteArray& received);

Q_SIGNALS:
    void finished();

private:
    void readReply();
    void conclude(Outcome outcome);

    std::unique_ptr<TSerial> m_serial;
    QTimer m_limit;
    QString m_path;
    Outcome m_outcome = Outcome::NoAnswer;
    int m_openError = 0;
    QByteArray m_received;
    bool m_running = false;
};

} // namespace board
