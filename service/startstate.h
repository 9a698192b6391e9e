// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <variant>

// The relays of the service's first relay write, where the start state is
// not a fixed word: the word the board last confirmed, kept across restarts
// in a small file per board, or what the project's timer records say at
// activation.
namespace service {

// <stateFolder>/<board>.relays
[[nodiscard]] QString RelayStateFile(const QString& stateFolder, const QString& board);

// The word kept in the file ("0105" and a line end), or why there is none
// to take ("... does not exist", "... holds no relay word").
[[nodiscard]] std::variant<quint16, QString> ReadRelayState(const QString& path);

// Keeps the word with the safe save, so that a kill in the middle of it
// leaves the old word, never half a file. False when it cannot be saved.
[[nodiscard]] bool WriteRelayState(const QString& path, quint16 word);

// The word the timer engine's first pass of an activation switches on from
// all off: the engine's own pass (ExecuteTimerPass) over a fresh copy of
// the records at `now`, as TIMERS would run them from this moment. Zero for
// records the engine would stop at.
[[nodiscard]] quint16 ScheduleWord(const QStringList& records, const QDateTime& now,
                                   QChar decimalPoint);

} // namespace service
