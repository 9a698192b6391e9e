// SPDX-License-Identifier: GPL-3.0-or-later
// Runs every test inside one Qt application, drawn offscreen, with private
// configuration and state folders. The regional formats are no setting of
// the process: each test hands its controller or part the fixed ones, so
// texts are the same on every machine.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QPA_PLATFORMTHEME", "");
    // Nothing a test does may reach the user's configuration folder.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
