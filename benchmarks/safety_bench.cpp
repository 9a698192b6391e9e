// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what the relay guard adds to one poll cycle at its largest: 16
// relays in 4 interlock groups, every relay with a maximum on-time, the
// rules asking for all 16 on every read, a timer edge and a click in the
// same cycle, and the relay write.
#include "safety/relayguard.h"

#include <QElapsedTimer>

#include <cstdio>
#include <random>

int main()
{
    using namespace std::chrono_literals;
    safety::BoardSettings settings;
    (void)safety::SetBoardSetting(
        settings, QStringLiteral("interlock"),
        QStringLiteral("01,02,03,04 05,06,07,08 09,10,11,12 13,14,15,16"));
    for (int relay = 1; relay <= 16; ++relay)
        (void)safety::SetBoardSetting(
            settings, QStringLiteral("relay-%1-max-on").arg(relay, 2, 10, QLatin1Char('0')),
            QStringLiteral("%1s").arg(relay));
    struct Case
    {
        const char* name;
        bool guarded;
        // The rules ask for a new word on every read (the worst: a hold-off
        // to tell on nearly every cycle), or for the same one.
        bool changing;
    };
    for (const Case& c : {Case{"no settings", false, true},
                          Case{"4 groups of 4, 16 max on-times, rules steady", true, false},
                          Case{"4 groups of 4, 16 max on-times, rules changing", true, true}}) {
        safety::RelayGuard guard;
        if (c.guarded)
            guard.setSettings(settings);
        std::mt19937 random(217);
        safety::RelayGuard::time_point now{};
        quint16 stored = 0;
        constexpr int kCycles = 1'000'000;
        QElapsedTimer timer;
        timer.start();
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            const auto rules = static_cast<quint16>(c.changing ? random() : 0x5555);
            stored = guard.admit(safety::RelayGuard::Ask::EveryCycle, 0xFFFF, stored, rules, now);
            const auto edge = static_cast<quint16>(1u << (cycle % 16));
            stored = guard.admit(safety::RelayGuard::Ask::Once, edge, stored,
                                 static_cast<quint16>(stored ^ edge), now);
            now += 200ms;
            stored = guard.release(stored, now);
        }
        const double us = static_cast<double>(timer.nsecsElapsed()) / 1000.0 / kCycles;
        std::printf("%-48s %6.3f us per cycle\n", c.name, us);
    }
    return 0;
}
