// SPDX-License-Identifier: GPL-3.0-or-later
// The main of a test program that makes widgets: drawn offscreen, with no
// native dialogs.
#include "support/testmain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QPA_PLATFORMTHEME", "");
    return RunTestsIn<QApplication>(argc, argv);
}
