// SPDX-License-Identifier: GPL-3.0-or-later
// Program start: one copy per user, then the six windows in their order; the
// first tick of the main window does the rest.
#include "common/savefile.h"
#include "controller/application.h"
#include "desktop/program.h"
#include "desktop/singleinstance.h"

#include <QMessageBox>
#include <QPushButton>

int main(int argc, char** argv)
{
    // Before anything writes (the lock file, Qt's own messages): past the
    // file-size limit a write fails and is reported, not the end of the program.
    IgnoreFileSizeSignal();
    V217Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QMX V217"));

    SingleInstance instance(QStringLiteral("qmxv217b"));
    const SingleInstance::Outcome lock = instance.acquire();
    if (lock == SingleInstance::Outcome::Failed) {
        showFailureBox(nullptr, instance.failureText());
        return 1;
    }
    if (lock == SingleInstance::Outcome::AlreadyRunning) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Information"),
                        QStringLiteral("QMXV217 is already running."), QMessageBox::Ok);
        box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
        box.exec();
        return 0;
    }

    Program program;
    program.desktop.mainWindow.show();
    return QApplication::exec();
}
