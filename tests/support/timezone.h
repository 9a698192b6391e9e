// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>
#include <QtGlobal>

#include <ctime>
#include <vector>

// Runs the test process in another time zone until the object goes out of
// scope, then restores the zone it had (none when TZ was not set).
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const QByteArray& zone)
        : m_hadZone(qEnvironmentVariableIsSet("TZ")), m_oldZone(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_hadZone)
            qputenv("TZ", m_oldZone);
        else
            qunsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool m_hadZone;
    QByteArray m_oldZone;
};

// A wall time that the zone's clocks skip when daylight saving starts.
struct SkippedWallTime
{
    QByteArray zone;
    QDate date;
    QTime time;
};

// The skipped wall time (moved by addSecs) as a UTC date-time, which has
// every wall time: what a user types for it.
[[nodiscard]] inline QDateTime wallTime(const SkippedWallTime& skipped, int addSecs = 0)
{
    return QDateTime(skipped.date, skipped.time, QTimeZone::utc()).addSecs(addSecs);
}

// Berlin and New York skip 02:00 to 03:00; Lord Howe Island moves by half an
// hour, from 02:00 to 02:30.
inline const std::vector<SkippedWallTime>& skippedWallTimes()
{
    static const std::vector<SkippedWallTime> times{
        {"Europe/Berlin", QDate(2026, 3, 29), QTime(2, 30)},
        {"America/New_York", QDate(2026, 3, 8), QTime(2, 30)},
        {"Australia/Lord_Howe", QDate(2026, 10, 4), QTime(2, 15)},
    };
    return times;
}

// True when the zone's data is installed and the day of the skipped wall
// time is short there: without the data a zone name silently means UTC, and
// a test would pass without testing anything.
[[nodiscard]] inline bool isSkipped(const SkippedWallTime& skipped)
{
    const QTimeZone zone(skipped.zone);
    if (!zone.isValid())
        return false;
    const QDateTime before(skipped.date, QTime(0, 0), zone);
    const QDateTime after(skipped.date.addDays(1), QTime(0, 0), zone);
    return before.secsTo(after) < 24 * 3600;
}
