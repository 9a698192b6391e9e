// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// A list of timer records is a plain list of text lines; record k is the
// nine lines 9k to 9k+8. The same form lives in TimerList, ActiveTimerList,
// the editor's EditList and the "[t]" section of the project file.
namespace chantimer {

inline constexpr int kRecordLines = 9;

// The lines of one record, counted from its first line.
enum Line : int
{
    Channel = 0,
    OnTime = 1,
    OffTime = 2,
    TogOn = 3,
    TogOff = 4,
    Days = 5,
    Running = 6,
    TogState = 7,
    TogCount = 8,
};

// The nine lines the editor writes: the settings, then the run-time state
// of a record that has not run yet (window closed, toggle in its OFF phase,
// the ON phase length loaded). The ON and OFF times carry decimalPoint.
[[nodiscard]] QStringList MakeRecord(const QString& channel, double onTime, double offTime,
                                     const QString& togOn, const QString& togOff,
                                     const QString& days, QChar decimalPoint);

// The operations address a record by its first line (9k for record k), as
// the editor keeps its position.
void AppendRecord(QStringList& list, const QStringList& record);
// Replaces the nine lines from firstLine on; lines missing at the end of a
// short list are added, so a record cut short in a loaded file is made
// whole again.
void OverwriteRecord(QStringList& list, int firstLine, const QStringList& record);
// Removes line firstLine nine times (or as many lines as there are), so the
// following records move up by nine lines.
void DeleteRecord(QStringList& list, int firstLine);

// Daily mode: the Days line holds a "1" anywhere.
[[nodiscard]] bool IsDaily(const QString& days);
// Weekday 1 = Sunday to 7 = Saturday is selected when the character at its
// position is "1"; positions beyond a short line are not selected.
[[nodiscard]] bool DaySelected(const QString& days, int weekday);

// A decimal text as a number, accepting exactly what StrToFloatOk accepts
// (either separator, surrounding blanks), or nothing. The execution pass
// converts every number of every record on every tick: plain texts take a
// fast path here, anything unusual the full conversion.
[[nodiscard]] std::optional<double> ParseNumber(const QString& text);

// A record as the editor shows it.
struct ShownRecord
{
    QString channel;   // "01" when line 0 is no relay number
    QString onPattern; // "ddmmyyyyhhmmss"
    QString offPattern;
    QString togOn; // empty when the line is "0"
    QString togOff;
    std::array<bool, 7> days{}; // Sunday first
};

// Reads the record starting at firstLine with the editor's rules; nothing
// when the list is damaged there (a line among 0 to 5 missing, or an ON or
// OFF line that is no number or no calendar date).
[[nodiscard]] std::optional<ShownRecord> ReadForEditor(const QStringList& list, int firstLine);

} // namespace chantimer
