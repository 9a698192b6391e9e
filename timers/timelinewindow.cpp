// SPDX-License-Identifier: GPL-3.0-or-later
#include "timers/timelinewindow.h"

#include "common/clock.h"
#include "common/savefile.h"
#include "timers/chantimer.h"
#include "windowkit/placememory.h"

#include <QBuffer>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

namespace {

using schedule::Interval;

constexpr int kRelays = 16;
constexpr int kLabelWidth = 40;
// The widest the row labels may grow for the relays' names.
constexpr int kWidestLabel = 160;
constexpr int kHeaderHeight = 20;
// A row from top to bottom: a gap, the relay's bar, the record windows, a
// gap; as parts of the row's height.
constexpr double kRelayTop = 0.1;
constexpr double kRelayPart = 0.5;
constexpr double kWindowsPart = 0.3;
// The least room between two hour lines, and between two header labels.
constexpr double kHourLineRoom = 12;
constexpr double kLabelGap = 4;
// The phases a tooltip lists before it says how many more there are.
constexpr int kListedPhases = 6;
constexpr std::chrono::milliseconds kRefreshPeriod{500};

QString timeText(qint64 ms, const QTimeZone& zone, bool withMs = false)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, zone);
    return t.toString(withMs ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                             : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString secondsText(qint64 ms)
{
    return QString::number(static_cast<double>(ms) / 1000.0, 'g', 15) + QStringLiteral(" s");
}

// What decides the schedule of the running records: all their lines but
// the toggle phase of each window that is open. The engine counts that
// phase down on every pass; working the week out again from each count
// would hold up the poll cycle, which shares this thread. A window opening
// or closing changes its Running line, so the schedule follows it.
QStringList scheduleKey(QStringList records)
{
    using namespace chantimer;
    for (qsizetype first = 0; first + kRecordLines <= records.size(); first += kRecordLines) {
        if (records.at(first + Running) == QLatin1String("1")) {
            records[first + TogState].clear();
            records[first + TogCount].clear();
        }
    }
    return records;
}

} // namespace

TimelineChart::TimelineChart(QWidget* parent) : QWidget(parent), m_labelWidth(kLabelWidth)
{
    setObjectName(QStringLiteral("TimelineChart"));
    setMinimumSize(360, kHeaderHeight + kRelays * 12);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TimelineChart::setSchedule(const schedule::Span& span, const QList<Interval>& intervals,
                                const QList<schedule::RelayOn>& relays)
{
    m_span = span;
    m_intervals = intervals;
    m_relays = relays;
    m_overlapping = QList<bool>(intervals.size(), false);
    for (const auto& [a, b] : schedule::Overlaps(intervals)) {
        m_overlapping[a] = true;
        m_overlapping[b] = true;
    }
    // Windows of one relay open at the same time share its row in lanes:
    // each takes the first lane free when it opens.
    m_lane = QList<int>(intervals.size(), 0);
    m_lanes.fill(1);
    QList<int> order(intervals.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return std::tie(intervals.at(a).relay, intervals.at(a).onMs) <
               std::tie(intervals.at(b).relay, intervals.at(b).onMs);
    });
    std::array<QList<qint64>, kRelays> laneEnds;
    for (const int i : order) {
        const Interval& interval = intervals.at(i);
        QList<qint64>& ends = laneEnds[static_cast<size_t>(interval.relay - 1)];
        int lane = 0;
        while (lane < ends.size() && ends.at(lane) > interval.onMs)
            ++lane;
        if (lane == ends.size())
            ends.append(0);
        ends[lane] = interval.offMs;
        m_lane[i] = lane;
        m_lanes[static_cast<size_t>(interval.relay - 1)] = static_cast<int>(ends.size());
    }
    m_picture = QPixmap();
    update();
}

void TimelineChart::setRuleRelays(int relays)
{
    if (relays != m_ruleRelays) {
        m_ruleRelays = relays;
        updateLabelWidth();
        m_picture = QPixmap();
        update();
    }
}

void TimelineChart::setBoardSettings(const safety::BoardSettings& settings)
{
    m_settings = settings;
    updateLabelWidth();
    m_picture = QPixmap();
    update();
}

void TimelineChart::setHolds(const QList<schedule::Hold>& holds)
{
    m_holds = holds;
    m_picture = QPixmap();
    update();
}

