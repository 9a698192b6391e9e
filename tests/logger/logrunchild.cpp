// SPDX-License-Identifier: GPL-3.0-or-later
// A logging run for the test that kills it: a Log Now run on the scripted
// board and the manual clock, a line at every input read, the safety copy in
// $XDG_STATE_HOME. After the number of input reads asked for it writes what
// LogList holds to the file named, says "ready" and waits, mid-run, to be
// killed.
#include "common/textlines.h"
#include "logtestrig.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    LogRig rig;
    rig.core.logRecovery().setFolder(QString());
    if (!rig.confirmSchedule(rig.at(12, 0, 0), rig.at(13, 0, 0), QStringLiteral("0.2")).isEmpty())
        return 3;
    rig.activate();
    rig.core.InputNowSBClick();
    for (int i = 0; i < QByteArray(argv[2]).toInt(); ++i) {
        rig.link.inputDigits = QByteArray::number(i % 8) + QByteArray::number(i % 7);
        rig.timedCycles(1);
    }
    if (!rig.core.logger().LogNow())
        return 4;
    WriteTextLines(QString::fromLocal8Bit(argv[1]), rig.core.logger().LogList());
    std::puts("ready");
    std::fflush(stdout);
    std::getchar();
    return 0;
}
