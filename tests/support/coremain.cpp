// SPDX-License-Identifier: GPL-3.0-or-later
// The main of a test program of QtCore code.
#include "support/testmain.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    return RunTestsIn<QCoreApplication>(argc, argv);
}