void TimelineChart::updateLabelWidth()
{
    const bool named = std::any_of(m_settings.relayNames.cbegin(), m_settings.relayNames.cend(),
                                   [](const QString& name) { return !name.isEmpty(); });
    int width = kLabelWidth;
    if (named) {
        const QFontMetrics metrics(font());
        for (int relay = 1; relay <= kRelays; ++relay)
            width = std::max(width, metrics.horizontalAdvance(rowLabel(relay)) + 8);
    }
    m_labelWidth = std::min(width, kWidestLabel);
}

void TimelineChart::setNow(qint64 nowMs)
{
    if (nowMs != m_nowMs) {
        m_nowMs = nowMs;
        update();
    }
}

QRectF TimelineChart::plotArea() const
{
    return QRectF(m_labelWidth, kHeaderHeight, std::max(1, width() - m_labelWidth - 4),
                  std::max(1, height() - kHeaderHeight - 2));
}

double TimelineChart::xOf(qint64 ms) const
{
    const QRectF area = plotArea();
    const double length = static_cast<double>(std::max<qint64>(1, m_span.toMs - m_span.fromMs));
    return area.left() + area.width() * static_cast<double>(ms - m_span.fromMs) / length;
}

// A row holds the relay's bar in its upper part and the record windows in
// lanes below it.
QRectF TimelineChart::barRect(int i) const
{
    const Interval& interval = m_intervals.at(i);
    const QRectF area = plotArea();
    const double row = area.height() / kRelays;
    const double left = xOf(interval.onMs);
    // A window of a few seconds in a week still shows as a stroke.
    const double right = std::max(xOf(interval.offMs), left + 2.0);
    const double lanes = m_lanes[static_cast<size_t>(interval.relay - 1)];
    const double lane = row * kWindowsPart / lanes;
    const double top = area.top() + row * (interval.relay - 1) + row * (kRelayTop + kRelayPart) +
                       lane * m_lane.at(i);
    return QRectF(left, top, right - left, lane);
}

int TimelineChart::barAt(QPointF point) const
{
    for (int i = static_cast<int>(m_intervals.size()) - 1; i >= 0; --i) {
        if (barRect(i).adjusted(-1, 0, 1, 0).contains(point))
            return i;
    }
    return -1;
}

QRectF TimelineChart::relayRect(int i) const
{
    const schedule::RelayOn& r = m_relays.at(i);
    const QRectF area = plotArea();
    const double row = area.height() / kRelays;
    const double left = xOf(r.fromMs);
    const double right = std::max(xOf(r.toMs), left + 1.0);
    return QRectF(left, area.top() + row * (r.relay - 1 + kRelayTop), right - left,
                  row * kRelayPart);
}

int TimelineChart::relayAt(QPointF point) const
{
    const QRectF area = plotArea();
    const int relay =
        static_cast<int>(std::floor((point.y() - area.top()) / (area.height() / kRelays))) + 1;
    // By relay, then by time: the last stretch of the row that starts
    // before the point (or within a pixel after it).
    const auto first =
        std::partition_point(m_relays.begin(), m_relays.end(),
                             [&](const schedule::RelayOn& r) { return r.relay < relay; });
    const auto last = std::partition_point(
        first, m_relays.end(), [&](const schedule::RelayOn& r) { return r.relay == relay; });
    const auto after = std::partition_point(
        first, last, [&](const schedule::RelayOn& r) { return xOf(r.fromMs) <= point.x() + 1.0; });
    if (after == first)
        return -1;
    const int i = static_cast<int>(after - m_relays.begin()) - 1;
    return relayRect(i).adjusted(-1, 0, 1, 0).contains(point) ? i : -1;
}

QString TimelineChart::relayText(int i) const
{
    const schedule::RelayOn& r = m_relays.at(i);
    QStringList lines;
    lines << tr("Relay %1 on").arg(r.relay, 2, 10, QLatin1Char('0'));
    lines << (r.onBy >= 0
                  ? tr("ON  %1 by record %2").arg(timeText(r.fromMs, m_span.zone, true)).arg(r.onBy)
                  : tr("on at the start of the span"));
    const bool cut = std::any_of(m_holds.cbegin(), m_holds.cend(), [&](const schedule::Hold& h) {
        return h.relay == r.relay && h.fromMs == r.toMs && h.why == schedule::Hold::Why::MaxOn;
    });
    if (cut)
        lines << tr("OFF %1 at its maximum on-time").arg(timeText(r.toMs, m_span.zone, true));
    else
        lines << (r.offBy >= 0 ? tr("OFF %1 by record %2")
                                     .arg(timeText(r.toMs, m_span.zone, true))
                                     .arg(r.offBy)
                               : tr("still on at the end of the span"));
    for (const Interval& window : m_intervals) {
        if (window.relay == r.relay && window.onMs < r.toMs && window.offMs > r.fromMs)
            lines << tr("Window of record %1: %2 to %3")
                         .arg(window.record)
                         .arg(timeText(window.onMs, m_span.zone),
                              timeText(window.offMs, m_span.zone));
    }
    return lines.join(QLatin1Char('\n'));
}

