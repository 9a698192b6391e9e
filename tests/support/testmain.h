// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTemporaryDir>

// What the main of every test program shares: private configuration and
// state folders for the whole run, the application object, then GoogleTest.
// Tests of QtCore code run in a QCoreApplication, so a test program that
// needs more than the library it tests does not link; widget tests run in a
// QApplication. The regional formats are no setting of the process: each
// test hands its controller or part the fixed ones, so texts are the same on
// every machine.

// Points XDG_CONFIG_HOME and XDG_STATE_HOME at folders of their own until
// the object goes: nothing a test does may reach the user's folders.
class PrivateFolders
{
public:
    PrivateFolders();
    PrivateFolders(const PrivateFolders&) = delete;
    PrivateFolders& operator=(const PrivateFolders&) = delete;

private:
    QTemporaryDir m_config;
    QTemporaryDir m_state;
};

// Runs every test of the program; the application must exist.
[[nodiscard]] int RunAllTests(int& argc, char** argv);

template <typename Application> int RunTestsIn(int argc, char** argv)
{
    const PrivateFolders folders;
    Application app(argc, argv);
    return RunAllTests(argc, argv);
}
