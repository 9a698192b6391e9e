// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "safety/boardsettings.h"

#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <optional>

namespace safety {

// Holds the relay word to a board's interlock groups, dead time and
// maximum on-times. It stands at the one writer of the relay word: every
// request passes admit() before it is stored, and release() is the last
// step before a relay command is built, so what it lets through is what
// the board is sent.
//
// The rules, the same for every source:
// - Of an interlock group at most one relay is on. A relay that is on, or
//   that an earlier request has asked on, keeps on; of the relays one
//   request asks on together, the lowest number wins. The others are held
//   off and dropped from the request.
// - After a relay of a group went off on the wire, no other relay of the
//   group goes on before the dead time has passed; one asked on meanwhile
//   waits and comes on then, unless it is asked off or another relay of the
//   group is on by then.
// - A relay on for its maximum on-time is switched off at the first relay
//   write at or after the limit, and stays off until it is asked on again:
//   by any request that asks it on, except the rules, whose output must go
//   off and on again first (they ask for the same relays on every cycle).
//
// What it holds back is told in reports(): a request asked once (a click,
// a timer's edge, a remote command) is told every time; the rules' steady
// requests only when the reason changes.
class RelayGuard
{
public:
    using time_point = std::chrono::steady_clock::time_point;

    enum class Ask
    {
        // Each request is an act of its own.
        Once,
        // The same relays are asked on every cycle.
        EveryCycle
    };

    void setSettings(const BoardSettings& settings);
    [[nodiscard]] const BoardSettings& settings() const { return m_settings; }

    // A request: before is the stored word, stored what it would become
    // (the relays of mask changed). Gives back what may be stored.
    [[nodiscard]] quint16 admit(Ask ask, quint16 mask, quint16 before, quint16 stored,
                                time_point now);
    // The relay write: the word stored, with the relays whose dead time has
    // passed put on and those past their maximum on-time switched off, as
    // it goes out now.
    [[nodiscard]] quint16 release(quint16 stored, time_point now);
    // The board stopped taking commands: its relays count as off from now
    // for the dead time. A relay the first relay write after it gives back
    // (the service restores the word after a fault, when the board may have
    // held it all along) goes on counting its on-time from before.
    void boardReset(time_point now);

    // What the last admit() or release() held back or switched off, one
    // text per relay ("relay 02 held off: interlock with 01").
    [[nodiscard]] const QStringList& reports() const { return m_reports; }
    // Relays asked on that wait for their group's dead time.
    [[nodiscard]] quint16 waiting() const { return m_waiting; }

private:
    struct Hold
    {
        enum class Kind
        {
            None,
            Interlock,
            DeadTime,
            MaxOn
        };
        Kind kind = Kind::None;
        // The relay of the group that holds it off.
        int by = -1;

        friend bool operator==(const Hold&, const Hold&) = default;
    };

    void hold(Ask ask, int relay, Hold why);
    void clearHold(int relay) { m_steadyWhy.at(static_cast<std::size_t>(relay)) = {}; }
    // A relay of group other than relay that went off less than the dead
    // time ago, or goes off with this word; -1 when none.
    [[nodiscard]] int deadTimeBlocker(quint16 group, int relay, quint16 word, time_point now) const;
    [[nodiscard]] quint16 admitGroup(Ask ask, quint16 group, quint16 before, quint16 word,
                                     time_point now);

    BoardSettings m_settings;
    // Every relay of a group, and every relay with a maximum on-time.
    quint16 m_grouped = 0;
    quint16 m_limited = 0;
    // What the last relay write sent.
    quint16 m_sent = 0;
    quint16 m_waiting = 0;
    // Switched off at their maximum on-time, until asked on again.
    quint16 m_cut = 0;
    // What the rules last asked for the relays they drive.
    quint16 m_rulesAsked = 0;
    // After a reset: relays that may still be on, keeping their on-time.
    quint16 m_maybeOn = 0;
    std::array<std::optional<time_point>, kRelays> m_onSince{};
    std::array<std::optional<time_point>, kRelays> m_offSince{};
    // Why the rules' request of each relay was last held off.
    std::array<Hold, kRelays> m_steadyWhy{};
    QStringList m_reports;
};

} // namespace safety