QString TimelineChart::rowLabel(int relay) const
{
    QString label = QStringLiteral("%1").arg(relay, 2, 10, QLatin1Char('0'));
    if (const QString& name = m_settings.relayNames.at(static_cast<size_t>(relay - 1));
        !name.isEmpty())
        label += QLatin1Char(' ') + name;
    return (m_ruleRelays & (1 << (relay - 1))) ? label + QStringLiteral(" R") : label;
}

QRectF TimelineChart::holdRect(int i) const
{
    const schedule::Hold& h = m_holds.at(i);
    const QRectF area = plotArea();
    const double row = area.height() / kRelays;
    const double left = xOf(h.fromMs);
    const double right = std::max(xOf(h.toMs), left + 1.0);
    return QRectF(left, area.top() + row * (h.relay - 1 + kRelayTop), right - left,
                  row * kRelayPart);
}

int TimelineChart::holdAt(QPointF point) const
{
    for (int i = static_cast<int>(m_holds.size()) - 1; i >= 0; --i) {
        if (holdRect(i).adjusted(-1, 0, 1, 0).contains(point))
            return i;
    }
    return -1;
}

QString TimelineChart::holdText(int i) const
{
    const schedule::Hold& h = m_holds.at(i);
    const QString group = safety::GroupText(m_settings.groupOf(h.relay - 1));
    QStringList lines;
    lines << tr("Relay %1 held off").arg(m_settings.relayLabel(h.relay - 1));
    lines << tr("%1 to %2")
                 .arg(timeText(h.fromMs, m_span.zone, true), timeText(h.toMs, m_span.zone, true));
    switch (h.why) {
    case schedule::Hold::Why::Interlock:
        lines << tr("Interlock with relay %1 (group %2): asked on while it was on, or "
                    "together with it; off until a record switches it on again")
                     .arg(m_settings.relayLabel(h.by - 1), group);
        break;
    case schedule::Hold::Why::DeadTime:
        lines << tr("Dead time of group %1: waiting %2 after relay %3 went off")
                     .arg(group, safety::DurationText(m_settings.deadTime),
                          m_settings.relayLabel(h.by - 1));
        break;
    case schedule::Hold::Why::MaxOn:
        lines << tr("Cut off at its maximum on-time %1; off until a record switches it on again")
                     .arg(safety::DurationText(
                         m_settings.maxOn.at(static_cast<size_t>(h.relay - 1))));
        break;
    }
    return lines.join(QLatin1Char('\n'));
}

QString TimelineChart::barText(int i) const
{
    const Interval& interval = m_intervals.at(i);
    QStringList lines;
    lines << tr("Record %1, relay %2")
                 .arg(interval.record)
                 .arg(interval.relay, 2, 10, QLatin1Char('0'));
    lines << tr("ON  %1").arg(timeText(interval.onMs, m_span.zone));
    lines << (interval.closes ? tr("OFF %1").arg(timeText(interval.offMs, m_span.zone))
                              : tr("still on at the end of the span"));
    if (interval.toggle) {
        lines << tr("Toggling: ON %1, OFF %2")
                     .arg(secondsText(interval.toggle->onMs), secondsText(interval.toggle->offMs));
        const QList<schedule::Phase> phases = schedule::Phases(interval, kListedPhases + 1);
        for (int p = 0; p < std::min<qsizetype>(phases.size(), kListedPhases); ++p) {
            const schedule::Phase& phase = phases.at(p);
            lines << QStringLiteral("  %1 %2 to %3")
                         .arg(phase.on ? QStringLiteral("ON ") : QStringLiteral("OFF"),
                              timeText(phase.fromMs, m_span.zone, true),
                              timeText(phase.toMs, m_span.zone, true).mid(11));
        }
        if (phases.size() > kListedPhases)
            lines << QStringLiteral("  ...");
    }
    if (m_overlapping.value(i))
        lines << tr("Overlaps another record on this relay: the later switch wins");
    return lines.join(QLatin1Char('\n'));
}

