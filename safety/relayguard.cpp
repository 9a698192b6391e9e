// SPDX-License-Identifier: GPL-3.0-or-later
#include "safety/relayguard.h"

#include <bit>

namespace safety {

namespace {

constexpr quint16 bitOf(int relay)
{
    return static_cast<quint16>(1u << relay);
}

int lowest(quint16 relays)
{
    return std::countr_zero(static_cast<unsigned>(relays));
}

} // namespace

void RelayGuard::setSettings(const BoardSettings& settings)
{
    m_settings = settings;
    m_grouped = 0;
    for (const quint16 group : settings.interlocks)
        m_grouped |= group;
    m_limited = 0;
    for (int relay = 0; relay < kRelays; ++relay)
        if (settings.maxOn.at(static_cast<std::size_t>(relay)) != Duration::zero())
            m_limited |= bitOf(relay);
    // A relay that no longer has a limit is no longer held to one.
    m_cut &= m_limited;
    m_waiting &= m_grouped;
}

void RelayGuard::hold(Ask ask, int relay, Hold why)
{
    if (ask == Ask::EveryCycle) {
        Hold& last = m_steadyWhy.at(static_cast<std::size_t>(relay));
        const bool told = last == why;
        last = why;
        if (told)
            return;
    }
    const QString name = m_settings.relayLabel(relay);
    switch (why.kind) {
    case Hold::Kind::Interlock:
        m_reports.append(QStringLiteral("relay %1 held off: interlock with %2")
                             .arg(name, m_settings.relayLabel(why.by)));
        break;
    case Hold::Kind::DeadTime:
        m_reports.append(QStringLiteral("relay %1 held off: dead time after %2")
                             .arg(name, m_settings.relayLabel(why.by)));
        break;
    case Hold::Kind::MaxOn:
        m_reports.append(
            QStringLiteral("relay %1 held off: maximum on-time %2 reached")
                .arg(name, DurationText(m_settings.maxOn.at(static_cast<std::size_t>(relay)))));
        break;
    case Hold::Kind::None:
        break;
    }
}

int RelayGuard::deadTimeBlocker(quint16 group, int relay, quint16 word, time_point now) const
{
    const quint16 others = group & ~bitOf(relay);
    // Going off with this very word: its dead time starts when it is sent.
    if (const quint16 goingOff = m_sent & others & ~word)
        return lowest(goingOff);
    for (quint16 rest = others; rest != 0; rest &= rest - 1) {
        const int other = lowest(rest);
        const std::optional<time_point>& off = m_offSince.at(static_cast<std::size_t>(other));
        if (off && now - *off < m_settings.deadTime)
            return other;
    }
    return -1;
}

quint16 RelayGuard::admitGroup(Ask ask, quint16 group, quint16 before, quint16 word, time_point now)
{
    const quint16 asked = word & group;
    if (asked == 0)
        return word;
    const quint16 kept = asked & before;
    const int winner = lowest(kept != 0 ? kept : asked);
    for (quint16 losers = asked & ~bitOf(winner); losers != 0; losers &= losers - 1) {
        const int relay = lowest(losers);
        word &= ~bitOf(relay);
        m_waiting &= ~bitOf(relay);
        hold(ask, relay, {Hold::Kind::Interlock, winner});
    }
    if (before & bitOf(winner))
        return word;
    if (const int blocker = deadTimeBlocker(group, winner, word, now); blocker >= 0) {
        word &= ~bitOf(winner);
        m_waiting |= bitOf(winner);
        hold(ask, winner, {Hold::Kind::DeadTime, blocker});
        return word;
    }
    m_waiting &= ~bitOf(winner);
    clearHold(winner);
    return word;
}

quint16 RelayGuard::admit(Ask ask, quint16 mask, quint16 before, quint16 stored, time_point now)
{
    m_reports.clear();
    const quint16 askedOn = stored & mask;
    const quint16 askedOff = ~stored & mask;
    // Asked off: no longer waiting, no longer held, free to be asked on.
    m_waiting &= ~askedOff;
    m_cut &= ~askedOff;
    for (int relay = 0; relay < kRelays; ++relay)
        if (askedOff & bitOf(relay))
            clearHold(relay);
    // What switches a relay cut at its limit on again: a request that asks
    // it on, or the rules' output going on after it was off.
    const quint16 freshlyAsked =
        ask == Ask::EveryCycle ? static_cast<quint16>(askedOn & ~m_rulesAsked) : askedOn;
    if (ask == Ask::EveryCycle)
        m_rulesAsked = static_cast<quint16>((m_rulesAsked & ~mask) | askedOn);
    m_cut &= ~freshlyAsked;
    quint16 word = stored;
    if (const quint16 stillCut = askedOn & m_cut) {
        word &= ~stillCut;
        for (int relay = 0; relay < kRelays; ++relay)
            if (stillCut & bitOf(relay))
                hold(ask, relay, {Hold::Kind::MaxOn, -1});
    }
    for (const quint16 group : m_settings.interlocks)
        if (group & mask)
            word = admitGroup(ask, group, before, word, now);
    return word;
}

quint16 RelayGuard::release(quint16 stored, time_point now)
{
    m_reports.clear();
    quint16 word = stored;
    for (int relay = 0; relay < kRelays && m_waiting; ++relay) {
        if (!(m_waiting & bitOf(relay)))
            continue;
        const quint16 group = m_settings.groupOf(relay);
        if (const quint16 on = word & group & ~bitOf(relay)) {
            m_waiting &= ~bitOf(relay);
            hold(Ask::Once, relay, {Hold::Kind::Interlock, lowest(on)});
        } else if (deadTimeBlocker(group, relay, word, now) < 0) {
            m_waiting &= ~bitOf(relay);
            clearHold(relay);
            word |= bitOf(relay);
        }
    }
    // Whatever was stored (groups that came with new settings while their
    // relays were on), no command carries two relays of a group.
    for (const quint16 group : m_settings.interlocks) {
        const quint16 on = word & group;
        if (std::popcount(static_cast<unsigned>(on)) < 2)
            continue;
        const int keeper = lowest(on);
        for (quint16 rest = on & ~bitOf(keeper); rest != 0; rest &= rest - 1) {
            word &= ~bitOf(lowest(rest));
            hold(Ask::Once, lowest(rest), {Hold::Kind::Interlock, keeper});
        }
    }
    for (int relay = 0; relay < kRelays; ++relay) {
        const auto r = static_cast<std::size_t>(relay);
        const bool on = word & bitOf(relay);
        const bool wasOn = (m_sent | m_maybeOn) & bitOf(relay);
        if (on && (m_limited & bitOf(relay)) && wasOn && m_onSince.at(r) &&
            now - *m_onSince.at(r) >= m_settings.maxOn.at(r)) {
            word &= ~bitOf(relay);
            m_cut |= bitOf(relay);
            m_steadyWhy.at(r) = {Hold::Kind::MaxOn, -1};
            m_reports.append(
                QStringLiteral("relay %1 switched off: on for %2, its maximum "
                               "on-time")
                    .arg(m_settings.relayLabel(relay), DurationText(m_settings.maxOn.at(r))));
        }
        if ((word & bitOf(relay)) && !wasOn) {
            m_onSince.at(r) = now;
        } else if (!(word & bitOf(relay))) {
            if (m_sent & bitOf(relay))
                m_offSince.at(r) = now;
            m_onSince.at(r).reset();
        }
    }
    m_maybeOn = 0;
    m_sent = word;
    return word;
}

void RelayGuard::boardReset(time_point now)
{
    for (int relay = 0; relay < kRelays; ++relay)
        if (m_sent & bitOf(relay))
            m_offSince.at(static_cast<std::size_t>(relay)) = now;
    m_maybeOn = m_sent;
    m_sent = 0;
    m_waiting = 0;
    m_reports.clear();
}

} // namespace safety
