// SPDX-License-Identifier: GPL-3.0-or-later
// Saved window places brought back inside the screens there are now.
#include "windowkit/placememory.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using placememory::FitPlace;

// A window manager's frame: a title bar of 30 px and borders of 4.
const QMargins kFrame(4, 30, 4, 4);

TEST(FitPlace, KeepsAPlaceThatFitsAndBringsBackOneThatDoesNot)
{
    const QRect laptop(0, 0, 1280, 720 - 32); // a panel at the bottom
    const QRect beside(1280, 0, 1920, 1080);

    // Inside a screen: as it was, on whichever screen it is.
    EXPECT_EQ(FitPlace(QRect(100, 80, 600, 400), kFrame, {laptop, beside}),
              QRect(100, 80, 600, 400));
    EXPECT_EQ(FitPlace(QRect(1500, 300, 900, 500), kFrame, {laptop, beside}),
              QRect(1500, 300, 900, 500));

    // Saved at scale 1 on a 2560 px screen, shown at scale 2 (1280 px): too
    // wide and partly off the right edge. It shrinks to the screen and its
    // frame stays on it.
    const QRect trace = FitPlace(QRect(900, 200, 1520, 600), kFrame, {laptop});
    EXPECT_EQ(trace.marginsAdded(kFrame), QRect(0, laptop.height() - 634, 1280, 634));

    // Taller than the screen and above it: the title bar comes back on the
    // screen, the height shrinks to what is left under it.
    const QRect tall = FitPlace(QRect(200, -300, 500, 2000), kFrame, {laptop});
    EXPECT_EQ(tall.marginsAdded(kFrame), QRect(200 - 4, 0, 508, laptop.height()));
    EXPECT_GE(tall.top() - kFrame.top(), laptop.top());

    // Across two screens: the one holding its middle.
    EXPECT_EQ(FitPlace(QRect(1250, 50, 400, 300), kFrame, {laptop, beside}),
              QRect(1280 + 4, 50, 400, 300));
    // Below both: the one it overlaps most; on a screen that is gone: the
    // primary.
    EXPECT_EQ(FitPlace(QRect(1250, 1000, 400, 300), kFrame, {laptop, beside}),
              QRect(1280 + 4, 1080 - 334 + 30, 400, 300));
    EXPECT_EQ(FitPlace(QRect(4000, 2000, 400, 300), kFrame, {laptop, beside}),
              QRect(1280 - 408 + 4, laptop.height() - 334 + 30, 400, 300));
}

// The window test runs on the offscreen platform's one screen: a place
// saved on a screen far larger than it comes back inside it, frame and all
// (the frame is the one the main window has).
TEST(RestorePlace, FitsAPlaceSavedOnALargerScreen)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();

    QWidget owner;
    owner.show();
    QWidget wide(&owner, Qt::Window);
    wide.setGeometry(area.right() - 100, area.top() + 50, area.width() * 2, area.height() / 2);
    ASSERT_TRUE(placememory::SavePlace(wide, QStringLiteral("wide")));

    QWidget again(&owner, Qt::Window);
    EXPECT_TRUE(placememory::RestorePlace(again, QStringLiteral("wide")));
    again.show();
    EXPECT_TRUE(area.contains(again.frameGeometry()))
        << again.frameGeometry().x() << "," << again.frameGeometry().y() << " "
        << again.frameGeometry().width() << "x" << again.frameGeometry().height();
    EXPECT_EQ(again.frameGeometry().width(), area.width());
    EXPECT_EQ(again.height(), area.height() / 2);

    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace
