// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QtGlobal>

#include <optional>
#include <vector>

// The recent history of the board's 22 signals, for the trace window: every
// input read and relay echo of the poll cycle and every fault, oldest first,
// in a ring that holds the last hour and never more than kCapacity entries.
// Each entry carries the levels of all 22 signals after it, so the levels at
// any moment are those of the last entry up to it.
class SignalTrace
{
public:
    static constexpr qint64 kKeepMs = 3'600'000;
    // An hour of both reads of the 200 ms cycle with room to spare; a
    // faster feed loses its oldest entries first.
    static constexpr qsizetype kCapacity = 40'000;

    enum class Kind : quint8
    {
        Inputs,
        Relays,
        Watchdog,
        InvalidData
    };
    struct Entry
    {
        qint64 ms = 0; // since 1970 UTC
        quint16 relays = 0;
        quint8 inputs = 0;
        Kind kind = Kind::Inputs;

        [[nodiscard]] bool fault() const
        {
            return kind == Kind::Watchdog || kind == Kind::InvalidData;
        }
    };

    void addInputs(qint64 ms, int portIn);
    void addRelays(qint64 ms, int portOut);
    void addFault(qint64 ms, Kind kind);
    void clear();

    [[nodiscard]] qsizetype size() const { return m_count; }
    // Entry i, 0 the oldest.
    [[nodiscard]] const Entry& at(qsizetype i) const
    {
        return m_ring[static_cast<size_t>((m_first + i) % kCapacity)];
    }
    // The index of the first entry at or after ms (size() when none).
    [[nodiscard]] qsizetype firstFrom(qint64 ms) const;
    // The last entry up to ms, whose levels hold then.
    [[nodiscard]] std::optional<Entry> levelsAt(qint64 ms) const;
    // The faults from `from` to `to`.
    [[nodiscard]] QList<Entry> faults(qint64 from, qint64 to) const;

private:
    void push(const Entry& entry);

    std::vector<Entry> m_ring;
    qsizetype m_first = 0;
    qsizetype m_count = 0;
    quint16 m_relays = 0;
    quint8 m_inputs = 0;
};
