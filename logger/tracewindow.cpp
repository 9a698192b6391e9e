// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/tracewindow.h"

#include "common/clock.h"
#include "windowkit/placememory.h"

#include <QComboBox>
#include <QDateTime>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>

namespace {

constexpr int kLabelWidth = 32;
// The widest a label column of named rows grows; longer names are cut short.
constexpr int kLongestLabelWidth = 180;
constexpr int kMinimumPlotWidth = 360 - kLabelWidth;
constexpr int kHeaderHeight = 16;
constexpr std::chrono::milliseconds kFollowPeriod{250};
// A signal's low and high level, as parts of its row's height from the
// top: the room between rows (0.65) is larger than the step (0.35).
constexpr double kHighPart = 0.45;
constexpr double kLowPart = 0.8;
// The least room between two time labels.
constexpr double kLabelGap = 4;

// Rows 0 to 5 are the inputs, 6 to 21 the relays.
bool levelOf(const SignalTrace::Entry& e, int row)
{
    return row < 6 ? (e.inputs >> row) & 1 : (e.relays >> (row - 6)) & 1;
}

} // namespace

TraceStrip::TraceStrip(const SignalTrace& trace, QWidget* parent)
    : QWidget(parent), m_trace(trace), m_labelWidth(kLabelWidth)
{
    setObjectName(QStringLiteral("TraceStrip"));
    for (int row = 0; row < kSignals; ++row)
        m_rowLabels.at(static_cast<size_t>(row)) = signalName(row);
    setMinimumSize(kLabelWidth + kMinimumPlotWidth, kHeaderHeight + kSignals * 10);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QString TraceStrip::signalName(int row)
{
    return row < 6 ? QStringLiteral("I%1").arg(row + 1)
                   : QStringLiteral("%1").arg(row - 5, 2, 10, QLatin1Char('0'));
}

void TraceStrip::setNames(const QStringList& inputs, const QStringList& relays)
{
    const QFontMetrics metrics(font());
    int widest = 0;
    for (int row = 0; row < kSignals; ++row) {
        const QString name = row < 6 ? inputs.value(row) : relays.value(row - 6);
        QString& label = m_rowLabels.at(static_cast<size_t>(row));
        label =
            name.isEmpty() ? signalName(row) : QStringLiteral("%1 (%2)").arg(signalName(row), name);
        if (!name.isEmpty())
            widest = std::max(widest, metrics.horizontalAdvance(label));
    }
    // Without names the column is as it always was.
    m_labelWidth =
        widest == 0 ? kLabelWidth : std::clamp(widest + 6, kLabelWidth, kLongestLabelWidth);
    setMinimumWidth(m_labelWidth + kMinimumPlotWidth);
    update();
}

QString TraceStrip::rowLabel(int row) const
{
    return m_rowLabels.at(static_cast<size_t>(row));
}

void TraceStrip::setWindow(qint64 endMs, qint64 lengthMs)
{
    m_endMs = endMs;
    m_lengthMs = std::max<qint64>(1, lengthMs);
    update();
}

QRectF TraceStrip::plotArea() const
{
    return QRectF(m_labelWidth, kHeaderHeight, std::max(1, width() - m_labelWidth - 4),
                  std::max(1, height() - kHeaderHeight - 2));
}

qint64 TraceStrip::msPerPixel() const
{
    return std::max<qint64>(1, m_lengthMs / static_cast<qint64>(plotArea().width()));
}

qint64 TraceStrip::timeAt(double x) const
{
    const QRectF area = plotArea();
    const double part = std::clamp((x - area.left()) / area.width(), 0.0, 1.0);
    return m_endMs - m_lengthMs + static_cast<qint64>(part * static_cast<double>(m_lengthMs));
}

double TraceStrip::xOf(qint64 ms) const
{
    const QRectF area = plotArea();
    return area.left() +
           area.width() * static_cast<double>(ms - (m_endMs - m_lengthMs)) / m_lengthMs;
}

void TraceStrip::setCursor(qint64 ms)
{
    m_cursorMs = ms;
    update();
    Q_EMIT cursorMoved();
}

QString TraceStrip::cursorText() const
{
    if (m_cursorMs < 0)
        return {};
    const QString time =
        QDateTime::fromMSecsSinceEpoch(m_cursorMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    const std::optional<SignalTrace::Entry> e = m_trace.levelsAt(m_cursorMs);
    if (!e)
        return time + QStringLiteral("  no reads yet");
    if (e->fault())
        return time + (e->kind == SignalTrace::Kind::Watchdog
                           ? QStringLiteral("  no reads since the watchdog")
                           : QStringLiteral("  no reads since invalid data"));
    QString inputs;
    QString relays;
    for (int row = 0; row < kSignals; ++row)
        (row < 6 ? inputs : relays) += levelOf(*e, row) ? QLatin1Char('1') : QLatin1Char('0');
    return QStringLiteral("%1  I1-I6 %2  01-16 %3").arg(time, inputs, relays);
}

double TraceStrip::levelY(int row, bool high) const
{
    const QRectF area = plotArea();
    const double height = area.height() / kSignals;
    return area.top() + height * (row + (high ? kHighPart : kLowPart));
}

QList<TraceStrip::LevelRun> TraceStrip::levelRuns(int row) const
{
    QList<LevelRun> runs;
    const qint64 from = m_endMs - m_lengthMs;
    const std::optional<SignalTrace::Entry> start = m_trace.levelsAt(from);
    bool known = start && !start->fault();
    LevelRun run{from, from, known && levelOf(*start, row)};
    for (qsizetype i = m_trace.firstFrom(from); i < m_trace.size() && m_trace.at(i).ms <= m_endMs;
         ++i) {
        const SignalTrace::Entry& e = m_trace.at(i);
        if (e.fault()) {
            if (known) {
                run.toMs = e.ms;
                runs.append(run);
                known = false;
            }
            continue;
        }
        const bool level = levelOf(e, row);
        if (!known) {
            known = true;
            run = {e.ms, e.ms, level};
            continue;
        }
        run.toMs = e.ms;
        if (level != run.high) {
            runs.append(run);
            run = {e.ms, e.ms, level};
        }
    }
    if (known)
        runs.append(run);
    return runs;
}

QList<TraceStrip::TimeLabel> TraceStrip::timeLabels() const
{
    QList<TimeLabel> labels;
    const QFontMetricsF metrics(font());
    const qint64 from = m_endMs - m_lengthMs;
    const qint64 step = m_lengthMs <= 60'000 ? 10'000 : (m_lengthMs <= 600'000 ? 60'000 : 600'000);
    for (qint64 t = (from / step + 1) * step; t <= m_endMs; t += step) {
        const QString text = QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("HH:mm:ss"));
        const double x = xOf(t);
        QRectF rect(x + 2, 0, metrics.horizontalAdvance(text), kHeaderHeight - 2);
        // A tick near the right edge has its label on its left. Where two
        // labels would meet (a narrow strip) the later one is left out, but
        // the one at the end stays.
        const bool atEnd = rect.right() > width() - 1;
        if (atEnd)
            rect.moveRight(x - 2);
        const auto meets = [&] {
            return !labels.isEmpty() && labels.last().rect.right() + kLabelGap > rect.left();
        };
        if (meets() && !atEnd)
            continue;
        while (meets())
            labels.removeLast();
        labels.append({rect, text});
    }
    return labels;
}

void TraceStrip::mouseMoveEvent(QMouseEvent* event)
{
    if (plotArea().contains(event->position()))
        setCursor(timeAt(event->position().x()));
    QWidget::mouseMoveEvent(event);
}

void TraceStrip::leaveEvent(QEvent* event)
{
    setCursor(-1);
    QWidget::leaveEvent(event);
}

void TraceStrip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QRectF area = plotArea();
    const double row = area.height() / kSignals;
    const QColor text = palette().color(QPalette::Text);
    const QColor grid = palette().color(QPalette::Mid);
    const qint64 from = m_endMs - m_lengthMs;

    for (int r = 0; r < kSignals; ++r) {
        const QRectF band(0, area.top() + row * r, width(), row);
        if (r % 2 == 1)
            p.fillRect(band, palette().alternateBase());
        if (r == 6) {
            p.setPen(grid);
            p.drawLine(band.topLeft(), band.topRight());
        }
        p.setPen(text);
        const QRectF labelRect(3, band.top(), m_labelWidth - 6, row);
        p.drawText(labelRect, Qt::AlignVCenter,
                   p.fontMetrics().elidedText(rowLabel(r), Qt::ElideRight,
                                              static_cast<int>(labelRect.width())));
    }

    // Minute ticks across the top.
    const qint64 step = m_lengthMs <= 60'000 ? 10'000 : (m_lengthMs <= 600'000 ? 60'000 : 600'000);
    p.setPen(QPen(grid, 0, Qt::DotLine));
    for (qint64 t = (from / step + 1) * step; t <= m_endMs; t += step)
        p.drawLine(QPointF(xOf(t), area.top()), QPointF(xOf(t), area.bottom()));
    p.setPen(text);
    for (const TimeLabel& label : timeLabels())
        p.drawText(label.rect, Qt::AlignLeft | Qt::AlignVCenter, label.text);

    // Each signal as a step line, drawn from one change to the next: the
    // work grows with the changes, not with the reads. Where a fault broke
    // the reads, the line breaks too.
    const QColor line = palette().color(QPalette::Highlight);
    p.setPen(QPen(line, 1.5));
    for (int r = 0; r < kSignals; ++r) {
        const double high = levelY(r, true);
        const double low = levelY(r, false);
        const QList<LevelRun> runs = levelRuns(r);
        for (qsizetype i = 0; i < runs.size(); ++i) {
            const LevelRun& run = runs.at(i);
            const double left = std::max(xOf(run.fromMs), area.left());
            const double right = std::min(xOf(run.toMs), area.right());
            if (i > 0 && runs.at(i - 1).toMs == run.fromMs)
                p.drawLine(QPointF(left, high), QPointF(left, low));
            if (right >= left)
                p.drawLine(QPointF(left, run.high ? high : low),
                           QPointF(right, run.high ? high : low));
        }
    }

    p.setPen(QPen(QColor(220, 0, 0), 2));
    for (const SignalTrace::Entry& fault : m_trace.faults(from, m_endMs)) {
        const double x = xOf(fault.ms);
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.drawText(QPointF(x + 2, area.top() + 10),
                   fault.kind == SignalTrace::Kind::Watchdog ? tr("watchdog") : tr("invalid data"));
    }

    if (m_cursorMs >= from && m_cursorMs <= m_endMs) {
        p.setPen(QPen(text, 1, Qt::DashLine));
        const double x = xOf(m_cursorMs);
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    p.setPen(grid);
    p.drawRect(area);
}

TraceWindow::TraceWindow(const SignalTrace& trace, const Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), m_clock(clock)
{
    setObjectName(QStringLiteral("TraceFm"));
    setWindowTitle(tr("Trace"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    layout->addLayout(bar);
    m_minutes = new QComboBox(this);
    m_minutes->setObjectName(QStringLiteral("MinutesBox"));
    m_minutes->addItems({tr("Last minute"), tr("Last 10 minutes"), tr("Last hour")});
    m_pause = new QPushButton(tr("Pause"), this);
    m_pause->setObjectName(QStringLiteral("PauseButt"));
    m_cursorLabel = new QLabel(this);
    m_cursorLabel->setObjectName(QStringLiteral("CursorLabel"));
    m_cursorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bar->addWidget(m_minutes);
    bar->addWidget(m_pause);
    bar->addWidget(m_cursorLabel, 1);
    m_strip = new TraceStrip(trace, this);
    layout->addWidget(m_strip, 1);
    resize(760, 420);

    connect(m_minutes, &QComboBox::currentIndexChanged, this, [this](int index) {
        static constexpr std::array<int, 3> kMinutes{1, 10, 60};
        const qint64 length = kMinutes.at(static_cast<size_t>(index)) * qint64{60'000};
        m_strip->setWindow(m_paused ? m_strip->endMs() : m_clock.now().toMSecsSinceEpoch(), length);
        follow();
    });
    connect(m_pause, &QPushButton::clicked, this, [this] { setPaused(!m_paused); });
    connect(m_strip, &TraceStrip::cursorMoved, this,
            [this] { m_cursorLabel->setText(m_strip->cursorText()); });
    m_follow.setInterval(kFollowPeriod);
    connect(&m_follow, &QTimer::timeout, this, &TraceWindow::follow);
    follow();
}

void TraceWindow::setMinutes(int minutes)
{
    m_minutes->setCurrentIndex(minutes <= 1 ? 0 : (minutes <= 10 ? 1 : 2));
}

void TraceWindow::setPaused(bool paused)
{
    m_paused = paused;
    m_pause->setText(paused ? tr("Resume") : tr("Pause"));
    follow();
}

// The strip moves on by whole pixels: redrawing it more often than the time
// of one pixel would draw the same picture again (on the hour's view a pixel
// is several seconds).
void TraceWindow::follow()
{
    if (!m_paused)
        m_strip->setWindow(m_clock.now().toMSecsSinceEpoch(), m_strip->lengthMs());
    m_cursorLabel->setText(m_strip->cursorText());
    m_follow.setInterval(std::max(kFollowPeriod, std::chrono::milliseconds(m_strip->msPerPixel())));
}

void TraceWindow::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        placememory::RestorePlace(*this, kPlaceName);
    }
    follow();
    m_follow.start();
    QWidget::showEvent(event);
}

void TraceWindow::hideEvent(QHideEvent* event)
{
    m_follow.stop();
    placememory::SavePlace(*this, kPlaceName);
    QWidget::hideEvent(event);
}