bool TimelineChart::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int i = barAt(help->pos());
        const int r = i < 0 ? relayAt(help->pos()) : -1;
        const int h = i < 0 && r < 0 ? holdAt(help->pos()) : -1;
        if (i >= 0)
            QToolTip::showText(help->globalPos(), barText(i), this, barRect(i).toAlignedRect());
        else if (r >= 0)
            QToolTip::showText(help->globalPos(), relayText(r), this, relayRect(r).toAlignedRect());
        else if (h >= 0)
            QToolTip::showText(help->globalPos(), holdText(h), this, holdRect(h).toAlignedRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void TimelineChart::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int i = barAt(event->position());
    if (i >= 0) {
        Q_EMIT recordActivated(m_intervals.at(i).record);
        return;
    }
    const int r = relayAt(event->position());
    if (r >= 0) {
        const schedule::RelayOn& on = m_relays.at(r);
        if (on.onBy >= 0 || on.offBy >= 0)
            Q_EMIT recordActivated(on.onBy >= 0 ? on.onBy : on.offBy);
    }
}

TimeGrid TimelineChart::timeGrid() const
{
    TimeGrid grid;
    const QRectF area = plotArea();
    const QFontMetricsF metrics(font());
    const double hourWidth =
        area.width() / (static_cast<double>(m_span.toMs - m_span.fromMs) / 3'600'000.0);
    static constexpr std::array<int, 6> kSteps{1, 2, 3, 6, 12, 24};
    const auto stepFor = [&](double room) {
        const auto fits = std::find_if(kSteps.begin(), kSteps.end(),
                                       [&](int step) { return hourWidth * step >= room; });
        return fits == kSteps.end() ? 24 : *fits;
    };
    const int lineStep = stepFor(kHourLineRoom);
    const int labelStep = stepFor(metrics.horizontalAdvance(QStringLiteral("00")) + 2 * kLabelGap);

    // The hours are the wall clock's: on a daylight-saving day the skipped
    // hour has no line, and the lines after it stand an hour closer.
    QList<std::pair<double, int>> hours; // x, hour of day
    const QDate last = QDateTime::fromMSecsSinceEpoch(m_span.toMs, m_span.zone).date();
    for (QDate day = QDateTime::fromMSecsSinceEpoch(m_span.fromMs, m_span.zone).date(); day <= last;
         day = day.addDays(1)) {
        for (int hour = 0; hour < 24; hour += lineStep) {
            const qint64 ms = QDateTime(day, QTime(hour, 0), m_span.zone).toMSecsSinceEpoch();
            const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, m_span.zone);
            if (t.time() != QTime(hour, 0) || ms < m_span.fromMs || ms >= m_span.toMs)
                continue;
            grid.lines.append({xOf(ms), hour == 0});
            if (hour == 0) {
                const QString text = t.toString(QStringLiteral("ddd d MMM"));
                grid.labels.append(
                    {QRectF(xOf(ms) + 3, 0, metrics.horizontalAdvance(text), kHeaderHeight - 2),
                     text});
            } else if (hour % labelStep == 0) {
                hours.append({xOf(ms), hour});
            }
        }
    }
    // An hour gets its label where that stands clear of the days' labels
    // and of the hour before.
    for (const auto& [x, hour] : hours) {
        const QString text = QStringLiteral("%1").arg(hour, 2, 10, QLatin1Char('0'));
        const QRectF rect(x + 2, 0, metrics.horizontalAdvance(text), kHeaderHeight - 2);
        const QRectF room = rect.adjusted(-kLabelGap, 0, kLabelGap, 0);
        if (rect.right() > area.right() ||
            std::any_of(grid.labels.begin(), grid.labels.end(),
                        [&](const HeaderLabel& l) { return l.rect.intersects(room); }))
            continue;
        grid.labels.append({rect, text});
    }
    return grid;
}

void TimelineChart::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange ||
        event->type() == QEvent::StyleChange) {
        updateLabelWidth();
        m_picture = QPixmap();
    }
    QWidget::changeEvent(event);
}

