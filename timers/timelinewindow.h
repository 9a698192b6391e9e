// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "timers/schedule.h"

#include <QDate>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class Clock;
class QComboBox;
class QDateEdit;
class QLabel;

// What the timeline reads, handed to it by whoever builds the windows: the
// records being edited (the editor's working copy while it is open), the
// records of the running system, whether the system runs, the relays the
// rules drive (bit n is relay n+1) and a way to open a record (0 for the
// first) in the timer editor.
struct TimelineFeed
{
    std::function<QStringList()> editedRecords;
    std::function<QStringList()> runningRecords;
    std::function<bool()> systemRunning;
    std::function<int()> ruleRelays;
    std::function<void(int record)> openRecord;
};

// The chart: one row per relay, time across, a bar per interval; windows of
// one relay that are open at once are drawn one above the other.
class TimelineChart : public QWidget
{
    Q_OBJECT

public:
    explicit TimelineChart(QWidget* parent = nullptr);

    void setSchedule(const schedule::Span& span, const QList<schedule::Interval>& intervals);
    void setRuleRelays(int relays);
    // The "now" line, or none for a negative value.
    void setNow(qint64 nowMs);

    [[nodiscard]] const QList<schedule::Interval>& intervals() const { return m_intervals; }
    // Where interval i is drawn, in the chart's coordinates.
    [[nodiscard]] QRectF barRect(int i) const;
    // The interval drawn at a point (the last drawn on top), or -1.
    [[nodiscard]] int barAt(QPointF point) const;
    // The text shown on hovering interval i.
    [[nodiscard]] QString barText(int i) const;
    [[nodiscard]] bool overlaps(int i) const { return m_overlapping.value(i); }
    // The label of a relay's row: "01" ... "16", with a mark when rules
    // drive it.
    [[nodiscard]] QString rowLabel(int relay) const;

Q_SIGNALS:
    void recordActivated(int record);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    [[nodiscard]] QRectF plotArea() const;
    [[nodiscard]] double xOf(qint64 ms) const;

    schedule::Span m_span;
    QList<schedule::Interval> m_intervals;
    QList<bool> m_overlapping;
    QList<int> m_lane;
    std::array<int, 16> m_lanes{};
    int m_ruleRelays = 0;
    qint64 m_nowMs = -1;
};

// The timeline window: which records, which span, the chart and the export.
class TTimelineFm : public QWidget
{
    Q_OBJECT

public:
    enum class Source
    {
        Edited,
        Running
    };
    enum class Range
    {
        Today,
        Week,
        Dates
    };

    TTimelineFm(TimelineFeed feed, const Clock& clock, QWidget* parent = nullptr);

    void setSource(Source source);
    void setRange(Range range, QDate from = {}, QDate to = {});
    // Reads the feed again and redraws when anything changed.
    void refresh();

    [[nodiscard]] TimelineChart& chart() { return *m_chart; }
    [[nodiscard]] const schedule::Schedule& currentSchedule() const { return m_schedule; }
    // Writes the intervals as CSV, or the chart as PNG for a path ending in
    // ".png"; false, with the reason in error, when the file was not written.
    bool exportTo(const QString& path, QString& error);

    static inline const QString kPlaceName = QStringLiteral("timeline");

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void exportClick();
    [[nodiscard]] schedule::Span span() const;

    TimelineFeed m_feed;
    const Clock& m_clock;
    QComboBox* m_source = nullptr;
    QComboBox* m_range = nullptr;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QLabel* m_message = nullptr;
    TimelineChart* m_chart = nullptr;
    QTimer m_refresh;
    bool m_placed = false;
    QStringList m_shownRecords;
    schedule::Span m_shownSpan;
    bool m_shownOnce = false;
    schedule::Schedule m_schedule;
};
