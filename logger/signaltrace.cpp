// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/signaltrace.h"

#include <algorithm>

void SignalTrace::addInputs(qint64 ms, int portIn)
{
    m_inputs = static_cast<quint8>(portIn & 0x3F);
    push({ms, m_relays, m_inputs, Kind::Inputs});
}

void SignalTrace::addRelays(qint64 ms, int portOut)
{
    m_relays = static_cast<quint16>(portOut & 0xFFFF);
    push({ms, m_relays, m_inputs, Kind::Relays});
}

void SignalTrace::addFault(qint64 ms, Kind kind)
{
    push({ms, m_relays, m_inputs, kind});
}

void SignalTrace::clear()
{
    m_first = 0;
    m_count = 0;
    m_relays = 0;
    m_inputs = 0;
}

void SignalTrace::push(const Entry& entry)
{
    if (m_ring.empty())
        m_ring.resize(static_cast<size_t>(kCapacity));
    // The clock may step back (it is corrected); an entry is never kept
    // before an older one, so the ring stays in time order for the search.
    Entry e = entry;
    if (m_count > 0)
        e.ms = std::max(e.ms, at(m_count - 1).ms);
    if (m_count == kCapacity) {
        m_first = (m_first + 1) % kCapacity;
        --m_count;
    }
    m_ring[static_cast<size_t>((m_first + m_count) % kCapacity)] = e;
    ++m_count;
    while (m_count > 0 && at(0).ms < e.ms - kKeepMs) {
        m_first = (m_first + 1) % kCapacity;
        --m_count;
    }
}

qsizetype SignalTrace::firstFrom(qint64 ms) const
{
    qsizetype lo = 0;
    qsizetype hi = m_count;
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (at(mid).ms >= ms)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

std::optional<SignalTrace::Entry> SignalTrace::levelsAt(qint64 ms) const
{
    const qsizetype after = firstFrom(ms + 1);
    if (after == 0)
        return std::nullopt;
    return at(after - 1);
}

QList<SignalTrace::Entry> SignalTrace::faults(qint64 from, qint64 to) const
{
    QList<Entry> list;
    for (qsizetype i = firstFrom(from); i < m_count && at(i).ms <= to; ++i) {
        if (at(i).fault())
            list.append(at(i));
    }
    return list;
}
