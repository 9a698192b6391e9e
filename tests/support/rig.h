// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/regional.h"
#include "controller/relay.h"
#include "support/fakelink.h"
#include "support/fakeview.h"
#include "support/manualclock.h"

#include <QTemporaryDir>

// A controller wired to a recording view, a scripted board and a manual
// clock, formatting with the fixed regional formats: a whole poll cycle runs
// without a screen or a serial port.
struct Rig
{
    // The last-run file is read and written in folders of this rig's own,
    // never beside the test program or in the user's configuration; so is
    // the log's safety copy.
    Rig()
    {
        core.lastRunFolders().setProgramFolder(lastRunFolder.filePath(QStringLiteral("program")));
        core.lastRunFolders().setConfigFolder(lastRunFolder.filePath(QStringLiteral("config")));
        core.logRecovery().setFolder(lastRunFolder.filePath(QStringLiteral("state")));
        core.poll().setTickClock(tickClock);
    }

    QTemporaryDir lastRunFolder;
    FakeView view;
    FakeLink link;
    ManualClock clock;
    // What the poll cycle's re-sends are measured by: tick() steps it.
    ManualTickClock tickClock;
    // The controller formats with these; a test may change them, and the
    // controller follows from its next text on.
    Regional regional = Regional::fixed();
    Controller core{view, link, clock, regional};

    // The first tick: the start-up work.
    void startUp() { core.Timer1Timer(); }
    // A tick, `after` the one before on the tick clock.
    void tick(std::chrono::milliseconds after = Controller::kTickPeriod)
    {
        tickClock.advance(after);
        core.run([this] { core.Timer1Timer(); });
    }
    // Activates and runs n full poll cycles against the auto-replying board.
    void activateAndCycle(int cycles)
    {
        core.ActiveButtClick();
        cycle(cycles);
    }
    // Runs n full poll cycles (relay write, input read) against the
    // auto-replying board.
    void cycle(int cycles)
    {
        link.autoReply = true;
        for (int i = 0; i < 2 * cycles; ++i) {
            tick();
            link.deliver();
        }
    }
};
