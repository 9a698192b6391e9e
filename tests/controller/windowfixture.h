// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/regional.h"
#include "desktop/desktop.h"
#include "support/fakelink.h"
#include "support/manualclock.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

// The desktop as the program builds it (the controller, the main window and
// the five windows it opens) over a scripted board and a manual clock, in a
// fresh current folder (where the first tick looks for the last-run file).
// The main window's own tick timer is stopped: the test ticks by hand.
class WindowTest : public ::testing::Test
{
protected:
    WindowTest() { window.findChild<QTimer*>(QStringLiteral("Timer1"))->stop(); }
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QDir::setCurrent(folder.path());
    }
    void TearDown() override { QDir::setCurrent(previous); }

    template <typename T = QWidget> T* find(const QString& name)
    {
        T* widget = window.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << qPrintable(name);
        return widget;
    }
    // The picture a label shows, as drawn on the screen.
    QImage rendered(const QString& name) { return find<QLabel>(name)->grab().toImage(); }

    Controller& core() { return desktop.core; }
    void tick()
    {
        core().run([this] { core().Timer1Timer(); });
    }
    // The first tick, then activation and one full poll cycle.
    void startAndActivate()
    {
        tick();
        core().ActiveButtClick();
        cycle(1);
    }
    void cycle(int cycles)
    {
        link.autoReply = true;
        for (int i = 0; i < 2 * cycles; ++i) {
            tick();
            link.deliver();
        }
    }

    QString previous = QDir::currentPath();
    QTemporaryDir folder;
    FakeLink link;
    ManualClock clock;
    const Regional regional = Regional::fixed();
    Desktop desktop{link, clock, regional};
    TIOmodFM& window = desktop.mainWindow;
};

inline QString relayIndicatorName(int relay)
{
    return relay <= 8 ? QStringLiteral("Out%1image").arg(relay)
                      : QStringLiteral("OutImage%1").arg(relay);
}

inline QString inputIndicatorName(int input)
{
    return input == 1 ? QStringLiteral("In1image") : QStringLiteral("In%1Image").arg(input);
}

inline QString setButtonName(int relay)
{
    return QStringLiteral("SpeedButton%1").arg(relay <= 8 ? 2 * relay - 1 : 2 * (relay - 8));
}
