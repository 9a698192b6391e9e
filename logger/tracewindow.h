// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logger/signaltrace.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <array>

class Clock;
class QComboBox;
class QLabel;
class QPushButton;

// The strip of the trace: a row per signal (inputs I1 to I6, relays 01 to
// 16), the last minutes up to the end time, faults as red marks, and a
// cursor that follows the mouse.
class TraceStrip : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kSignals = 22;

    TraceStrip(const SignalTrace& trace, QWidget* parent = nullptr);

    void setWindow(qint64 endMs, qint64 lengthMs);
    [[nodiscard]] qint64 endMs() const { return m_endMs; }
    [[nodiscard]] qint64 lengthMs() const { return m_lengthMs; }
    // The time one pixel of the plot stands for.
    [[nodiscard]] qint64 msPerPixel() const;
    // The moment under an x position, and back.
    [[nodiscard]] qint64 timeAt(double x) const;
    [[nodiscard]] double xOf(qint64 ms) const;
    // Puts the cursor on a moment (a negative value hides it).
    void setCursor(qint64 ms);
    [[nodiscard]] qint64 cursorMs() const { return m_cursorMs; }
    // The time and the 22 levels under the cursor, empty with no cursor.
    [[nodiscard]] QString cursorText() const;
    [[nodiscard]] static QString signalName(int row);
    // The names of the board's inputs (6) and relays (16), empty where a
    // signal has none: a named row is labelled "I3 (Float switch)" or
    // "02 (Pump)", and the label column widens to the longest label.
    void setNames(const QStringList& inputs, const QStringList& relays);
    // What a row's label says: signalName(row) when the signal has no name.
    [[nodiscard]] QString rowLabel(int row) const;

    // Where a row draws its low and its high level: the step of a row is
    // smaller than the room between rows, so a high level never comes near
    // the low line of the row above.
    [[nodiscard]] double levelY(int row, bool high) const;
    // A stretch in which a signal keeps one level, in the strip's window.
    struct LevelRun
    {
        qint64 fromMs = 0;
        qint64 toMs = 0;
        bool high = false;
    };
    // The stretches of a row's signal from one read to the next. A fault
    // ends them: while the board is silent or the system idle after it,
    // nothing is read, and nothing is drawn until the next read.
    [[nodiscard]] QList<LevelRun> levelRuns(int row) const;
    // The time labels across the top, each inside the strip.
    struct TimeLabel
    {
        QRectF rect;
        QString text;
    };
    [[nodiscard]] QList<TimeLabel> timeLabels() const;

Q_SIGNALS:
    void cursorMoved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    [[nodiscard]] QRectF plotArea() const;

    const SignalTrace& m_trace;
    qint64 m_endMs = 0;
    qint64 m_lengthMs = 60'000;
    qint64 m_cursorMs = -1;
    std::array<QString, kSignals> m_rowLabels;
    int m_labelWidth;
};

// The trace window: the span, pause and resume, the strip and the cursor
// line. While it runs the strip ends at the clock's now.
class TraceWindow : public QWidget
{
    Q_OBJECT

public:
    TraceWindow(const SignalTrace& trace, const Clock& clock, QWidget* parent = nullptr);

    // 1, 10 or 60 minutes.
    void setMinutes(int minutes);
    void setPaused(bool paused);
    [[nodiscard]] bool paused() const { return m_paused; }
    // Moves the strip to the clock's now unless paused.
    void follow();
    [[nodiscard]] TraceStrip& strip() { return *m_strip; }

    static inline const QString kPlaceName = QStringLiteral("trace");

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    const Clock& m_clock;
    QComboBox* m_minutes = nullptr;
    QPushButton* m_pause = nullptr;
    QLabel* m_cursorLabel = nullptr;
    TraceStrip* m_strip = nullptr;
    QTimer m_follow;
    bool m_paused = false;
    bool m_placed = false;
};
