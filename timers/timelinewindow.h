// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "safety/boardsettings.h"
#include "timers/schedule.h"
#include "timers/schedulecheck.h"

#include <QDate>
#include <QPixmap>
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

// A text of the chart's header and where it goes.
struct HeaderLabel
{
    QRectF rect;
    QString text;
};

// The chart's grid across the span: a line per day and per hour (solid at
// midnight), and the labels that have room: the days always, the hours
// where they stand clear of every other label.
struct TimeGrid
{
    QList<std::pair<double, bool>> lines; // x, midnight
    QList<HeaderLabel> labels;
};

// The chart: one row per relay, time across. The main bar of a row is what
// the relay does, as the timer engine switches it; under it, a thin bar per
// record window, windows of one relay that are open at once one above the
// other.
class TimelineChart : public QWidget
{
    Q_OBJECT

public:
    explicit TimelineChart(QWidget* parent = nullptr);

    void setSchedule(const schedule::Span& span, const QList<schedule::Interval>& intervals,
                     const QList<schedule::RelayOn>& relays);
    void setRuleRelays(int relays);
    // The board's settings: relay names in the row labels, and the texts
    // of the stretches they hold a relay off (setHolds), drawn hatched in
    // the relay's bar.
    void setBoardSettings(const safety::BoardSettings& settings);
    void setHolds(const QList<schedule::Hold>& holds);
    // The "now" line, or none for a negative value.
    void setNow(qint64 nowMs);

    [[nodiscard]] const QList<schedule::Interval>& intervals() const { return m_intervals; }
    [[nodiscard]] const QList<schedule::RelayOn>& relays() const { return m_relays; }
    // Where record window i is drawn, in the chart's coordinates.
    [[nodiscard]] QRectF barRect(int i) const;
    // The record window drawn at a point (the last drawn on top), or -1.
    [[nodiscard]] int barAt(QPointF point) const;
    // The text shown on hovering record window i.
    [[nodiscard]] QString barText(int i) const;
    // Where stretch i of a relay being on is drawn, the stretch at a point
    // (or -1), and its text: when and by which records it switched, and
    // the record windows of the relay it lies in.
    [[nodiscard]] QRectF relayRect(int i) const;
    [[nodiscard]] int relayAt(QPointF point) const;
    [[nodiscard]] QString relayText(int i) const;
    [[nodiscard]] const QList<schedule::Hold>& holds() const { return m_holds; }
    // Where hold i is drawn, the hold at a point (or -1), and why it is.
    [[nodiscard]] QRectF holdRect(int i) const;
    [[nodiscard]] int holdAt(QPointF point) const;
    [[nodiscard]] QString holdText(int i) const;
    // The grid and header labels for the chart's present size and span.
    [[nodiscard]] TimeGrid timeGrid() const;
    [[nodiscard]] bool overlaps(int i) const { return m_overlapping.value(i); }
    // The label of a relay's row: "01" ... "16", with its name after it
    // ("01 Pump") and a mark when rules drive it.
    [[nodiscard]] QString rowLabel(int relay) const;
    // How often the chart under the now line was drawn afresh.
    [[nodiscard]] int picturesDrawn() const { return m_picturesDrawn; }

Q_SIGNALS:
    void recordActivated(int record);

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void paintPicture();
    [[nodiscard]] QRectF plotArea() const;
    [[nodiscard]] double xOf(qint64 ms) const;
    // The row labels' column: as wide as the widest name needs.
    void updateLabelWidth();

    schedule::Span m_span;
    QList<schedule::Interval> m_intervals;
    QList<schedule::RelayOn> m_relays;
    QList<bool> m_overlapping;
    QList<int> m_lane;
    std::array<int, 16> m_lanes{};
    int m_ruleRelays = 0;
    safety::BoardSettings m_settings;
    QList<schedule::Hold> m_holds;
    int m_labelWidth = 0;
    qint64 m_nowMs = -1;
    QPixmap m_picture;
    int m_picturesDrawn = 0;
};

// The timeline window: which records, which span, the chart and the export.
class TimelineWindow : public QWidget
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

    TimelineWindow(TimelineFeed feed, const Clock& clock, QWidget* parent = nullptr);

    void setSource(Source source);
    void setRange(Range range, QDate from = {}, QDate to = {});
    // The board's settings: the chart shows what the relays will really do
    // under their interlocks and maximum on-times, and the relays' names.
    void setBoardSettings(const safety::BoardSettings& settings);
    // Reads the feed again and redraws when anything changed.
    void refresh();

    [[nodiscard]] TimelineChart& chart() { return *m_chart; }
    [[nodiscard]] const schedule::Schedule& currentSchedule() const { return m_schedule; }
    // Writes what the relays do as CSV (with records, the record windows),
    // or the chart as PNG for a path ending in ".png"; false, with the
    // reason in error, when the file was not written.
    bool exportTo(const QString& path, QString& error, bool records = false);
    // The path to write for what the user typed in the export dialog with
    // the filter chosen there: a name with no suffix gets the filter's.
    [[nodiscard]] static QString exportPath(const QString& typed, const QString& filter);

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
    // What the shown schedule was worked out from.
    QStringList m_shownRecords;
    schedule::Span m_shownSpan;
    bool m_shownRunning = false;
    bool m_shownOnce = false;
    schedule::Schedule m_schedule;
    safety::BoardSettings m_settings;
};
