// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

#include <optional>

// Day numbers: days since 30 December 1899 00:00 as a double, the fraction
// being the time of day, in local wall-clock time (no time zone).

// The day number of a calendar date and time, or nothing when the values do
// not form a Gregorian date and time (month 0, 29 February 2100, hour 24 ...).
[[nodiscard]] std::optional<double> EncodeDayNumber(int year, int month, int day, int hour,
                                                    int minute, int second, int msec = 0);
[[nodiscard]] double DateTimeToDayNumber(const QDateTime& dateTime);
// The date-time of a day number, rounded to the nearest millisecond; an
// invalid QDateTime when the value lies outside the years 1 to 9999. It is
// a UTC date-time carrying the wall time: read its date() and time(), never
// convert it to local time, where the wall times skipped by a daylight-saving
// change do not exist.
[[nodiscard]] QDateTime DayNumberToDateTime(double dayNumber);

// The general decimal form: at most 15 significant digits, no trailing
// zeros, no point for a whole value, decimalPoint as the separator.
[[nodiscard]] QString FormatGeneral(double value, QChar decimalPoint);

// "ddmmyyyyhhmmss" after rounding to the nearest millisecond; empty when the
// value cannot be shown as a calendar date.
[[nodiscard]] QString FormatFieldPattern(double dayNumber);

// Weekday of a day number, 1 = Sunday to 7 = Saturday.
[[nodiscard]] int DayOfWeek(double dayNumber);
// The time of day: the number minus its whole days.
[[nodiscard]] double TimeOfDay(double dayNumber);

// Day-within-month test shared by the timer editor and the logger window:
// 31 days for months 1, 3, 5, 7, 8, 10, 12 and any number outside 1 to 12,
// 30 for 4, 6, 9, 11, and February 29 days in every year divisible by 4.
[[nodiscard]] bool CheckMonthDays(int day, int month, int year);