// The now line moves on every look at a running system; what lies under it
// (a week of toggle phases can be a million stretches) is drawn once into a
// picture and shown again until it changes.
void TimelineChart::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    if (m_picture.isNull() || m_picture.devicePixelRatio() != ratio ||
        m_picture.deviceIndependentSize() != QSizeF(size())) {
        m_picture = QPixmap(size() * ratio);
        m_picture.setDevicePixelRatio(ratio);
        paintPicture();
        ++m_picturesDrawn;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);
    const QRectF area = plotArea();
    if (m_nowMs >= m_span.fromMs && m_nowMs < m_span.toMs) {
        const double x = xOf(m_nowMs);
        p.setPen(QPen(QColor(200, 0, 0), 2));
        p.drawLine(QPointF(x, area.top() - 4), QPointF(x, area.bottom()));
    }
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(area);
}

void TimelineChart::paintPicture()
{
    QPainter p(&m_picture);
    p.setFont(font());
    p.fillRect(rect(), palette().base());
    const QRectF area = plotArea();
    const double row = area.height() / kRelays;
    const QColor text = palette().color(QPalette::Text);
    const QColor grid = palette().color(QPalette::Mid);

    // Rows and their labels.
    for (int relay = 1; relay <= kRelays; ++relay) {
        const QRectF band(0, area.top() + row * (relay - 1), width(), row);
        if (relay % 2 == 0)
            p.fillRect(band, palette().alternateBase());
        p.setPen(text);
        const QRectF label(4, band.top(), m_labelWidth - 8, row);
        // A name too long for the widest column ends in an ellipsis.
        const QString shown = m_labelWidth > kLabelWidth
                                  ? p.fontMetrics().elidedText(rowLabel(relay), Qt::ElideRight,
                                                               static_cast<int>(label.width()))
                                  : rowLabel(relay);
        p.drawText(label, Qt::AlignVCenter | Qt::AlignLeft, shown);
    }

    // Days and hours across.
    const TimeGrid timeLines = timeGrid();
    for (const auto& [x, midnight] : timeLines.lines) {
        p.setPen(QPen(grid, 0, midnight ? Qt::SolidLine : Qt::DotLine));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    p.setPen(text);
    for (const HeaderLabel& label : timeLines.labels)
        p.drawText(label.rect, Qt::AlignLeft | Qt::AlignVCenter, label.text);

    // What the relays do: a bar per stretch a relay is on. Stretches closer
    // than a pixel (the phases of a toggle in a week's view) are drawn as
    // one, dotted where it holds such gaps.
    const QColor bar = palette().color(QPalette::Highlight);
    QRectF pending;
    bool gaps = false;
    const auto draw = [&] {
        if (!pending.isNull())
            p.fillRect(pending, gaps ? QBrush(bar, Qt::Dense3Pattern) : QBrush(bar));
    };
    for (int i = 0; i < m_relays.size(); ++i) {
        const QRectF r = relayRect(i);
        if (!pending.isNull() && r.top() == pending.top() && r.left() <= pending.right() + 1) {
            gaps = gaps || r.left() > pending.right();
            pending.setRight(std::max(pending.right(), r.right()));
            continue;
        }
        draw();
        pending = r;
        gaps = false;
    }
    draw();

    // What the board's settings hold off: hatched in the relay's bar,
    // orange for an interlock and its dead time, red for a maximum on-time.
    for (int i = 0; i < m_holds.size(); ++i) {
        const bool cut = m_holds.at(i).why == schedule::Hold::Why::MaxOn;
        QColor color = cut ? QColor(200, 0, 0) : QColor(230, 120, 0);
        const QRectF r = holdRect(i);
        color.setAlpha(50);
        p.fillRect(r, color);
        color.setAlpha(255);
        p.fillRect(r, QBrush(color, cut ? Qt::DiagCrossPattern : Qt::BDiagPattern));
    }

    // The record windows: plain for a window that holds the relay on,
    // hatched where it toggles, outlined in red where windows of the same
    // relay overlap.
    for (int i = 0; i < m_intervals.size(); ++i) {
        const QRectF r = barRect(i);
        if (m_intervals.at(i).toggle) {
            p.fillRect(r, bar.lighter(170));
            p.fillRect(r, QBrush(bar.darker(120), Qt::BDiagPattern));
        } else {
            p.fillRect(r, bar.lighter(140));
        }
        if (m_overlapping.at(i)) {
            p.setPen(QPen(Qt::red, 1));
            p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
        }
    }
}

TimelineWindow::TimelineWindow(TimelineFeed feed, const Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), m_feed(std::move(feed)), m_clock(clock)
{
    setObjectName(QStringLiteral("TimelineFm"));
    setWindowTitle(tr("Timeline"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    layout->addLayout(bar);

    m_source = new QComboBox(this);
    m_source->setObjectName(QStringLiteral("SourceBox"));
    m_source->addItems({tr("Records being edited"), tr("Running system")});
    m_range = new QComboBox(this);
    m_range->setObjectName(QStringLiteral("RangeBox"));
    m_range->addItems({tr("Today"), tr("Next 7 days"), tr("Dates")});
    m_range->setCurrentIndex(static_cast<int>(Range::Week));
    const QDate today = m_clock.now().date();
    m_from = new QDateEdit(today, this);
    m_from->setObjectName(QStringLiteral("FromDate"));
    m_to = new QDateEdit(today.addDays(6), this);
    m_to->setObjectName(QStringLiteral("ToDate"));
    for (QDateEdit* edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setEnabled(false);
    }
    auto* exportButton = new QPushButton(tr("Export..."), this);
    exportButton->setObjectName(QStringLiteral("ExportButt"));
    bar->addWidget(m_source);
    bar->addWidget(m_range);
    bar->addWidget(m_from);
    bar->addWidget(new QLabel(tr("to"), this));
    bar->addWidget(m_to);
    bar->addStretch();
    bar->addWidget(exportButton);

    m_chart = new TimelineChart(this);
    layout->addWidget(m_chart, 1);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("MessageLabel"));
    layout->addWidget(m_message);
    resize(900, 420);

    const auto changed = [this] {
        const bool dates = m_range->currentIndex() == static_cast<int>(Range::Dates);
        m_from->setEnabled(dates);
        m_to->setEnabled(dates);
        refresh();
    };
    connect(m_source, &QComboBox::currentIndexChanged, this, changed);
    connect(m_range, &QComboBox::currentIndexChanged, this, changed);
    connect(m_from, &QDateEdit::dateChanged, this, changed);
    connect(m_to, &QDateEdit::dateChanged, this, changed);
    connect(exportButton, &QPushButton::clicked, this, &TimelineWindow::exportClick);
    connect(m_chart, &TimelineChart::recordActivated, this, [this](int record) {
        if (m_feed.openRecord)
            m_feed.openRecord(record);
        refresh();
    });
    // The records change while the editor is open (it holds the window's
    // input, but not its painting) and the now line moves: the window looks
    // at the feed twice a second and redraws only what changed.
    m_refresh.setInterval(kRefreshPeriod);
    connect(&m_refresh, &QTimer::timeout, this, &TimelineWindow::refresh);
}

void TimelineWindow::setSource(Source source)
{
    m_source->setCurrentIndex(static_cast<int>(source));
    refresh();
}

void TimelineWindow::setRange(Range range, QDate from, QDate to)
{
    if (from.isValid())
        m_from->setDate(from);
    if (to.isValid())
        m_to->setDate(to);
    m_range->setCurrentIndex(static_cast<int>(range));
    refresh();
}

void TimelineWindow::setBoardSettings(const safety::BoardSettings& settings)
{
    m_settings = settings;
    m_chart->setBoardSettings(settings);
    m_shownOnce = false;
    refresh();
}

schedule::Span TimelineWindow::span() const
{
    const QDate today = m_clock.now().date();
    switch (static_cast<Range>(m_range->currentIndex())) {
    case Range::Today:
        return schedule::DaySpan(today, 1);
    case Range::Dates: {
        const QDate from = m_from->date();
        return schedule::DaySpan(from, std::max<int>(1, from.daysTo(m_to->date()) + 1));
    }
    case Range::Week:
        break;
    }
    return schedule::DaySpan(today, 7);
}

void TimelineWindow::refresh()
{
    const bool running = m_feed.systemRunning && m_feed.systemRunning();
    const bool edited = m_source->currentIndex() == static_cast<int>(Source::Edited);
    const std::function<QStringList()>& read =
        edited ? m_feed.editedRecords : m_feed.runningRecords;
    const QStringList records = read ? read() : QStringList();
    const QStringList key = edited ? records : scheduleKey(records);
    const schedule::Span s = span();
    if (!m_shownOnce || key != m_shownRecords || s.fromMs != m_shownSpan.fromMs ||
        s.toMs != m_shownSpan.toMs || running != m_shownRunning) {
        m_shownOnce = true;
        m_shownRecords = key;
        m_shownSpan = s;
        m_shownRunning = running;
        m_schedule = schedule::ComputeSchedule(records, s);
        // The guards act on every relay write; without them the relays
        // are what the records ask.
        schedule::Guarded guarded;
        if (m_settings.guardsNothing())
            guarded.relays = m_schedule.relays;
        else
            guarded = schedule::GuardRelays(m_schedule.relays, m_settings, s.passOriginMs);
        m_chart->setSchedule(s, m_schedule.intervals, guarded.relays);
        m_chart->setHolds(guarded.holds);
        if (m_schedule.faultyRecord >= 0)
            m_message->setText(tr("Record %1 stops the timers: %2")
                                   .arg(m_schedule.faultyRecord)
                                   .arg(m_schedule.error));
        else if (!edited && !running)
            m_message->setText(tr("The system is not running; its records as last started."));
        else
            m_message->setText(
                tr("%n interval(s)", nullptr, static_cast<int>(m_schedule.intervals.size())));
        if (!guarded.holds.isEmpty())
            m_message->setText(m_message->text() +
                               tr("; hatched: held off by an interlock (orange) or cut at the "
                                  "maximum on-time (red), hover for why"));
    }
    m_chart->setRuleRelays(m_feed.ruleRelays ? m_feed.ruleRelays() : 0);
    m_chart->setNow(running ? m_clock.now().toMSecsSinceEpoch() : -1);
}

bool TimelineWindow::exportTo(const QString& path, QString& error, bool records)
{
    QByteArray bytes;
    if (path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        // At the screen's pixel ratio, as the chart shows.
        const QPixmap picture = m_chart->grab();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.save(&buffer, "PNG")) {
            error = tr("The picture could not be made.");
            return false;
        }
    } else if (records) {
        bytes = schedule::ToCsv(m_schedule.intervals, m_shownSpan.zone);
    } else {
        // What the chart shows: with settings, what the guards let through.
        bytes = schedule::RelaysToCsv(m_chart->relays(), m_shownSpan.zone);
    }
    const QString target = FollowSaveLinks(path);
    if (target.isEmpty() || !ReplaceFile(target, bytes)) {
        error = tr("Cannot write %1.").arg(path);
        return false;
    }
    return true;
}

QString TimelineWindow::exportPath(const QString& typed, const QString& filter)
{
    if (typed.isEmpty() || !QFileInfo(typed).suffix().isEmpty())
        return typed;
    static const QRegularExpression kPattern(QStringLiteral("\\(\\*(\\.[^ )]+)"));
    const QRegularExpressionMatch suffix = kPattern.match(filter);
    return suffix.hasMatch() ? typed + suffix.captured(1) : typed;
}

void TimelineWindow::exportClick()
{
    const QString relaysFilter = tr("Relays as CSV (*.csv)");
    const QString recordsFilter = tr("Record windows as CSV (*.csv)");
    const QString pictureFilter = tr("Picture (*.png)");
    QString filter;
    const QString typed = QFileDialog::getSaveFileName(
        this, tr("Export the timeline"), QString(),
        QStringList{relaysFilter, recordsFilter, pictureFilter}.join(QStringLiteral(";;")),
        &filter);
    if (typed.isEmpty())
        return;
    // The dialog asked about replacing the file the user typed; one whose
    // name gets the suffix here is asked about as the dialog would.
    const QString path = exportPath(typed, filter);
    if (path != typed && QFileInfo::exists(path) &&
        QMessageBox::question(
            this, tr("Export the timeline"),
            tr("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName())) !=
            QMessageBox::Yes)
        return;
    QString error;
    if (!exportTo(path, error, filter == recordsFilter))
        QMessageBox::warning(this, windowTitle(), error);
}

void TimelineWindow::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        placememory::RestorePlace(*this, kPlaceName);
    }
    refresh();
    m_refresh.start();
    QWidget::showEvent(event);
}

void TimelineWindow::hideEvent(QHideEvent* event)
{
    m_refresh.stop();
    placememory::SavePlace(*this, kPlaceName);
    QWidget::hideEvent(event);
}
